// Database server records, the server list, and the discovery of the
// database servers of the four families in the registry of this machine.
#include "discovery/tavdisc.h"

#include "platform/FileSystem.h"
#include "platform/RegistryReader.h"
#include "runtime/coll.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// ---- text helpers ------------------------------------------------------------------

// The case-insensitive comparison of 8-bit text that _stricmp makes.
bool EqualsIgnoreCase(const std::string& a, const char* b) {
    return coll_stricmp(a.c_str(), b) == 0;
}

bool IsFamilySlot(int family) {
    return family >= 0 && family < FAMILY_SLOTS;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Removes the characters of set from the given ends of text.
std::string TrimChars(const std::string& text, const char* set, bool leading, bool trailing) {
    size_t begin = 0;
    size_t end = text.size();
    if (leading)
        while (begin < end && text[begin] != '\0' && std::strchr(set, text[begin]) != nullptr) ++begin;
    if (trailing)
        while (end > begin && text[end - 1] != '\0' && std::strchr(set, text[end - 1]) != nullptr) --end;
    return text.substr(begin, end - begin);
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
            std::string text = TrimChars(piece, " ", false, true);
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

// ---- registry reading ----------------------------------------------------------------

using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavplat::REG_OK;
using tavplat::RegistryKey;

// One value as an enumeration returns it: the raw data, and the data as text
// (up to its first NUL, with a NUL placed right after the returned length).
struct RegValue {
    std::string name;
    std::string text;
    const unsigned char* data;
    uint32_t length;
};

// Calls visit(value) for the values of key from index 0 on, with name and data
// buffers of the given capacities, until the first failure of any kind (a
// value too large for a buffer included) or until visit returns false.
template <typename Visit>
void ForEachValue(RegistryKey& key, uint32_t nameCapacity, uint32_t dataCapacity, Visit visit) {
    std::vector<char> name(nameCapacity + 1, '\0');
    std::vector<unsigned char> data(dataCapacity + 1, 0);
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = nameCapacity;
        uint32_t dataLength = dataCapacity;
        if (key.EnumValue(index, name.data(), &nameLength, data.data(), &dataLength) != REG_OK)
            return;
        if (nameLength > nameCapacity || dataLength > dataCapacity)
            return;
        name[nameLength] = '\0';
        data[dataLength] = 0;
        RegValue value{name.data(), reinterpret_cast<const char*>(data.data()), data.data(), dataLength};
        if (!visit(value))
            return;
    }
}

// Calls visit(name) for the sub-keys of key until the first failure or until
// visit returns false.
template <typename Visit>
void ForEachSubKey(RegistryKey& key, uint32_t nameCapacity, Visit visit) {
    std::vector<char> name(nameCapacity + 1, '\0');
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = nameCapacity;
        if (key.EnumKey(index, name.data(), &nameLength) != REG_OK || nameLength > nameCapacity)
            return;
        name[nameLength] = '\0';
        if (!visit(std::string(name.data())))
            return;
    }
}

// The data of one value as text, or false when the query fails.
bool QueryText(RegistryKey& key, const char* valueName, uint32_t dataCapacity, std::string* text) {
    std::vector<unsigned char> data(dataCapacity + 1, 0);
    uint32_t dataLength = dataCapacity;
    if (key.QueryValue(valueName, data.data(), &dataLength) != REG_OK || dataLength > dataCapacity)
        return false;
    data[dataLength] = 0;
    *text = reinterpret_cast<const char*>(data.data());
    return true;
}

std::string EnvironmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string TrimWhiteSpace(const std::string& text) {
    return TrimChars(text, " \t\n\v\f\r", true, true);
}

std::string UpperCase(std::string text) {
    coll_strupr(text.data());
    return text;
}

// atoi's reading of a decimal number, held within the range of an int.
int DecimalNumber(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
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
    if (EqualsIgnoreCase(valueName, home.autostartName.c_str())) {
        *instance = home.sid;
        return true;
    }
    const std::string trimmed = TrimWhiteSpace(valueName);
    if (trimmed.compare(0, 4, "ORA_") != 0)
        return false;
    // "ORA_" + name + "_AUTOSTART": 14 characters around the name.
    const long length = static_cast<long>(trimmed.size()) - 14;
    *instance = length > 0 ? trimmed.substr(4, static_cast<size_t>(length)) : "";
    return true;
}

