// The services of a machine as its service manager knows them: whether one of
// a name exists, how it starts and what it is doing now.
#ifndef TAV_PLATFORM_SERVICEMANAGER_H
#define TAV_PLATFORM_SERVICEMANAGER_H

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavplat {

// How a service starts, as the service manager's start types.
enum class ServiceStart { Boot, System, Automatic, Manual, Disabled };

// What a service is doing; Unknown where nothing can tell.
enum class ServiceState { Running, Stopped, Paused, Starting, Stopping, Unknown };

struct ServiceStatus {
    ServiceStart start = ServiceStart::Manual;
    ServiceState state = ServiceState::Unknown;
};

// What the manager says of one name.
struct ServiceAnswer {
    enum Kind { Absent, Present, Unreadable } kind = Absent;  // Unreadable: there, but not ours to ask
    ServiceStatus status;                                     // when Present
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // The service of that name, ignoring case as Windows names services.
    [[nodiscard]] virtual ServiceAnswer Query(const std::string& name) = 0;
};

// The operating system's service control manager; null on POSIX, which has
// none, and where the manager cannot be opened.
[[nodiscard]] std::unique_ptr<ServiceManager> OpenSystemServiceManager();

// The words reports and answers files use: "automatic", "running", ...
constexpr const char* ServiceStartName(ServiceStart start) {
    switch (start) {
    case ServiceStart::Boot: return "boot";
    case ServiceStart::System: return "system";
    case ServiceStart::Automatic: return "automatic";
    case ServiceStart::Manual: return "manual";
    case ServiceStart::Disabled: return "disabled";
    }
    return "manual";
}

constexpr const char* ServiceStateName(ServiceState state) {
    switch (state) {
    case ServiceState::Running: return "running";
    case ServiceState::Stopped: return "stopped";
    case ServiceState::Paused: return "paused";
    case ServiceState::Starting: return "starting";
    case ServiceState::Stopping: return "stopping";
    case ServiceState::Unknown: return "unknown";
    }
    return "unknown";
}

// The state a word names, as ServiceStateName writes it; none for another word.
constexpr std::optional<ServiceState> ServiceStateNamed(std::string_view word) {
    for (ServiceState state : {ServiceState::Running, ServiceState::Stopped, ServiceState::Paused,
                               ServiceState::Starting, ServiceState::Stopping, ServiceState::Unknown})
        if (word == ServiceStateName(state)) return state;
    return std::nullopt;
}

}  // namespace tavplat

#endif
