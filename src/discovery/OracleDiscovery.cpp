// Oracle discovery: the homes and instances in the registry, and each
// instance's initialisation parameter file.
#include "discovery/Discovery.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "discovery/OracleParameterFile.h"
#include "discovery/RegistryViewPass.h"
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

void ScanHome(RegistryViewPass& view, const char* keyPath, bool is10g, CReport& report) {
    OracleHome home;
    bool sidFound = false;
    {
        auto key = view.Open(keyPath, KEY_QUERY);
        if (!key)
            return;
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
        return;

    {
        auto key = view.Open(keyPath, KEY_QUERY);
        if (!key)
            return;
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
        return;

    for (const std::string& name : home.instances) {
        auto server = std::make_unique<COracleServer>(name.c_str());
        server->SetServerName(name.c_str());
        server->SetServiceName(("OracleService" + name).c_str());
        server->SetDollarServer(home.homeDirectory.c_str());
        const std::string bdump = home.baseDirectory + "\\admin\\" + name + "\\bdump\\";
        if (is10g) {
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
}

void OracleViewPass(RegistryViewPass& view, CReport& report) {
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
                ScanHome(view, ("Software\\Oracle\\HOME" + std::to_string(index)).c_str(), false, report);
        }
    }

    for (int k = 1; k <= 3; ++k) {
        const std::string path = ORACLE_10G_KEY + std::to_string(k);
        auto key = view.Open(path.c_str(), KEY_QUERY);
        if (key)
            ScanHome(view, path.c_str(), true, report);
    }
}

}  // namespace

void DiscoverOracle(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report) {
    const int first = list.GetCount(Family::Oracle);
    RegistryViewPass pass(list, registry, Family::Oracle);
    pass.ForEachView([&] { OracleViewPass(pass, report); });
    // The count is read afresh each time round.
    for (int i = first; i < list.GetCount(Family::Oracle); ++i)
        static_cast<COracleServer*>(list.GetAt(i, Family::Oracle))->ReadInitFile();
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
