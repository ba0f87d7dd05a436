// The name of the machine being configured, as the installer hands it over.
#ifndef TAV_MACHINE_COMPUTERNAME_H
#define TAV_MACHINE_COMPUTERNAME_H

#include <optional>
#include <string>

namespace tavmachine {

// The environment variable that carries the machine's name.
constexpr const char* COMPUTER_NAME_VARIABLE = "COMPUTERNAME";

// Its value; none when it is not set.
[[nodiscard]] std::optional<std::string> ComputerName();

}  // namespace tavmachine

#endif
