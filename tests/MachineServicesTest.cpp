// The machine's services as the registry's keys and a services file describe
// them, where no service manager can be asked.
#include "machine/MachineServices.h"
#include "registry/MemoryRegistry.h"
#include "TestSupport.h"

namespace {

using tavmachine::ReadServiceStates;
using tavmachine::RegistryServices;
using tavplat::ServiceAnswer;
using tavplat::ServiceStart;
using tavplat::ServiceState;

const std::string SERVICES = tavmachine::SERVICES_KEY;

std::vector<unsigned char> Dword(uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

constexpr uint32_t REG_SZ_TYPE = 1, REG_DWORD_TYPE = 4;

// What a query says, as one word: "absent", or "START STATE".
std::string Described(tavplat::ServiceManager& services, const std::string& name) {
    const ServiceAnswer answer = services.Query(name);
    if (answer.kind != ServiceAnswer::Present) return "absent";
    return std::string(tavplat::ServiceStartName(answer.status.start)) + " " +
           tavplat::ServiceStateName(answer.status.state);
}

}  // namespace

// A services file names one service a line; what it cannot read it passes
// over, saying where; a later line for a service wins.
TEST(ServiceStatesFile, ReadsNamesAndStatesAndSaysWhichLinesItPassedOver) {
    tavtest::TempDir dir;
    const std::string path = dir.file("states");
    tavtest::WriteFile(path,
                       "# states\r\n"
                       "OracleServicePROD running\r\n"
                       "\n"
                       "  MSSQL$SALES\tstopped  \n"
                       "Svc With Blanks paused\n"
                       "OracleServicePROD stopping\n"
                       "NoState\n"
                       "Busy sleeping\n"
                       " running\n"
                       "Starter starting\n"
                       "Shouting RUNNING\n");
    const tavmachine::ServiceStatesFile file = ReadServiceStates(path);
    std::vector<std::string> states;
    for (const auto& listed : file.states) states.push_back(listed.name + "=" + tavplat::ServiceStateName(listed.state));
    EXPECT_EQ((std::vector<std::string>{"mssql$sales=stopped", "svc with blanks=paused", "oracleserviceprod=stopping",
                                        "starter=starting"}),
              states);
    const std::string why = ": not a service name, a blank and one of running, stopped, paused, starting, stopping; "
                            "line passed over";
    EXPECT_EQ((std::vector<std::string>{path + ":7" + why, path + ":8" + why, path + ":9" + why, path + ":11" + why}),
              file.problems);

    const tavmachine::ServiceStatesFile missing = ReadServiceStates(dir.file("absent"));
    EXPECT_TRUE(missing.states.empty());
    ASSERT_EQ(1u, missing.problems.size());
    EXPECT_NE(std::string::npos, missing.problems[0].find("absent: No such file or directory"));
}

// A service key is a service when its Start value is a dword from 0 to 4; its
// state is the one listed for it, ignoring case, or unknown.
TEST(RegistryServices, StartValuesMakeServicesAndListedStatesTheirState) {
    tavreg::MemoryRegistry registry;
    const struct {
        const char* name;
        uint32_t type;
        std::vector<unsigned char> data;
    } KEYS[] = {
        {"Boot", REG_DWORD_TYPE, Dword(0)},      {"Sys", REG_DWORD_TYPE, Dword(1)},
        {"Auto", REG_DWORD_TYPE, Dword(2)},      {"Demand", REG_DWORD_TYPE, Dword(3)},
        {"Off", REG_DWORD_TYPE, Dword(4)},       {"Five", REG_DWORD_TYPE, Dword(5)},
        {"Text", REG_SZ_TYPE, {'2', 0}},         {"Short", REG_DWORD_TYPE, {2, 0}},
    };
    for (const auto& key : KEYS) registry.SetValue(SERVICES + "\\" + key.name, "Start", key.type, key.data);
    registry.CreateKey(SERVICES + "\\NoStart");
    RegistryServices services(registry, {{"auto", ServiceState::Running}, {"off", ServiceState::Stopped}});
    const std::pair<const char*, const char*> EXPECTED[] = {
        {"Boot", "boot unknown"},      {"Sys", "system unknown"}, {"AUTO", "automatic running"},
        {"Demand", "manual unknown"},  {"Off", "disabled stopped"}, {"Five", "absent"},
        {"Text", "absent"},            {"Short", "absent"},       {"NoStart", "absent"},
        {"Missing", "absent"},         {"", "absent"},            {"Auto\\..\\Auto", "absent"},
    };
    for (const auto& [name, described] : EXPECTED) EXPECT_EQ(described, Described(services, name)) << name;
}

// Snapshots take their states from the file TAVNOVU_SERVICES names, and
// whatever it could not read is the caller's to tell; without one, every
// state is unknown.
TEST(RegistryServices, SnapshotsReadTheStatesOfTheServicesFile) {
    tavreg::MemoryRegistry registry;
    registry.SetValue(SERVICES + "\\OracleServicePROD", "Start", REG_DWORD_TYPE, Dword(2));
    tavtest::TempDir dir;
    tavtest::WriteFile(dir.file("states"), "oracleserviceprod running\nbad\n");
    {
        tavtest::ScopedEnv env("TAVNOVU_SERVICES", dir.file("states").c_str());
        tavmachine::MachineServices machine = tavmachine::OpenMachineServices(registry, false);
        EXPECT_EQ("automatic running", Described(*machine.manager, "OracleServicePROD"));
        EXPECT_EQ((std::vector<std::string>{dir.file("states") + ":2: not a service name, a blank and one of "
                                            "running, stopped, paused, starting, stopping; line passed over"}),
                  machine.problems);
    }
    tavtest::ScopedEnv unset("TAVNOVU_SERVICES", nullptr);
    tavmachine::MachineServices machine = tavmachine::OpenMachineServices(registry, false);
    EXPECT_EQ("automatic unknown", Described(*machine.manager, "OracleServicePROD"));
    EXPECT_TRUE(machine.problems.empty());
}

// The services of a prefix, in key order, each with its program; keys that
// are no services are not among them.
TEST(RegistryServices, ServicesNamedWithAPrefix) {
    tavreg::MemoryRegistry registry;
    for (const char* name : {"OracleServiceB", "oracleserviceA", "OracleServ", "OracleServiceNoStart", "Other"}) {
        if (std::string(name) != "OracleServiceNoStart")
            registry.SetValue(SERVICES + "\\" + name, "Start", REG_DWORD_TYPE, Dword(3));
        registry.SetString(SERVICES + "\\" + name, "ImagePath", std::string("C:\\bin\\") + name + ".exe");
    }
    registry.SetValue(SERVICES + "\\OracleServiceNoPath", "Start", REG_DWORD_TYPE, Dword(2));
    std::vector<std::string> found;
    for (const auto& service : tavmachine::ServicesNamedWith(registry, "OracleService"))
        found.push_back(service.name + "=" + service.image_path);
    EXPECT_EQ((std::vector<std::string>{"oracleserviceA=C:\\bin\\oracleserviceA.exe",
                                        "OracleServiceB=C:\\bin\\OracleServiceB.exe", "OracleServiceNoPath="}),
              found);
}

#ifdef _WIN32
// The service control manager and the registry's keys agree on the start
// type of services every machine has, the manager alone knows their state,
// and neither knows a service no machine has.
TEST(SystemServices, TheManagerDescribesWhatTheRegistryHolds) {
    std::unique_ptr<tavplat::RegistryReader> registry = tavplat::OpenSystemRegistry();
    ASSERT_NE(nullptr, registry);
    tavmachine::MachineServices machine = tavmachine::OpenMachineServices(*registry, true);
    RegistryServices keys(*registry, {});
    for (const char* name : {"PlugPlay", "RpcSs", "Schedule"}) {
        const ServiceAnswer managed = machine.manager->Query(name), described = keys.Query(name);
        ASSERT_EQ(ServiceAnswer::Present, managed.kind) << name;
        ASSERT_EQ(ServiceAnswer::Present, described.kind) << name;
        EXPECT_EQ(described.status.start, managed.status.start) << name;
        EXPECT_NE(ServiceState::Unknown, managed.status.state) << name;
        EXPECT_EQ(ServiceState::Unknown, described.status.state) << name;
    }
    EXPECT_EQ("absent", Described(*machine.manager, "TavnovuNoSuchService"));
    EXPECT_EQ("absent", Described(*machine.manager, "Bad\\Name"));
}
#endif
