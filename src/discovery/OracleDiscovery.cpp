// Oracle discovery: the homes and instances in the registry, and each
// instance's initialisation parameter file.
#include "discovery/Discovery.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "discovery/OracleParameterFile.h"
#include "discovery/RegistryViewPass.h"
#include "machine/MachineServices.h"
#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "runtime/CollectorRuntime.h"
#include "text/Text.h"

using namespace tavmachine;
using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavtext::EqualsIgnoringCase;
using tavtext::Trim;
using tavtext::WHITE_SPACE;

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

constexpr uint32_t ORACLE_NAME_CAPACITY = 256;
constexpr uint32_t ORACLE_DATA_CAPACITY = 256;
constexpr size_t ORACLE_MAX_INSTANCES = 16;
const char* const ORACLE_KEY = "Software\\Oracle";
const char* const ORACLE_ALL_HOMES_KEY = "Software\\Oracle\\ALL_HOMES";
const char* const ORACLE_10G_KEY = "Software\\Oracle\\KEY_OraDb10g_home";

// What one home key gives.
struct OracleHome {
    std::string sid;
    std::string autostartName;
    std::string pfileName;
    std::string homeDirectory;
    std::string baseDirectory;
    std::vector<std::string> instances;
    std::string pfilePath;
    std::string resolvedPfile;
    bool homeFound = false;
    bool pfileFound = false;
    bool pfileIsOwnFile = false;
    bool is10g = false;
};

// The instance that an autostart value names, or false when it names none.
bool AutostartInstance(const std::string& valueName, const OracleHome& home, std::string* instance) {
    if (EqualsIgnoringCase(valueName, home.autostartName.c_str())) {
        *instance = home.sid;
        return true;
    }
    const std::string trimmed = std::string(Trim(valueName, WHITE_SPACE));
    if (trimmed.compare(0, 4, "ORA_") != 0)
        return false;
    // "ORA_" + name + "_AUTOSTART": 14 characters around the name.
    const long length = static_cast<long>(trimmed.size()) - 14;
    *instance = length > 0 ? trimmed.substr(4, static_cast<size_t>(length)) : "";
    return true;
}

// The largest n of the sub-keys "HOME<n>" of the Oracle key, plus one; no
// numbered home can lie beyond it, whatever HOME_COUNTER says.
int NumberedHomeBound(std::unique_ptr<tavplat::RegistryKey> key) {
    if (!key)
        return 0;
    int bound = 0;
    ForEachSubKey(*key, ORACLE_NAME_CAPACITY, [&](const std::string& name) {
        if (name.size() > 4 && EqualsIgnoringCase(name.substr(0, 4), "HOME")) {
            const std::string digits = name.substr(4);
            if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 9) {
                const int index = std::atoi(digits.c_str());
                if (index >= bound)
                    bound = index + 1;
            }
        }
        return true;
    });
    return bound;
}

std::string UpperCase(std::string text) {
    coll_strupr(text.data());
    return text;
}

// The home a key describes; none for a key without ORACLE_SID or ORACLE_HOME.
std::optional<OracleHome> ReadHome(RegistryViewPass& view, const char* keyPath, bool is10g, CReport& report) {
    OracleHome home;
    home.is10g = is10g;
    bool sidFound = false;
    {
        auto key = view.Open(keyPath, KEY_QUERY);
        if (!key)
            return std::nullopt;
        ForEachValue(*key, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoringCase(value.name, "ORACLE_SID")) {
                sidFound = true;
                home.sid = value.text;
                home.autostartName = "ORA_" + UpperCase(home.sid) + "_AUTOSTART";
                if (!is10g)
                    home.pfileName = "ORA_" + UpperCase(home.sid) + "_PFILE";
            }
            return true;
        });
    }
    if (!sidFound)
        return std::nullopt;

    {
        auto key = view.Open(keyPath, KEY_QUERY);
        if (!key)
            return std::nullopt;
        ForEachValue(*key, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            std::string instance;
            if (EqualsIgnoringCase(value.name, "ORACLE_BASE")) {
                home.baseDirectory = value.text;
            } else if (EqualsIgnoringCase(value.name, "ORACLE_HOME")) {
                home.homeDirectory = value.text;
                home.homeFound = true;
            } else if (!is10g && EqualsIgnoringCase(value.name, home.pfileName.c_str())) {
                home.pfilePath = value.text;
                home.pfileFound = true;
                home.resolvedPfile = ResolveParameterFile(home.pfilePath.c_str(), report);
                home.pfileIsOwnFile = home.resolvedPfile == home.pfilePath;
            } else if (Contains(value.name, "_AUTOSTART")) {
                if (AutostartInstance(value.name, home, &instance) &&
                    home.instances.size() < ORACLE_MAX_INSTANCES)
                    home.instances.push_back(instance);
            }
            return true;
        });
    }
    if (!home.homeFound)
        return std::nullopt;
    return home;
}

// Files the record of one instance of a home.
void AddInstance(RegistryViewPass& view, const OracleHome& home, const std::string& name, FoundBy foundBy) {
    auto server = std::make_unique<COracleServer>(name.c_str());
    server->SetServerName(name.c_str());
    server->SetServiceName(("OracleService" + name).c_str());
    server->SetDollarServer(home.homeDirectory.c_str());
    server->SetFoundBy(foundBy);
    const std::string bdump = home.baseDirectory + "\\admin\\" + name + "\\bdump\\";
    if (home.is10g) {
        server->SetServerVersion("10.1");
        server->SetErrorlogName((bdump + "alert_" + name + ".LOG").c_str());
    } else if (home.pfileFound) {
        server->SetServerVersion(home.pfileIsOwnFile ? "8.1.X" : "9.0.1");
        server->SetErrorlogName((bdump + name + "ALRT.LOG").c_str());
        server->SetInitoraFilename(home.resolvedPfile.c_str());
    } else {
        server->SetServerVersion("9.2.0");
        server->SetErrorlogName((bdump + "alert_" + name + ".LOG").c_str());
    }
    view.AddFound(std::move(server));
}

