// The registry of this machine: the system's own, or the snapshots named for it.
#include "registry/MachineRegistry.h"

#include "registry/MemoryRegistry.h"
#include "platform/Process.h"

#include <cstdlib>
#include <utility>
#include <iterator>

namespace tavreg {

MachineRegistry OpenMachineRegistry() {
    if (auto system = tavplat::OpenSystemRegistry()) return {std::move(system), {}, true};
    auto registry = std::make_unique<MemoryRegistry>();
    std::vector<std::string> problems;
    const std::string files = tavplat::EnvironmentValue("TAVNOVU_REGISTRY").value_or("");
    size_t pos = 0;
    while (pos <= files.size()) {
        size_t end = files.find(':', pos);
        if (end == std::string::npos) end = files.size();
        std::string path = files.substr(pos, end - pos);
        pos = end + 1;
        if (path.empty()) continue;
        LoadResult loaded = registry->LoadFile(path);
        problems.insert(problems.end(), std::make_move_iterator(loaded.warnings.begin()),
                        std::make_move_iterator(loaded.warnings.end()));
        if (!loaded.Ok()) problems.push_back(std::move(loaded.error));
    }
    return {std::move(registry), std::move(problems), false};
}

}  // namespace tavreg
