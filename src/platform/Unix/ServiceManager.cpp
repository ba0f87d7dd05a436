// No service control manager off Windows: the registry snapshot and the
// TAVNOVU_SERVICES file stand in for it (see machine/MachineServices).
#include "platform/ServiceManager.h"

namespace tavplat {

std::unique_ptr<ServiceManager> OpenSystemServiceManager() {
    return nullptr;
}

}  // namespace tavplat
