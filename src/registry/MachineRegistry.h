// The registry of this machine: the system's own, or the snapshots named for it.
#ifndef TAV_REGISTRY_MACHINEREGISTRY_H
#define TAV_REGISTRY_MACHINEREGISTRY_H

#include "platform/RegistryReader.h"

#include <memory>
#include <string>
#include <vector>

namespace tavreg {

// The operating system's registry where there is one (advapi32 on Windows).
// Elsewhere the snapshot files named by TAVNOVU_REGISTRY (a ':'-separated
// list); none means an empty registry. A snapshot that cannot be loaded is
// left out, with one line saying why added to *problems; so is each line that
// the loader passed over.
std::unique_ptr<tavplat::RegistryReader> OpenMachineRegistry(std::vector<std::string>* problems);

}  // namespace tavreg

#endif