// The largest n of the sub-keys "HOME<n>" of the Oracle key, plus one; no
// numbered home can lie beyond it, whatever HOME_COUNTER says.
int NumberedHomeBound(tavplat::RegistryReader& registry) {
    auto key = registry.OpenKey(ORACLE_KEY, KEY_ENUM_SUB_KEYS);
    if (!key)
        return 0;
    int bound = 0;
    ForEachSubKey(*key, ORACLE_NAME_CAPACITY, [&](const std::string& name) {
        if (name.size() > 4 && EqualsIgnoreCase(name.substr(0, 4), "HOME")) {
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

// ---- Microsoft SQL Server ---------------------------------------------------------------

constexpr uint32_t MSSQL_CAPACITY = 256;
constexpr size_t MSSQL_MAX_INSTANCES = 16;
const char* const MSSQL_INSTANCES_KEY = "Software\\Microsoft\\Microsoft SQL Server";
const char* const MSSQL_DEFAULT_INSTANCE = "MSSQLSERVER";

// The names of a REG_MULTI_SZ-like run of NUL-terminated names; an
// unterminated last name is dropped.
std::vector<std::string> SplitInstanceNames(const unsigned char* data, uint32_t length) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < length) {
        const void* found = std::memchr(data + start, '\0', length - start);
        if (found == nullptr)
            break;
        const size_t end = static_cast<size_t>(static_cast<const unsigned char*>(found) - data);
        if (names.size() < MSSQL_MAX_INSTANCES)
            names.emplace_back(reinterpret_cast<const char*>(data + start), end - start);
        // A second NUL ends the list; so does the end of the data.
        if (end + 1 >= length || data[end + 1] == '\0')
            break;
        start = end + 1;
    }
    return names;
}

struct MsSqlKeys {
    std::string cluster;
    std::string setup;
    std::string version;
    std::string parameters;
};

MsSqlKeys MsSqlKeyPaths(const std::string& instance) {
    if (instance == MSSQL_DEFAULT_INSTANCE) {
        return {"", "Software\\Microsoft\\MSSQLServer\\Setup",
                "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\CurrentVersion",
                "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters"};
    }
    const std::string base = std::string(MSSQL_INSTANCES_KEY) + "\\" + instance;
    return {base + "\\Cluster", base + "\\Setup", base + "\\MSSQLServer\\CurrentVersion",
            base + "\\MSSQLServer\\Parameters"};
}

// ---- Sybase ------------------------------------------------------------------------------

const char* const SYBASE_PRODUCT_KEY = "Software\\Sybase\\SQLServer";
const char* const SYBASE_SERVERS_KEY = "Software\\Sybase\\Server";
constexpr uint32_t SYBASE_PRODUCT_CAPACITY = 500;
constexpr uint32_t SYBASE_SERVER_NAME_CAPACITY = 100;
constexpr uint32_t SYBASE_SERVER_TYPE_CAPACITY = 100;
constexpr uint32_t SYBASE_PARAMETER_CAPACITY = 80;

// A start-up argument without its two-character switch ("-s", "-e").
std::string ArgumentText(const RegValue& value) {
    if (value.length <= 2)
        return "";
    const std::string raw(reinterpret_cast<const char*>(value.data) + 2, value.length - 2);
    return raw.substr(0, raw.find('\0'));
}

// ---- Informix ----------------------------------------------------------------------------

const char* const INFORMIX_ONLINE_KEY = "Software\\Informix\\Online\\";
const char* const INFORMIX_SETUP_KEY = "Software\\Informix\\DBMS\\7.30\\Setup";
const char* const INFORMIX_CURRENT_ENVIRONMENT_KEY = "Software\\Informix\\Online\\CurrentVersion\\Environment";
const char* const INFORMIX_CURRENT_SETUP_KEY = "Software\\Informix\\Online\\CurrentVersion\\Setup";
constexpr uint32_t INFORMIX_SUB_KEY_CAPACITY = 100;
constexpr uint32_t INFORMIX_VALUE_CAPACITY = 80;

// The working texts of one Informix run; they carry over from the first
// record to the second.
struct InformixTexts {
    std::string installDirectory;
    std::string serverName;
    std::string configuration;
    std::string version;
};

void ReadInformixEnvironment(RegistryKey& key, InformixTexts* texts) {
    ForEachValue(key, INFORMIX_VALUE_CAPACITY, INFORMIX_VALUE_CAPACITY, [&](const RegValue& value) {
        if (EqualsIgnoreCase(value.name, "INFORMIXDIR"))
            texts->installDirectory = value.text;
        else if (EqualsIgnoreCase(value.name, "INFORMIXSERVER"))
            texts->serverName = value.text;
        else if (EqualsIgnoreCase(value.name, "ONCONFIG"))
            texts->configuration = value.text;
        return true;
    });
}

void ReadInformixVersion(RegistryKey& key, InformixTexts* texts) {
    ForEachValue(key, INFORMIX_VALUE_CAPACITY, INFORMIX_VALUE_CAPACITY, [&](const RegValue& value) {
        if (EqualsIgnoreCase(value.name, "Version"))
            texts->version = value.text;
        return true;
    });
}

std::unique_ptr<CDbServer> MakeInformixServer(InformixTexts* texts, const std::string& serviceName) {
    texts->configuration = texts->installDirectory + "\\etc\\" + texts->configuration;
    auto server = std::make_unique<CInformixServer>();
    server->SetServerName(texts->serverName.c_str());
    server->SetServiceName(serviceName.c_str());
    server->SetDollarServer(texts->installDirectory.c_str());
    server->SetServerVersion(texts->version.c_str());
    server->SetErrorlogName((texts->installDirectory + "\\online.log").c_str());
    server->SetConfigFile(texts->configuration.c_str());
    return server;
}

}  // namespace

// ---- records -------------------------------------------------------------------

COracleServer::COracleServer(const char* sid)
    : CDbServer(FAMILY_ORACLE), oracle_sid(sid ? sid : "") {}

void COracleServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_oracle : %s\n", dollar_server.c_str());
    fprintf(stream, "ORA_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "RDBMS Server");
    fprintf(stream, "initora_filename : %s\n", initora_filename.c_str());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CSybaseServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_sybase : %s\n", dollar_server.c_str());
    fprintf(stream, "syb_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CMsSqlServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_mssqlserver : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CInformixServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_server : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "Online");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "config_file : %s\n", config_file.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

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
            server_name = ValueAfterKey(line, "db_name", &value) ? TrimChars(value, " ", true, true) : "";
        }
        if (errorlog_name.empty() && Contains(line, "user_dump_dest")) {
            errorlog_name = ValueAfterKey(line, "user_dump_dest", &value)
                                ? TrimChars(value, " ", true, true) + "\\" + oracle_sid + "ALRT.LOG"
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

std::string ResolveParameterFile(const char* path) {
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
            printf("No change in initfile\n");
            continue;
        }
        printf("[DEB] filename[=%s]\n", value.c_str());
        result = TrimChars(value, "' ", true, true);
        printf("[DEB] filename2[%s]\n", result.c_str());
    }
    return result;
}

// ---- the server list -------------------------------------------------------------

CDbServerList::CDbServerList(tavplat::RegistryReader& registry, const char* name)
    : registry_(registry), name_(name ? name : "") {}

CDbServerList::~CDbServerList() {
    // The records of a family go in the reverse order of their filing.
    for (auto& sequence : servers_)
        while (!sequence.empty())
            sequence.pop_back();
}

CDbServer* CDbServerList::Add(std::unique_ptr<CDbServer> server, int family) {
    if (server == nullptr || !IsFamilySlot(family))
        return nullptr;
    servers_[family].push_back(std::move(server));
    return servers_[family].back().get();
}

int CDbServerList::GetCount(int family) const {
    return IsFamilySlot(family) ? static_cast<int>(servers_[family].size()) : 0;
}

CDbServer* CDbServerList::GetAt(int index, int family) const {
    if (index < 0 || index >= GetCount(family))
        return nullptr;
    return servers_[family][static_cast<size_t>(index)].get();
}

CDbServer* CDbServerList::FindByName(int family, const char* name) const {
    if (!IsFamilySlot(family) || name == nullptr)
        return nullptr;
    for (const auto& server : servers_[family]) {
        if (EqualsIgnoreCase(server->GetServerName(), name))
            return server.get();
    }
    return nullptr;
}

void CDbServerList::ReadInitFiles(int family) {
    // The count is read afresh each time round.
    for (int i = 0; i < GetCount(family); ++i)
        GetAt(i, family)->ReadInitFile();
}

// ---- discovery: Oracle ------------------------------------------------------------------

void CDbServerList::DiscoverOracle() {
    if (!registry_.OpenKey(ORACLE_KEY, KEY_QUERY))
        return;  // the key only shows that Oracle is installed; closed at once

    if (auto allHomes = registry_.OpenKey(ORACLE_ALL_HOMES_KEY, KEY_QUERY)) {
        int counter = 0;
        ForEachValue(*allHomes, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "HOME_COUNTER"))
                counter = DecimalNumber(value.text);
            return true;
        });
        allHomes.reset();
        // Every counter index names a home "HOME<n>"; homes of deleted
        // installations leave gaps, so the scan does not stop at a missing one.
        if (counter > 0) {
            const int homes = std::min(counter, NumberedHomeBound(registry_));
            for (int index = 0; index < homes; ++index)
                ScanOracleHome(("Software\\Oracle\\HOME" + std::to_string(index)).c_str());
        }
    }

    for (int k = 1; k <= 3; ++k) {
        const std::string path = ORACLE_10G_KEY + std::to_string(k);
        auto key = registry_.OpenKey(path.c_str(), KEY_QUERY);
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
        auto key = registry_.OpenKey(keyPath, KEY_QUERY);
        if (!key)
            return;
        ForEachValue(*key, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "ORACLE_SID")) {
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
        auto key = registry_.OpenKey(keyPath, KEY_QUERY);
        if (!key)
            return;
        ForEachValue(*key, ORACLE_NAME_CAPACITY, ORACLE_DATA_CAPACITY, [&](const RegValue& value) {
            std::string instance;
            if (EqualsIgnoreCase(value.name, "ORACLE_BASE")) {
                home.baseDirectory = value.text;
            } else if (EqualsIgnoreCase(value.name, "ORACLE_HOME")) {
                home.homeDirectory = value.text;
                home.homeFound = true;
            } else if (!is10g && EqualsIgnoreCase(value.name, home.pfileName.c_str())) {
                home.pfilePath = value.text;
                home.pfileFound = true;
                home.resolvedPfile = ResolveParameterFile(home.pfilePath.c_str());
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
        Add(std::move(server), FAMILY_ORACLE);
    }
}

// ---- discovery: Microsoft SQL Server -----------------------------------------------------

void CDbServerList::DiscoverMsSql() {
    std::vector<std::string> instances;
    if (auto key = registry_.OpenKey(MSSQL_INSTANCES_KEY, KEY_QUERY)) {
        ForEachValue(*key, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "InstalledInstances") && value.length > 0)
                instances = SplitInstanceNames(value.data, value.length);
            return true;
        });
    } else {
        instances.push_back(MSSQL_DEFAULT_INSTANCE);
    }

    const std::string computerName = EnvironmentText("COMPUTERNAME");
    bool success = true;
    std::string homeDirectory;
    std::string version;
    std::string clusterName;
    for (const std::string& instance : instances) {
        const bool isDefault = instance == MSSQL_DEFAULT_INSTANCE;
        const MsSqlKeys paths = MsSqlKeyPaths(instance);
        if (!isDefault) {
            if (auto cluster = registry_.OpenKey(paths.cluster.c_str(), KEY_QUERY)) {
                ForEachValue(*cluster, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
                    if (EqualsIgnoreCase(value.name, "ClusterName"))
                        clusterName = value.text;
                    return true;
                });
            } else {
                clusterName = computerName;
            }
        }

        auto setup = registry_.OpenKey(paths.setup.c_str(), KEY_QUERY);
        if (!setup) {
            success = false;
            continue;
        }
        if (!success)
            continue;
        ForEachValue(*setup, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "SQLPath"))
                homeDirectory = value.text;
            return true;
        });
        setup.reset();

        auto current = registry_.OpenKey(paths.version.c_str(), KEY_QUERY);
        if (!current) {
            success = false;
            continue;
        }
        ForEachValue(*current, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "CurrentVersion"))
                version = value.text;
            return true;
        });
        current.reset();

        auto parameters = registry_.OpenKey(paths.parameters.c_str(), KEY_QUERY);
        if (!parameters) {
            success = false;
            continue;
        }
        std::string errorLog;
        ForEachValue(*parameters, MSSQL_CAPACITY, MSSQL_CAPACITY, [&](const RegValue& value) {
            const std::string parameter = TrimWhiteSpace(value.text);
            if (parameter.compare(0, 2, "-e") == 0)
                errorLog = parameter.substr(2);
            return true;
        });
        parameters.reset();

        auto server = std::make_unique<CMsSqlServer>();
        server->SetServerName(isDefault ? computerName.c_str() : instance.c_str());
        server->SetServiceName("MSSQLServer");
        server->SetDollarServer(homeDirectory.c_str());
        server->SetServerVersion(version.c_str());
        server->SetErrorlogName(errorLog.c_str());
        server->SetClusterServer(isDefault ? computerName.c_str() : clusterName.c_str());
        Add(std::move(server), FAMILY_MSSQL);
    }
}

