// The machine's services, from the service manager or from the registry.
#include "machine/MachineServices.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "machine/RegistryValues.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "text/Text.h"

namespace tavmachine {

namespace {

using tavplat::ServiceAnswer;
using tavplat::ServiceStart;
using tavplat::ServiceState;

// A key name is at most 255 characters; an ImagePath rarely nears the limit of a path.
constexpr uint32_t SERVICE_NAME_CAPACITY = 256;
constexpr uint32_t IMAGE_PATH_CAPACITY = 4096;

// What a services file may list: what a service manager says, never "unknown".
std::optional<ServiceState> StateOfLine(std::string_view word) {
    const std::optional<ServiceState> state = tavplat::ServiceStateNamed(word);
    return state == ServiceState::Unknown ? std::nullopt : state;
}

// The registry's Start value: 0 boot, 1 system, 2 automatic, 3 manual, 4 disabled.
std::optional<ServiceStart> StartValue(tavplat::RegistryKey& key) {
    unsigned char data[8] = {};
    uint32_t length = sizeof data;
    if (key.QueryValue("Start", data, &length) != tavplat::REG_OK || length != 4) return std::nullopt;
    const uint32_t value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
    constexpr ServiceStart BY_VALUE[] = {ServiceStart::Boot, ServiceStart::System, ServiceStart::Automatic,
                                         ServiceStart::Manual, ServiceStart::Disabled};
    if (value >= std::size(BY_VALUE)) return std::nullopt;
    return BY_VALUE[value];
}

// The manager first; the registry for a service the manager will not describe.
class ManagerWithRegistry : public tavplat::ServiceManager {
public:
    ManagerWithRegistry(std::unique_ptr<tavplat::ServiceManager> manager, tavplat::RegistryReader& registry)
        : manager_(std::move(manager)), registry_(registry, {}) {}

    ServiceAnswer Query(const std::string& name) override {
        ServiceAnswer answer = manager_->Query(name);
        if (answer.kind != ServiceAnswer::Unreadable) return answer;
        return registry_.Query(name);  // its start type, its state unknown
    }

private:
    std::unique_ptr<tavplat::ServiceManager> manager_;
    RegistryServices registry_;
};

}  // namespace

ServiceStatesFile ReadServiceStates(const std::string& path) {
    ServiceStatesFile result;
    FILE* file = tavplat::OpenFile(path.c_str(), "r");
    if (!file) {
        result.problems.push_back("cannot read the services file " + path + ": " + std::strerror(errno) +
                                  "; every service's state is unknown");
        return result;
    }
    std::string line;
    for (int number = 1; tavtext::ReadLine(file, &line); ++number) {
        const std::string_view text = tavtext::Trim(line);
        if (text.empty() || text[0] == '#') continue;
        const size_t blank = text.find_last_of(" \t");
        const std::optional<ServiceState> state =
            blank == std::string_view::npos ? std::nullopt : StateOfLine(text.substr(blank + 1));
        const std::string_view name = blank == std::string_view::npos ? "" : tavtext::Trim(text.substr(0, blank));
        if (!state || name.empty() || tavtext::HasControlCharacter(name)) {
            result.problems.push_back(path + ":" + std::to_string(number) +
                                      ": not a service name, a blank and one of running, stopped, paused, "
                                      "starting, stopping; line passed over");
            continue;
        }
        // A later line for the same service replaces an earlier one.
        const std::string folded = tavtext::LowerCase(name);
        std::erase_if(result.states, [&](const ListedState& listed) { return listed.name == folded; });
        result.states.push_back({folded, *state});
    }
    std::fclose(file);
    return result;
}

ServiceAnswer RegistryServices::Query(const std::string& name) {
    // A name that would reach another key is no service's.
    if (name.empty() || name.find('\\') != std::string::npos) return {};
    auto key = registry_.OpenKey((std::string(SERVICES_KEY) + "\\" + name).c_str(), tavplat::KEY_QUERY);
    if (!key) return {};
    const std::optional<ServiceStart> start = StartValue(*key);
    if (!start) return {};
    ServiceAnswer answer{ServiceAnswer::Present, {*start, ServiceState::Unknown}};
    const std::string folded = tavtext::LowerCase(name);
    for (const ListedState& listed : states_)
        if (listed.name == folded) answer.status.state = listed.state;
    return answer;
}

MachineServices OpenMachineServices(tavplat::RegistryReader& registry, bool systemRegistry) {
    MachineServices services;
    if (systemRegistry) {
        if (auto manager = tavplat::OpenSystemServiceManager())
            services.manager = std::make_unique<ManagerWithRegistry>(std::move(manager), registry);
        else
            services.manager = std::make_unique<RegistryServices>(registry, ServiceStates{});
        return services;
    }
    ServiceStates states;
    if (const std::string path = tavplat::EnvironmentValue("TAVNOVU_SERVICES").value_or(""); !path.empty()) {
        ServiceStatesFile file = ReadServiceStates(path);
        states = std::move(file.states);
        services.problems = std::move(file.problems);
    }
    services.manager = std::make_unique<RegistryServices>(registry, std::move(states));
    return services;
}

std::vector<ServiceImage> ServicesNamedWith(tavplat::RegistryReader& registry, const std::string& prefix) {
    std::vector<ServiceImage> found;
    auto services = registry.OpenKey(SERVICES_KEY, tavplat::KEY_ENUM_SUB_KEYS);
    if (!services) return found;
    ForEachSubKey(*services, SERVICE_NAME_CAPACITY, [&](const std::string& name) {
        if (tavtext::StartsWithIgnoringCase(name, prefix)) found.push_back({name, ""});
        return true;
    });
    // As for Query, a key without a sound Start value is not a service.
    std::erase_if(found, [&](ServiceImage& service) {
        auto key = registry.OpenKey((std::string(SERVICES_KEY) + "\\" + service.name).c_str(), tavplat::KEY_QUERY);
        if (!key || !StartValue(*key)) return true;
        service.image_path = QueryText(*key, "ImagePath", IMAGE_PATH_CAPACITY).value_or("");
        return false;
    });
    return found;
}

}  // namespace tavmachine
