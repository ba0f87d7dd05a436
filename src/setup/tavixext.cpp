// The installation exit's entry point: one call of TavSetUp is one setup run.
#include "setup/tavixext.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "discovery/tavdisc.h"
#include "generate/tavixdcl.h"
#include "dialogs/tavixlst.h"
#include "views/DialogViews.h"
#include "platform/FileSystem.h"
#include "platform/RegistryReader.h"
#include "registry/MachineRegistry.h"
#include "report/Report.h"
#include "runtime/coll.h"

std::string BinPath;
std::string DllPath;
std::string EtcPath;
std::string LogPath;
std::string LibraryName;

namespace {

constexpr const char* LOCAL_SETTINGS_HEADER = "[Local Settings]";
constexpr const char* TEST_SETTINGS_FILE = "tavtset.ini";

struct ProductEntry {
    const char* keyword;
    int family;
};

const ProductEntry PRODUCTS[] = {
    {"ora", FAMILY_ORACLE},    {"oracle", FAMILY_ORACLE}, {"tuo", FAMILY_ORACLE},
    {"syb", FAMILY_SYBASE},    {"sybase", FAMILY_SYBASE}, {"tus", FAMILY_SYBASE},
    {"sql", FAMILY_MSSQL},     {"tum", FAMILY_MSSQL},     {"mssql", FAMILY_MSSQL},
    {"informix", FAMILY_INFORMIX}, {"tui", FAMILY_INFORMIX}, {"ifx", FAMILY_INFORMIX},
};

int FamilyOfProduct(const char* keyword) {
    for (const ProductEntry& entry : PRODUCTS)
        if (std::strcmp(entry.keyword, keyword) == 0) return entry.family;
    return 0;
}

// The parameter string's tokens. They are held whole, whatever their length.
struct SetupParms {
    const char* logfile = nullptr;
    char* product = nullptr;
    const char* version = nullptr;
    const char* description = "";
};

// Splits in place, as strtok does with the delimiter " ": runs of blanks before a
// token are skipped and the blank that ends a token becomes a NUL. The
// description is everything behind the NUL that ends the version token.
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
    if (result.version) result.description = cursor;
    return result;
}

void LowerCaseInPlace(char* text) {
    for (; *text; ++text) {
        unsigned char c = static_cast<unsigned char>(*text);
        if (c >= 'A' && c <= 'Z') *text = static_cast<char>(c - 'A' + 'a');
    }
}

void DiscoverFamily(CDbServerList& servers, int family) {
    switch (family) {
    case FAMILY_ORACLE:
        servers.DiscoverOracle();
        servers.ReadInitFiles(FAMILY_ORACLE);
        break;
    case FAMILY_SYBASE:
        servers.DiscoverSybase();
        break;
    case FAMILY_MSSQL:
        servers.DiscoverMsSql();
        break;
    case FAMILY_INFORMIX:
        servers.DiscoverInformix();
        break;
    }
}

void FillInstallParams(CInstallParams& params) {
    params.SetCellName("CELLNAME");
    params.SetEtcPath("ETCPATH");
    params.SetComputerName("COMPUTERNAME");
    params.SetLogPath("LOGPATH");
    params.SetDllPath("DLLPATH");
    params.SetBinPath("BINPATH");
    params.SetPortNumber("PORTNUMBER");
}

// Reads one line of any length without its line end (LF or CR LF).
bool ReadLine(FILE* stream, std::string& line) {
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(stream)) != EOF) {
        any = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

bool IsLocalSettingsHeader(const std::string& line) {
    return coll_stricmp(line.c_str(), LOCAL_SETTINGS_HEADER) == 0;
}

// The run proper, after the runtime set-up and the skip test.
int RunSetup(const char* iniPath, char* parms) {
    std::vector<std::string> problems;
    auto registry = tavreg::OpenMachineRegistry(&problems);
    for (const std::string& line : problems) StandardReport().Error(line + "\n");
    auto servers = std::make_unique<CDbServerList>(*registry);
    auto params = std::make_unique<CInstallParams>();

    LibraryName = "TAVNOVU";
    if (coll_trace[0])
        coll_message(nullptr, __FILE__, __LINE__, "t", "ixe0005", "Passed parms from INI %s.",
                     parms ? parms : "");

    SetupParms tokens = SplitParms(parms);
    if (!tokens.logfile || !tokens.product || !tokens.version) {
        coll_message(nullptr, __FILE__, __LINE__, "e", "ixe0015",
                     "tavsetup logfile product version description. %s.", LibraryName.c_str());
        return 1;
    }
    if (!params->OpenSetupLog(tokens.logfile)) {
        coll_message(nullptr, __FILE__, __LINE__, "e", "ixe0020", "Could not open logfile! %s.",
                     LibraryName.c_str());
        return 2;
    }
    params->LogWrite(LOG_CONSOLE, "\n\n");
    params->LogStamped("Starting Database Monitor Installation\n");

    ReadInstallPaths(*registry, nullptr);
    FillInstallParams(*params);
    CopyLocalSettings(iniPath);

    LowerCaseInPlace(tokens.product);
    int family = FamilyOfProduct(tokens.product);
    if (family == 0) {
        std::string line = std::string(tokens.product) + " is not a supported product\n";
        params->LogWrite(LOG_CONSOLE, "%s", line.c_str());
        params->CloseSetupLog();
        return 1;
    }
    DiscoverFamily(*servers, family);

    if (ShowServerDialog(family, *servers, *params) != 0) {
        params->CloseSetupLog();
        return 1;
    }
    params->LogWrite(LOG_CONSOLE, "\n\n");
    params->GenerateConfiguration();
    params->LogStamped("Finished Database Monitor Configuration\n");
    params->CloseSetupLog();
    return 0;
}

}  // namespace

void CopyLocalSettings(const char* iniPath) {
    if (!iniPath || !*iniPath) return;
    FILE* input = tavplat::OpenFile(iniPath, "r");
    if (!input) return;
    FILE* output = tavplat::OpenFile(TEST_SETTINGS_FILE, "w");
    if (!output) {
        std::fclose(input);
        return;
    }
    std::string line;
    bool copying = false;
    while (ReadLine(input, line)) {
        if (!copying) {
            copying = IsLocalSettingsHeader(line);
            if (!copying) continue;
        } else if (line.empty() || line[0] == '[') {
            // An empty line or another header ends the section; a second
            // "[Local Settings]" header starts copying again.
            copying = IsLocalSettingsHeader(line);
            if (!copying) continue;
        }
        std::fputs(line.c_str(), output);
        std::fputc('\n', output);
    }
    std::fclose(output);
    std::fclose(input);
}

int ShowServerDialog(int family, CDbServerList& servers, CInstallParams& params) {
    CServerSelectDlg dialog(family, servers, params);
    long lastError = 0;
    int result = tavplat::RunSelectDialog(dialog, &lastError);
    if (result == DIALOG_OK) return 0;
    if (result == DIALOG_CANCEL) return 1;
    std::printf("Unable to display dialog: RC=%d\n", static_cast<int>(lastError));
    std::fflush(stdout);
    // A failed dialog must never read as OK, even when the system gave no code.
    return lastError != 0 ? static_cast<int>(lastError) : -1;
}

TAV_EXPORT int TavSetUp(int skip, const char* iniPath, int /*reserved*/, char* parms) {
    coll_init_settings(&coll_settings);
    if (coll_trace[0]) coll_open_output("ixcfg.out");
    if (skip) return 0;
    return RunSetup(iniPath, parms);
}
