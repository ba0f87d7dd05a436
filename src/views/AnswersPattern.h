// The choices of an answers file that select discovered servers by what
// they are rather than by one name: name patterns and the service's state.
#ifndef TAV_VIEWS_ANSWERSPATTERN_H
#define TAV_VIEWS_ANSWERSPATTERN_H

#include <optional>
#include <string>
#include <string_view>

#include "platform/ServiceManager.h"

class CDbServer;

namespace tavview {

// Whether a section's server name is a pattern: it holds "*" or "?".
bool IsNamePattern(std::string_view name);

// Whether the whole name matches the pattern, ASCII letters without case:
// "*" stands for any run of characters, "?" for exactly one.
bool MatchesNamePattern(std::string_view pattern, std::string_view name);

// Why the server does not have a service in the wanted state ("it has no
// service", "its service OracleServiceORCL is stopped"), or empty when it has.
std::string ServiceStateMismatch(const CDbServer& server, tavplat::ServiceState wanted);

}  // namespace tavview

#endif