void ScanHome(RegistryViewPass& view, const char* keyPath, bool is10g, CReport& report) {
    if (const std::optional<OracleHome> home = ReadHome(view, keyPath, is10g, report))
        for (const std::string& name : home->instances)
            AddInstance(view, *home, name, FoundBy::Registry);
}

using HomeVisit = std::function<void(const char* keyPath, bool is10g)>;

// Calls visit for each home key of the view, in discovery's order.
void ForEachHomeKey(RegistryViewPass& view, const HomeVisit& visit) {
    if (!view.Open(ORACLE_KEY, KEY_QUERY))
        return;  // the key only shows that Oracle is installed; closed at once

    if (auto allHomes = view.Open(ORACLE_ALL_HOMES_KEY, KEY_QUERY)) {
        int counter = 0;
        ForEachValue(*allHomes, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoringCase(value.name, "HOME_COUNTER"))
                counter = tavtext::LeadingInteger(value.text);
            return true;
        });
        allHomes.reset();
        // Every counter index names a home "HOME<n>"; homes of deleted
        // installations leave gaps, so the scan does not stop at a missing one.
        if (counter > 0) {
            const int homes = std::min(counter, NumberedHomeBound(view.Open(ORACLE_KEY, KEY_ENUM_SUB_KEYS)));
            for (int index = 0; index < homes; ++index)
                visit(("Software\\Oracle\\HOME" + std::to_string(index)).c_str(), false);
        }
    }

    for (int k = 1; k <= 3; ++k) {
        const std::string path = ORACLE_10G_KEY + std::to_string(k);
        auto key = view.Open(path.c_str(), KEY_QUERY);
        if (key)
            visit(path.c_str(), true);
    }
}

// The program of an ImagePath without its quotes and arguments lies directly
// in the home's bin directory, ignoring case and the kind of slash.
bool RunsFromBin(std::string imagePath, std::string homeDirectory) {
    imagePath.erase(std::remove(imagePath.begin(), imagePath.end(), '"'), imagePath.end());
    std::replace(imagePath.begin(), imagePath.end(), '/', '\\');
    std::replace(homeDirectory.begin(), homeDirectory.end(), '/', '\\');
    while (!homeDirectory.empty() && homeDirectory.back() == '\\') homeDirectory.pop_back();
    if (homeDirectory.empty()) return false;
    const std::string bin = homeDirectory + "\\bin\\";
    const std::string_view path = Trim(imagePath, WHITE_SPACE);
    if (!tavtext::StartsWithIgnoringCase(path, bin)) return false;
    const std::string program(path.substr(bin.size()));
    const std::string file = program.substr(0, program.find_first_of(" \t"));
    return !file.empty() && file.find('\\') == std::string::npos;
}

bool HasInstance(const CDbServerList& list, const std::string& sid) {
    for (int i = 0; i < list.GetCount(Family::Oracle); ++i)
        if (EqualsIgnoringCase(static_cast<COracleServer*>(list.GetAt(i, Family::Oracle))->GetOracleSid(), sid))
            return true;
    return false;
}

// Reads the parameter files of the records filed from first on; the count is
// read afresh each time round.
void ReadParameterFiles(CDbServerList& list, int first) {
    for (int i = first; i < list.GetCount(Family::Oracle); ++i)
        static_cast<COracleServer*>(list.GetAt(i, Family::Oracle))->ReadInitFile();
}

}  // namespace

void DiscoverOracle(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report) {
    const int first = list.GetCount(Family::Oracle);
    RegistryViewPass pass(list, registry, Family::Oracle);
    pass.ForEachView([&] {
        ForEachHomeKey(pass, [&](const char* keyPath, bool is10g) { ScanHome(pass, keyPath, is10g, report); });
    });
    ReadParameterFiles(list, first);
}

void DiscoverOracleServiceInstances(CDbServerList& list, tavplat::RegistryReader& registry,
                                    const std::string& servicePrefix, CReport&) {
    // The homes' parameter files were resolved, and their faults told, when
    // discovery first read the homes.
    QuietReport report;
    const std::vector<tavmachine::ServiceImage> services = ServicesNamedWith(registry, servicePrefix);
    if (services.empty())
        return;
    const int first = list.GetCount(Family::Oracle);
    RegistryViewPass pass(list, registry, Family::Oracle);
    pass.ForEachView([&] {
        ForEachHomeKey(pass, [&](const char* keyPath, bool is10g) {
            const std::optional<OracleHome> home = ReadHome(pass, keyPath, is10g, report);
            if (!home)
                return;
            for (const tavmachine::ServiceImage& service : services) {
                const std::string sid = service.name.substr(servicePrefix.size());
                if (sid.empty() || !RunsFromBin(service.image_path, home->homeDirectory) || HasInstance(list, sid))
                    continue;
                AddInstance(pass, *home, sid, FoundBy::Service);
            }
        });
    });
    ReadParameterFiles(list, first);
}
void ScanOracleHome(CDbServerList& list, tavplat::RegistryReader& registry, const char* keyPath, CReport& report) {
    RegistryViewPass view(list, registry, Family::Oracle);
    ScanHome(view, keyPath, false, report);
}

void ScanOracle10gHome(CDbServerList& list, tavplat::RegistryReader& registry, const char* keyPath,
                       CReport& report) {
    RegistryViewPass view(list, registry, Family::Oracle);
    ScanHome(view, keyPath, true, report);
}
