// The registry of this machine: the system's own, or the snapshots named for it.
#include "registry/MachineRegistry.h"

#include "registry/MemoryRegistry.h"
#include "platform/Process.h"

#include <cstdlib>

namespace tavreg {

std::unique_ptr<tavplat::RegistryReader> OpenMachineRegistry(std::vector<std::string>* problems) {
    if (auto system = tavplat::OpenSystemRegistry()) return system;
    auto registry = std::make_unique<MemoryRegistry>();
    const std::string files = tavplat::EnvironmentValue("TAVNOVU_REGISTRY").value_or("");
    size_t pos = 0;
    while (pos <= files.size()) {
        size_t end = files.find(':', pos);
        if (end == std::string::npos) end = files.size();
        std::string path = files.substr(pos, end - pos);
        pos = end + 1;
        if (path.empty()) continue;
        std::string error;
        if (!registry->LoadFile(path, &error, problems) && problems) problems->push_back(error);
    }
    return registry;
}

}  // namespace tavreg
