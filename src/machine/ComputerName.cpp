#include "machine/ComputerName.h"

#include "platform/Process.h"

namespace tavmachine {

std::optional<std::string> ComputerName() {
    return tavplat::EnvironmentValue(COMPUTER_NAME_VARIABLE);
}

}  // namespace tavmachine
