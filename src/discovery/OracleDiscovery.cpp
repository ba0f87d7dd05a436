// Oracle discovery: the homes and instances in the registry, and each
// instance's initialisation parameter file.
#include "discovery/ServerList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "machine/RegistryValues.h"
#include "platform/FileSystem.h"
#include "platform/RegistryReader.h"
#include "report/Report.h"
#include "runtime/CollectorRuntime.h"
#include "text/Text.h"

using namespace tavdisc;
using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavtext::EqualsIgnoringCase;
using tavtext::Trim;
using tavtext::TrimRight;
using tavtext::WHITE_SPACE;

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The text after the first "=" at or behind the first occurrence of key, or
// false when there is no "=" there.
bool ValueAfterKey(const std::string& line, const char* key, std::string* value) {
    const size_t at = line.find(key);
    const size_t equals = line.find('=', at);
    if (equals == std::string::npos)
        return false;
    *value = line.substr(equals + 1);
    return true;
}


// ---- the parameter-file line reader ------------------------------------------------

// Reads an Oracle parameter file the way a 201-byte fgets buffer on a text-mode
// stream sees it: lines of up to 200 characters, longer ones in pieces of 200;
// CR LF counts as the line end and Ctrl-Z ends the file, as the Windows C
// runtime reads text files. The file is opened in binary so that both builds
// read the same characters.
class ParameterFileReader {
public:
    static constexpr size_t PIECE = 200;

    explicit ParameterFileReader(FILE* file) : file_(file) {}

    // The next working line that is neither empty nor a comment; false at the end.
    bool NextLine(std::string* working) {
        std::string piece;
        while (ReadPiece(&piece)) {
            if (!piece.empty() && piece.back() == '\n')
                piece.pop_back();
            std::string text = std::string(TrimRight(piece, " "));
            if (text.empty() || text[0] == '#')
                continue;
            if (text[0] == '-')
                text = " " + text;
            if (continued_) {
                continued_ = false;
                text = " -" + text;
            }
            continued_ = text.size() >= 3 && text.compare(text.size() - 3, 3, " -\\") == 0;
            *working = text;
            return true;
        }
        return false;
    }

private:
    int ReadChar() {
        if (ended_)
            return EOF;
        int c = fgetc(file_);
        if (c == 0x1A) {
            ended_ = true;
            return EOF;
        }
        if (c == '\r') {
            const int next = fgetc(file_);
            if (next == '\n')
                return '\n';
            if (next != EOF)
                ungetc(next, file_);
        }
        return c;
    }

    bool ReadPiece(std::string* piece) {
        piece->clear();
        while (piece->size() < PIECE) {
            const int c = ReadChar();
            if (c == EOF)
                break;
            piece->push_back(static_cast<char>(c));
            if (c == '\n')
                break;
        }
        if (piece->empty())
            return false;
        // The line is C text: it ends at a NUL byte.
        const size_t nul = piece->find('\0');
        if (nul != std::string::npos)
            piece->resize(nul);
        return true;
    }

    FILE* file_;
    bool continued_ = false;
    bool ended_ = false;
};

FILE* OpenParameterFile(const char* path) {
    return tavplat::OpenFile(path, "rb");
}

// ---- Oracle --------------------------------------------------------------------------

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

}  // namespace

// ---- records -------------------------------------------------------------------

COracleServer::COracleServer(const char* sid)
    : CDbServer(Family::Oracle), oracle_sid(sid ? sid : "") {}

void COracleServer::ReadInitFile() {
    if (initora_filename.empty()) {
        is_server_valid = 0;
        return;
    }
    std::vector<std::string> lines;
    if (!ReadParameterFileLines(initora_filename.c_str(), &lines)) {
        if (server_name.empty())
            is_server_valid = 0;
        return;
    }
    std::string value;
    for (const std::string& line : lines) {
        if (server_name.empty() && Contains(line, "db_name")) {
            server_name = ValueAfterKey(line, "db_name", &value) ? std::string(Trim(value, " ")) : "";
        }
        if (errorlog_name.empty() && Contains(line, "user_dump_dest")) {
            errorlog_name = ValueAfterKey(line, "user_dump_dest", &value)
                                ? std::string(Trim(value, " ")) + "\\" + oracle_sid + "ALRT.LOG"
                                : "";
        }
    }
    if (server_name.empty())
        is_server_valid = 0;
}

bool ReadParameterFileLines(const char* path, std::vector<std::string>* lines) {
    lines->clear();
    FILE* file = OpenParameterFile(path ? path : "");
    if (file == nullptr)
        return false;
    ParameterFileReader reader(file);
    std::string line;
    while (reader.NextLine(&line))
        lines->push_back(line);
    fclose(file);
    return true;
}

std::string ResolveParameterFile(const char* path, CReport& report) {
    // With no parameter line to decide, the file is taken to hold its own parameters.
    const std::string ownPath = path ? path : "";
    std::string result = ownPath;
    std::vector<std::string> lines;
    ReadParameterFileLines(ownPath.c_str(), &lines);
    std::string value;
    for (const std::string& line : lines) {
        if (!Contains(line, "IFILE")) {
            result = ownPath;
            continue;
        }
        if (!ValueAfterKey(line, "IFILE", &value)) {
            report.Console("No change in initfile\n");
            continue;
        }
        report.ConsoleF("[DEB] filename[=%s]\n", value.c_str());
        result = std::string(Trim(value, "' "));
        report.ConsoleF("[DEB] filename2[%s]\n", result.c_str());
    }
    return result;
}

// ---- discovery: Oracle ------------------------------------------------------------------

void CDbServerList::OracleViewPass() {
    if (!Open(ORACLE_KEY, KEY_QUERY))
        return;  // the key only shows that Oracle is installed; closed at once

    if (auto allHomes = Open(ORACLE_ALL_HOMES_KEY, KEY_QUERY)) {
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
            const int homes = std::min(counter, NumberedHomeBound(Open(ORACLE_KEY, KEY_ENUM_SUB_KEYS)));
            for (int index = 0; index < homes; ++index)
                ScanOracleHome(("Software\\Oracle\\HOME" + std::to_string(index)).c_str());
        }
    }

    for (int k = 1; k <= 3; ++k) {
        const std::string path = ORACLE_10G_KEY + std::to_string(k);
        auto key = Open(path.c_str(), KEY_QUERY);
        if (key)
            ScanOracle10gHome(path.c_str());
    }
}

void CDbServerList::ScanOracleHome(const char* keyPath) {
    ScanHome(keyPath, false);
}

void CDbServerList::ScanOracle10gHome(const char* keyPath) {
    ScanHome(keyPath, true);
}

void CDbServerList::ScanHome(const char* keyPath, bool is10g) {
    OracleHome home;
    bool sidFound = false;
    {
        auto key = Open(keyPath, KEY_QUERY);
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
        auto key = Open(keyPath, KEY_QUERY);
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
                home.resolvedPfile = ResolveParameterFile(home.pfilePath.c_str(), *report_);
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
        AddFound(std::move(server), Family::Oracle);
    }
}

