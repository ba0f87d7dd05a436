// tavdiscover: runs the server discovery of one database family, as a setup run
// does, and prints every record found; or lists the maker's installation paths;
// or reports what discovery finds as JSON, or as an answers file.
#include "machine/RegistryValues.h"
#include "discovery/Discovery.h"
#include "discovery/ServerNameRules.h"
#include "generate/FamilyTable.h"
#include "platform/RegistryReader.h"
#include "registry/CodePage.h"
#include "registry/MachineRegistry.h"
#include "registry/MemoryRegistry.h"
#include "report/Report.h"
#include "machine/InstallPaths.h"
#include "machine/MachineServices.h"
#include "text/Text.h"
#include "views/AnswersTemplate.h"
#include "machine/ComputerName.h"
#include "Version.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const USAGE =
    "usage: tavdiscover [--registry FILE]... FAMILY\n"
    "       tavdiscover [--registry FILE]... --install-paths [MACHINE]\n"
    "       tavdiscover [--registry FILE]... --json [FAMILY]...\n"
    "       tavdiscover [--registry FILE]... --answers-template FAMILY\n"
    "       tavdiscover --help\n"
    "\n"
    "Runs the discovery of one database family and prints every server record it\n"
    "finds, in list order. FAMILY is a product keyword of the setup run (ora oracle\n"
    "tuo, syb sybase tus, sql tum mssql, informix tui ifx) or a family code\n"
    "(1 Oracle, 2 Sybase, 3 Microsoft SQL Server, 4 Informix). For Oracle the\n"
    "instances' parameter files are read afterwards, as the setup run reads them.\n"
    "\n"
    "--install-paths lists what the install-path lookup prints for MACHINE (the\n"
    "local machine when none is given), then the four paths it found.\n"
    "\n"
    "--json prints one JSON report: the computer name (COMPUTERNAME), the\n"
    "install paths, and the records of every family named (all four when none\n"
    "is), each with the registry view it came from (\"64\", or \"32\" for the\n"
    "32-bit view of 64-bit Windows), how it was found (\"registry\", or \"service\"\n"
    "for an Oracle instance only its service shows), its service (null, or its\n"
    "name, start type and state) and, for SQL Server, its TCP port (or null).\n"
    "Texts are converted to UTF-8.\n"
    "\n"
    "--answers-template prints an answers file for tavsetup --answers that\n"
    "monitors every server of FAMILY with the default account, its discovered\n"
    "values as comments and its login and password lines ready to fill in.\n"
    "\n"
    "--registry FILE reads a .reg snapshot instead of the machine's registry; it\n"
    "may be repeated, later files adding to earlier ones. The services are then\n"
    "the snapshots' SYSTEM\\CurrentControlSet\\Services keys, with the states of\n"
    "the file TAVNOVU_SERVICES names (\"NAME STATE\" lines); without snapshots,\n"
    "the machine's service manager.\n";

// The family a keyword (in any case) or a code names; null for none.
const FamilyRow* FamilyOf(const std::string& word) {
    if (word.size() == 1 && word[0] >= '0' && word[0] <= '9')
        return FamilyRowOf(FamilyAtSlot(word[0] - '0'));
    return FamilyRowOf(FamilyOfProduct(tavtext::LowerCase(word).c_str()));
}

// A line for the person on the error stream, named as this program's.
void Problem(const std::string& line) {
    fprintf(stderr, "tavdiscover: %s\n", line.c_str());
}

// The exit status once the report is out: a report that could not be written
// (a full disk, a closed pipe) is a failure, said once.
int Flushed() {
    if (fflush(stdout) == 0 && !ferror(stdout)) return 0;
    Problem(std::string("cannot write the report: ") + std::strerror(errno));
    return 1;
}

int Usage(const char* problem) {
    fprintf(stderr, "tavdiscover: %s\n%s", problem, USAGE);
    return 2;
}

// Keeps standard output for the report: what discovery and the install-path
// lookup tell on the way goes to the error stream.
class ErrorStreamReport : public CReport {
public:
    void Console(std::string_view text) override { Error(text); }
    void ConsoleAndLog(std::string_view text) override { Error(text); }
};

using Json = nlohmann::ordered_json;

// Registry texts are in the system's code page; JSON is UTF-8.
std::string Utf8(const std::string& text) {
    return tavreg::AnsiToUtf8(text);
}

Json ServerJson(const CDbServer& server) {
    Json record;
    for (const RecordField& field : server.GetTextFields())
        record[field.name] = Utf8(field.text);
    record["is_server_valid"] = server.GetIsServerValid() != 0;
    record["registry_view"] = server.GetRegistryView();
    record["found_by"] = FoundByName(server.GetFoundBy());
    if (const auto& service = server.GetService())
        record["service"] = {{"name", Utf8(service->name)},
                             {"start", tavplat::ServiceStartName(service->status.start)},
                             {"state", tavplat::ServiceStateName(service->status.state)}};
    else
        record["service"] = nullptr;
    if (server.GetServerFamily() == Family::MsSql) {
        const std::optional<int> port = static_cast<const CMsSqlServer&>(server).GetTcpPort();
        record["tcp_port"] = port ? Json(*port) : Json(nullptr);
    }
    // Only a server that cannot be monitored says so: the others' records stay as they were.
    if (const std::string why = tavdiscovery::ServerRefusal(server); !why.empty()) {
        record["can_monitor"] = false;
        record["why"] = Utf8(why);
    }
    return record;
}

