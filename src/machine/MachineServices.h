// The machine's services: what the service manager says of them where there is
// one, and otherwise what the registry's service keys say, with the running
// state from the TAVNOVU_SERVICES file standing in for the manager.
#ifndef TAV_MACHINE_MACHINESERVICES_H
#define TAV_MACHINE_MACHINESERVICES_H

#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryReader.h"
#include "platform/ServiceManager.h"

namespace tavmachine {

// Below HKEY_LOCAL_MACHINE: one sub-key per service, named as the service.
constexpr const char* SERVICES_KEY = "SYSTEM\\CurrentControlSet\\Services";

// A service's state as a services file lists it.
struct ListedState {
    std::string name;  // folded to lower case
    tavplat::ServiceState state;
};
using ServiceStates = std::vector<ListedState>;

struct ServiceStatesFile {
    ServiceStates states;
    // "FILE:LINE: why" for each line passed over, or one line for a file that
    // cannot be read; the caller tells the person.
    std::vector<std::string> problems;
};

// A TAVNOVU_SERVICES file: one service a line, its name, a blank and one of
// running, stopped, paused, starting, stopping. Blank lines and lines that
// begin with '#' say nothing.
[[nodiscard]] ServiceStatesFile ReadServiceStates(const std::string& path);

// The services as the registry's keys describe them. A sub-key of SERVICES_KEY
// whose Start value is one of the five start types is a service; its state is
// the one states gives for its name, or unknown.
class RegistryServices : public tavplat::ServiceManager {
public:
    RegistryServices(tavplat::RegistryReader& registry, ServiceStates states)
        : registry_(registry), states_(std::move(states)) {}
    [[nodiscard]] tavplat::ServiceAnswer Query(const std::string& name) override;

private:
    tavplat::RegistryReader& registry_;
    ServiceStates states_;
};

struct MachineServices {
    std::unique_ptr<tavplat::ServiceManager> manager;  // never null
    std::vector<std::string> problems;                 // as ServiceStatesFile's
};

// The services that go with the registry discovery reads. With the system's
// own registry: its service control manager, and where that cannot be opened
// (or will not say) the registry's keys with the state unknown. With
// snapshots: the snapshots' keys, with the states of the TAVNOVU_SERVICES
// file when it names one. The registry must outlive the result.
[[nodiscard]] MachineServices OpenMachineServices(tavplat::RegistryReader& registry, bool systemRegistry);

// A service as the registry's keys name it, with its ImagePath value (the
// program and its arguments; empty when none).
struct ServiceImage {
    std::string name;
    std::string image_path;
};

// The services whose names begin with prefix, ignoring case, in key order;
// as for RegistryServices, a key without a sound Start value is none.
[[nodiscard]] std::vector<ServiceImage> ServicesNamedWith(tavplat::RegistryReader& registry, const std::string& prefix);

}  // namespace tavmachine

#endif
