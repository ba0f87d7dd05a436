// The installation exit's entry point: one call of TavSetUp is one setup run.
#include "setup/SetupRun.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "dialogs/SelectionDialog.h"
#include "discovery/Discovery.h"
#include "generate/ConfigurationWriter.h"
#include "generate/FamilyTable.h"
#include "generate/InstallParams.h"
#include "monitor/MonitoredSet.h"
#include "platform/FileSystem.h"
#include "platform/RegistryReader.h"
#include "registry/MachineRegistry.h"
#include "machine/MachineServices.h"
#include "report/Report.h"
#include "runtime/CollectorRuntime.h"
#include "runtime/RuntimeState.h"
#include "setup/SetupLog.h"
#include "machine/InstallPaths.h"
#include "machine/ValuePolicy.h"
#include "text/Text.h"
#include "views/DialogViews.h"
#include "machine/ComputerName.h"

// The module its message records name, whatever this file is called.
constexpr const char RECORD_MODULE[] = "tavixext";

namespace {

// The library name carried by the entry point's failure messages.
constexpr const char* LIBRARY_NAME = "TAVNOVU";
constexpr const char* LOCAL_SETTINGS_HEADER = "[Local Settings]";
constexpr const char* TEST_SETTINGS_FILE = "tavtset.ini";

// The parameter string's tokens. They are held whole, whatever their length;
// the description after them names the product to the installer only.
struct SetupParms {
    const char* logfile = nullptr;
    char* product = nullptr;
    const char* version = nullptr;
};

// Splits in place, as strtok does with the delimiter " ": runs of blanks before a
// token are skipped and the blank that ends a token becomes a NUL.
char* NextToken(char*& cursor) {
    while (*cursor == ' ') ++cursor;
    if (*cursor == '\0') return nullptr;
    char* token = cursor;
    while (*cursor != '\0' && *cursor != ' ') ++cursor;
    if (*cursor == ' ') *cursor++ = '\0';
    return token;
}

SetupParms SplitParms(char* parms) {
    SetupParms result;
    if (!parms) return result;
    char* cursor = parms;
    result.logfile = NextToken(cursor);
    if (result.logfile) result.product = NextToken(cursor);
    if (result.product) result.version = NextToken(cursor);
    return result;
}

void LowerCaseInPlace(char* text) {
    for (; *text; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c >= 'A' && c <= 'Z') *text = static_cast<char>(c - 'A' + 'a');
    }
}

// The seven install parameters in the order the run sets them; the registry's
// paths win over the environment's.
void FillInstallParams(CInstallParams& params, const InstallPaths& paths) {
    params.SetCellName("CELLNAME");
    params.SetEtcPath("ETCPATH", paths.etc);
    params.SetComputerName(tavmachine::COMPUTER_NAME_VARIABLE);
    params.SetLogPath("LOGPATH", paths.log);
    params.SetDllPath("DLLPATH", paths.dll);
    params.SetBinPath("BINPATH", paths.bin);
    params.SetPortNumber("PORTNUMBER");
}

// The first install parameter that fails the value policy, named by where it
// came from, with the reason; empty when all may be used.
std::string InstallParameterRefusal(const CInstallParams& params, const InstallPaths& paths) {
    const auto source = [](const std::string& fromKey, const char* variable, const char* keyValue) {
        return fromKey.empty() ? std::string(variable) : std::string(keyValue) + " of the maker's key";
    };
    const struct {
        std::string name;
        std::string value;
    } PARAMETERS[] = {
        {"CELLNAME", params.GetCellName()},
        {source(paths.etc, "ETCPATH", "EtcPath"), params.GetEtcPath(PARAM_RAW)},
        {tavmachine::COMPUTER_NAME_VARIABLE, params.GetComputerName()},
        {source(paths.log, "LOGPATH", "LogPath"), params.GetLogPath(PARAM_RAW)},
        {source(paths.dll, "DLLPATH", "DllPath"), params.GetDllPath()},
        {source(paths.bin, "BINPATH", "BinPath"), params.GetBinPath(PARAM_RAW)},
        {"PORTNUMBER", params.GetPortNumber(PARAM_RAW)},
    };
    for (const auto& parameter : PARAMETERS)
        if (const char* why = tavmachine::ValueRefusal(parameter.value))
            return "The install parameter " + parameter.name + " cannot be used: " + why;
    return std::string();
}

bool IsLocalSettingsHeader(const std::string& line) {
    return tavtext::EqualsIgnoringCase(line, LOCAL_SETTINGS_HEADER);
}