std::string JsonReport(tavplat::RegistryReader& registry, tavplat::ServiceManager& services,
                       const std::vector<const FamilyRow*>& families) {
    ErrorStreamReport report;
    const InstallPaths paths = ReadInstallPaths(registry, nullptr, report);
    Json inventory;
    inventory["computer"] = Utf8(tavmachine::ComputerName().value_or(""));
    inventory["install_paths"] = {{"BinPath", Utf8(paths.bin)},
                                   {"DllPath", Utf8(paths.dll)},
                                   {"EtcPath", Utf8(paths.etc)},
                                   {"LogPath", Utf8(paths.log)}};
    inventory["families"] = Json::array();
    for (const FamilyRow* family : families) {
        CDbServerList list;
        DiscoverFamily(*family, list, registry, services, report);
        Json servers = Json::array();
        for (int i = 0; i < list.GetCount(family->family); ++i)
            servers.push_back(ServerJson(*list.GetAt(i, family->family)));
        inventory["families"].push_back({{"family", family->keyword}, {"servers", servers}});
    }
    return inventory.dump(2) + "\n";
}

std::string AnswersTemplateFor(tavplat::RegistryReader& registry, tavplat::ServiceManager& services,
                               const FamilyRow& family) {
    ErrorStreamReport report;
    CDbServerList list;
    DiscoverFamily(family, list, registry, services, report);
    return tavview::AnswersTemplate(list, family.family, tavmachine::ComputerName().value_or(""));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavdiscover %s\n", TAV_VERSION);  // the project's version (Version.h, from CMake)
        return 0;
    }
    std::vector<std::string> snapshots;
    std::vector<std::string> words;
    bool installPaths = false;
    bool json = false;
    bool answersTemplate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(USAGE, stdout);
            return 0;
        }
        if (arg == "--registry") {
            if (i + 1 >= argc) return Usage("--registry needs a file name");
            snapshots.push_back(argv[++i]);
        } else if (arg == "--install-paths") {
            installPaths = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--answers-template") {
            answersTemplate = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(("unknown option " + arg).c_str());
        } else {
            words.push_back(arg);
        }
    }

    const FamilyRow* family = nullptr;
    std::vector<const FamilyRow*> families;
    if (installPaths + json + answersTemplate > 1)
        return Usage("choose one of --install-paths, --json and --answers-template");
    if (installPaths) {
        if (words.size() > 1) return Usage("--install-paths takes at most one machine name");
    } else if (json) {
        for (const std::string& word : words) {
            const FamilyRow* named = FamilyOf(word);
            if (!named) return Usage((word + " is not a supported product").c_str());
            if (std::find(families.begin(), families.end(), named) == families.end()) families.push_back(named);
        }
        if (families.empty())
            for (const FamilyRow& row : FamilyRows()) families.push_back(&row);
    } else {
        if (words.size() != 1) return Usage("name one family");
        family = FamilyOf(words[0]);
        if (!family) return Usage((words[0] + " is not a supported product").c_str());
    }

    std::unique_ptr<tavplat::RegistryReader> registry;
    bool systemRegistry = false;
    if (snapshots.empty()) {
        tavreg::MachineRegistry machine = tavreg::OpenMachineRegistry();
        for (const std::string& line : machine.problems) Problem(line);
        registry = std::move(machine.reader);
        systemRegistry = machine.system;
    } else {
        // Snapshots named here are what the person asked for: one that cannot be read ends the run.
        auto memory = std::make_unique<tavreg::MemoryRegistry>();
        for (const std::string& file : snapshots) {
            const tavreg::LoadResult loaded = memory->LoadFile(file);
            for (const std::string& line : loaded.warnings) Problem(line);
            if (!loaded.Ok()) {
                Problem(loaded.error);
                return 1;
            }
        }
        registry = std::move(memory);
    }

    if (installPaths) {
        CReport report;
        const InstallPaths paths = ReadInstallPaths(*registry, words.empty() ? nullptr : words[0].c_str(), report);
        printf("BinPath : %s\nDllPath : %s\nEtcPath : %s\nLogPath : %s\n", paths.bin.c_str(), paths.dll.c_str(),
               paths.etc.c_str(), paths.log.c_str());
        return Flushed();
    }

    // The services that go with the registry read: the system's with its own,
    // the snapshots' keys and TAVNOVU_SERVICES with snapshots.
    tavmachine::MachineServices services = tavmachine::OpenMachineServices(*registry, systemRegistry);
    for (const std::string& line : services.problems) Problem(line);

    if (json || answersTemplate) {
        const std::string text = json ? JsonReport(*registry, *services.manager, families)
                                      : AnswersTemplateFor(*registry, *services.manager, *family);
        fwrite(text.data(), 1, text.size(), stdout);
        return Flushed();
    }

    CDbServerList list;
    CReport report;
    DiscoverFamily(*family, list, *registry, *services.manager, report);
    for (int i = 0; i < list.GetCount(family->family); ++i)
        list.GetAt(i, family->family)->Dump(stdout);
    return Flushed();
}