// ---- discovery: Sybase --------------------------------------------------------------------

void CDbServerList::DiscoverSybase() {
    std::string rootDirectory;
    std::string version;
    {
        auto product = registry_.OpenKey(SYBASE_PRODUCT_KEY, KEY_QUERY);
        if (!product)
            return;
        ForEachValue(*product, SYBASE_PRODUCT_CAPACITY, SYBASE_PRODUCT_CAPACITY, [&](const RegValue& value) {
            if (EqualsIgnoreCase(value.name, "RootDir"))
                rootDirectory = value.text;
            else if (EqualsIgnoreCase(value.name, "CurrentVersion"))
                version = value.text;
            return true;
        });
    }

    std::vector<std::string> servers;
    {
        auto serverKeys = registry_.OpenKey(SYBASE_SERVERS_KEY, KEY_ENUM_SUB_KEYS);
        if (!serverKeys)
            return;
        ForEachSubKey(*serverKeys, SYBASE_SERVER_NAME_CAPACITY, [&](const std::string& name) {
            const std::string path = std::string(SYBASE_SERVERS_KEY) + "\\" + name;
            std::string type;
            if (auto server = registry_.OpenKey(path.c_str(), KEY_QUERY)) {
                if (QueryText(*server, "ServerType", SYBASE_SERVER_TYPE_CAPACITY, &type) && type == "SQLServer")
                    servers.push_back(name);
            }
            return true;
        });
    }

    std::string serverArgument;
    std::string errorlogArgument;
    for (const std::string& name : servers) {
        const std::string path = std::string(SYBASE_SERVERS_KEY) + "\\" + name + "\\Parameters";
        auto parameters = registry_.OpenKey(path.c_str(), KEY_QUERY);
        if (!parameters)
            continue;
        ForEachValue(*parameters, SYBASE_PARAMETER_CAPACITY, SYBASE_PARAMETER_CAPACITY,
                     [&](const RegValue& value) {
                         if (EqualsIgnoreCase(value.name, "Arg1"))
                             serverArgument = ArgumentText(value);
                         else if (EqualsIgnoreCase(value.name, "Arg2"))
                             errorlogArgument = ArgumentText(value);
                         return true;
                     });
        auto server = std::make_unique<CSybaseServer>();
        server->SetServerName(serverArgument.c_str());
        server->SetServiceName(("Sybase SQLServer_" + serverArgument).c_str());
        server->SetDollarServer(rootDirectory.c_str());
        server->SetServerVersion(version.c_str());
        server->SetErrorlogName(errorlogArgument.c_str());
        Add(std::move(server), FAMILY_SYBASE);
    }
}

