// The service control manager through advapi32: a service's start type from
// its configuration and its state from its status.
#include "platform/ServiceManager.h"

#include <windows.h>

#include <vector>

namespace tavplat {

namespace {

struct ServiceHandle {
    SC_HANDLE handle;
    explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
    ~ServiceHandle() {
        if (handle) CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
};

ServiceStart StartOf(DWORD startType) {
    switch (startType) {
    case SERVICE_BOOT_START: return ServiceStart::Boot;
    case SERVICE_SYSTEM_START: return ServiceStart::System;
    case SERVICE_AUTO_START: return ServiceStart::Automatic;
    case SERVICE_DISABLED: return ServiceStart::Disabled;
    default: return ServiceStart::Manual;
    }
}

ServiceState StateOf(DWORD currentState) {
    switch (currentState) {
    case SERVICE_RUNNING: return ServiceState::Running;
    case SERVICE_STOPPED: return ServiceState::Stopped;
    case SERVICE_PAUSED: return ServiceState::Paused;
    case SERVICE_START_PENDING:
    case SERVICE_CONTINUE_PENDING: return ServiceState::Starting;
    case SERVICE_STOP_PENDING:
    case SERVICE_PAUSE_PENDING: return ServiceState::Stopping;
    default: return ServiceState::Unknown;
    }
}

// The start type of an open service; none when its configuration cannot be read.
std::optional<ServiceStart> StartTypeOf(SC_HANDLE service) {
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    if (needed == 0) return std::nullopt;
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(service, config, needed, &needed)) return std::nullopt;
    return StartOf(config->dwStartType);
}

class SystemServiceManager : public ServiceManager {
public:
    explicit SystemServiceManager(SC_HANDLE manager) : manager_(manager) {}

    ServiceAnswer Query(const std::string& name) override {
        ServiceHandle service(OpenServiceA(manager_.handle, name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
        if (!service.handle) {
            // A service that exists but may not be asked about is still there.
            if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return {};
            return {ServiceAnswer::Unreadable, {}};
        }
        auto start = StartTypeOf(service.handle);
        if (!start) return {ServiceAnswer::Unreadable, {}};
        ServiceStatus status;
        status.start = *start;
        SERVICE_STATUS_PROCESS process{};
        DWORD needed = 0;
        if (QueryServiceStatusEx(service.handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&process),
                                 sizeof process, &needed))
            status.state = StateOf(process.dwCurrentState);
        return {ServiceAnswer::Present, status};
    }

private:
    ServiceHandle manager_;
};

}  // namespace

std::unique_ptr<ServiceManager> OpenSystemServiceManager() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return nullptr;
    return std::make_unique<SystemServiceManager>(manager);
}

}  // namespace tavplat
