// Name patterns and service states for answers files played on many
// machines, where one file has to fit servers it cannot name in advance.
#include "views/AnswersPattern.h"

#include "discovery/ServerRecord.h"
#include "text/Text.h"

namespace tavview {

bool IsNamePattern(std::string_view name) {
    return name.find_first_of("*?") != std::string_view::npos;
}

bool MatchesNamePattern(std::string_view pattern, std::string_view name) {
    const std::string p = tavtext::LowerCase(pattern), n = tavtext::LowerCase(name);
    // Greedy with one point to come back to: the last "*" seen and where in
    // the name its run would end; no more is needed for "*" and "?" alone.
    size_t pi = 0, ni = 0, star = std::string::npos, resume = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && p[pi] == n[ni]))) {
            ++pi, ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++, resume = ni;
        } else if (star != std::string::npos) {
            pi = star + 1, ni = ++resume;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

std::string ServiceStateMismatch(const CDbServer& server, tavplat::ServiceState wanted) {
    const std::optional<ServerService>& service = server.GetService();
    if (!service)
        return "it has no service";
    if (service->status.state == wanted)
        return std::string();
    return "its service " + service->name + " is " + tavplat::ServiceStateName(service->status.state);
}

}  // namespace tavview