// ---- discovery: Informix -------------------------------------------------------------------

void CDbServerList::DiscoverInformix() {
    InformixTexts texts;
    texts.serverName = EnvironmentText("COMPUTERNAME");

    if (auto online = registry_.OpenKey(INFORMIX_ONLINE_KEY, KEY_ENUM_SUB_KEYS)) {
        // Only the first server key with an environment is used.
        ForEachSubKey(*online, INFORMIX_SUB_KEY_CAPACITY, [&](const std::string& name) {
            const std::string path = INFORMIX_ONLINE_KEY + name + "\\Environment";
            auto environment = registry_.OpenKey(path.c_str(), KEY_QUERY);
            if (!environment)
                return true;
            ReadInformixEnvironment(*environment, &texts);
            return false;
        });
        online.reset();
        if (auto setup = registry_.OpenKey(INFORMIX_SETUP_KEY, KEY_QUERY))
            ReadInformixVersion(*setup, &texts);
        Add(MakeInformixServer(&texts, "ol_" + texts.serverName), FAMILY_INFORMIX);
    }

    {
        auto environment = registry_.OpenKey(INFORMIX_CURRENT_ENVIRONMENT_KEY, KEY_QUERY);
        if (!environment)
            return;
        ReadInformixEnvironment(*environment, &texts);
    }
    auto setup = registry_.OpenKey(INFORMIX_CURRENT_SETUP_KEY, KEY_QUERY);
    if (!setup)
        return;
    ReadInformixVersion(*setup, &texts);
    setup.reset();
    Add(MakeInformixServer(&texts, "OnLine"), FAMILY_INFORMIX);
}