// The run proper, after the runtime set-up and the skip test. Returns the
// result of TavSetUp; *processExit is set when the process must end instead.
int RunSetup(const char* iniPath, char* parms, int* processExit) {
    CSetupLog log;
    const tavreg::MachineRegistry machine = tavreg::OpenMachineRegistry();
    for (const std::string& line : machine.problems) log.Error(line + "\n");
    tavplat::RegistryReader* const registry = machine.reader.get();
    CDbServerList servers;
    CInstallParams params;
    CMonitoredSet monitored;

    if (coll_trace[0])
        coll_message(nullptr, RECORD_MODULE, __LINE__, "t", "ixe0005", "Passed parms from INI %s.",
                     parms ? parms : "");

    SetupParms tokens = SplitParms(parms);
    if (!tokens.logfile || !tokens.product || !tokens.version) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "ixe0015",
                     "tavsetup logfile product version description. %s.", LIBRARY_NAME);
        return 1;
    }
    if (!log.OpenSetupLog(tokens.logfile)) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "ixe0020", "Could not open logfile! %s.",
                     LIBRARY_NAME);
        return 2;
    }
    log.ConsoleAndLog("\n\n");
    log.LogStamped("Starting Database Monitor Installation\n");

    const InstallPaths paths = ReadInstallPaths(*registry, nullptr, log);
    FillInstallParams(params, paths);
    // Every one of them reaches the agents' files: stop before anything is written.
    if (const std::string refusal = InstallParameterRefusal(params, paths); !refusal.empty()) {
        log.ConsoleAndLog(refusal + "; nothing was configured\n");
        return 1;
    }
    // The agents then read the local settings of an earlier copy, or none: the person hears why.
    if (const Status copied = CopyLocalSettings(iniPath); !copied.Ok())
        log.ConsoleAndLog(copied.text + "; the installer's local settings do not reach the agents' files\n");

    LowerCaseInPlace(tokens.product);
    const Family family = FamilyOfProduct(tokens.product);
    const FamilyRow* row = FamilyRowOf(family);
    if (!row) {
        log.ConsoleAndLogF("%s is not a supported product\n", tokens.product);
        return 1;
    }
    tavmachine::MachineServices services = tavmachine::OpenMachineServices(*registry, machine.system);
    for (const std::string& line : services.problems) log.Error(line + "\n");
    DiscoverFamily(*row, servers, *registry, *services.manager, log);

    if (ShowServerDialog(family, servers, monitored, log) != 0)
        return 1;
    log.ConsoleAndLog("\n\n");
    CConfigurationWriter writer(params, monitored, log);
    const GenerationResult generated = writer.GenerateConfiguration();
    if (generated.outcome == GenerationResult::END_PROCESS) *processExit = generated.process_exit;
    // A run that could not put every file in place has not configured the agents.
    if (generated.outcome != GenerationResult::CONFIGURED)
        return 1;
    // Nor has one that left a chosen server without its files.
    if (generated.servers_left_out > 0) {
        log.ConsoleAndLogF("%d of the chosen servers got no files: the configuration is incomplete\n",
                           generated.servers_left_out);
        return 1;
    }
    log.LogStamped("Finished Database Monitor Configuration\n");
    return 0;
}

}  // namespace

Status CopyLocalSettings(const char* iniPath) {
    if (!iniPath || !*iniPath) return Status::Success();
    FILE* input = tavplat::OpenFile(iniPath, "r");
    if (!input) return Status::Success();
    std::string copy;
    std::string line;
    bool copying = false;
    while (tavtext::ReadLine(input, &line)) {
        if (!copying) {
            copying = IsLocalSettingsHeader(line);
            if (!copying) continue;
        } else if (line.empty() || line[0] == '[') {
            // An empty line or another header ends the section; a second
            // "[Local Settings]" header starts copying again.
            copying = IsLocalSettingsHeader(line);
            if (!copying) continue;
        }
        copy += line;  // whole, even a NUL byte it holds
        copy += '\n';
    }
    // A file that could not be read to its end (a directory opens on POSIX)
    // counts as missing: the copy of an earlier run stays.
    const bool readWhole = !std::ferror(input);
    std::fclose(input);
    if (!readWhole) return Status::Success();
    // Staged, so that a full disk leaves the earlier copy rather than half a new one.
    CStagedFileSet staged;
    int file = staged.Open(TEST_SETTINGS_FILE, "w");
    if (file < 0) {
        const int error = errno;
        return Status::Failure(error, tavtext::Format("Can't write '%s': %s", TEST_SETTINGS_FILE, std::strerror(error)));
    }
    std::fwrite(copy.data(), 1, copy.size(), staged.Stream(file));
    const int written = file;
    if (!staged.Close(file)) return staged.Failure();
    return staged.Place(written);
}

int ShowServerDialog(Family family, CDbServerList& servers, CMonitoredSet& monitored, CReport& report) {
    CServerSelectDlg dialog(family, servers, monitored);
    const tavview::SelectOutcome ended = tavview::RunSelectDialog(dialog, report);
    if (ended.result == DIALOG_OK) return 0;
    if (ended.result == DIALOG_CANCEL) return 1;
    const Status& failure = ended.failure;
    if (!failure.text.empty()) report.Error(failure.text + "\n");
    report.ConsoleF("Unable to display dialog: RC=%d\n", static_cast<int>(failure.code));
    std::fflush(stdout);
    // A failed dialog must never read as OK, even when the system gave no code.
    return failure.code != 0 ? static_cast<int>(failure.code) : -1;
}

TAV_EXPORT int TavSetUp(int skip, const char* iniPath, int /*reserved*/, char* parms) {
    // The run owns the runtime's state from here to its return: a host that
    // calls again starts from scratch, with its files closed.
    tavrun::Session session;
    // Nothing may unwind into the host installer's frames.
    try {
        coll_init_settings(&coll_settings);
        if (coll_trace[0]) coll_open_output("ixcfg.out");
        if (skip) return 0;
        int processExit = 0;
        const int result = RunSetup(iniPath, parms, &processExit);
        if (processExit != 0) std::exit(processExit);
        return result;
    } catch (const std::bad_alloc&) {
        coll_out_of_memory(RECORD_MODULE, __LINE__, "setup run", 0);
    } catch (const std::exception& failure) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "ixe0030", "Setup failed: %s. %s.", failure.what(),
                     LIBRARY_NAME);
    } catch (...) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "ixe0030", "Setup failed. %s.", LIBRARY_NAME);
    }
    return 1;
}
