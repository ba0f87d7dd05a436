// The registry of this machine: the system's own, or the snapshots named for it.
#ifndef TAV_REGISTRY_MACHINEREGISTRY_H
#define TAV_REGISTRY_MACHINEREGISTRY_H

#include "platform/RegistryReader.h"

#include <memory>
#include <string>
#include <vector>

namespace tavreg {

struct MachineRegistry {
    std::unique_ptr<tavplat::RegistryReader> reader;  // never null
    // One line for each snapshot that could not be loaded and for each line
    // the loader passed over, in the order met; the caller tells the person.
    std::vector<std::string> problems;
    bool system = false;  // the operating system's own, not snapshots
};

// The operating system's registry where there is one (advapi32 on Windows).
// Elsewhere the snapshot files named by TAVNOVU_REGISTRY (a ':'-separated
// list); none means an empty registry. A snapshot that cannot be loaded is
// left out, what was read of it before the fault staying.
[[nodiscard]] MachineRegistry OpenMachineRegistry();

}  // namespace tavreg

#endif
