// The install-parameter table: install parameters, the monitored set and the
// writers of the include, batch and agent configuration files.
#include "generate/tavixdcl.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "runtime/coll.h"
#include "setup/tavixext.h"

// ---- CMonitoredServer --------------------------------------------------------

void CMonitoredServer::AssignFromServer(const CDbServer& server) {
    server_family = server.GetServerFamily();
    server_name = server.GetServerName();
    service_name = server.GetServiceName();
    errorlog_name = server.GetErrorlogName();
    dollar_server = server.GetDollarServer();
    server_version = server.GetServerVersion();
    cluster_server = server.GetClusterServer();
    login.clear();
    password.clear();
}

// ---- construction ------------------------------------------------------------

// The common collector is written only where the driver decides for it; with
// 0 as the start an absent "tavcoll.exe" is never named in the agents' files.
CInstallParams::CInstallParams() : use_common_collector(0) {}

CInstallParams::~CInstallParams() {
    // The writers close what they open; a stream left open by an interrupted
    // caller must not leak. The setup log is CloseSetupLog's.
    CloseStream(ini_stream);
    CloseStream(batch_stream);
    CloseStream(include_stream);
    // The entries of a family go in the reverse order of their adding.
    for (auto& sequence : monitored_)
        while (!sequence.empty()) sequence.pop_back();
}

// ---- the monitored set ---------------------------------------------------------

static bool IsFamilySlot(int family) { return family >= 0 && family < FAMILY_SLOTS; }

CMonitoredServer* CInstallParams::AddMonitored(std::unique_ptr<CMonitoredServer> entry, int family) {
    if (!entry || !IsFamilySlot(family)) return nullptr;
    monitored_[family].push_back(std::move(entry));
    return monitored_[family].back().get();
}

void CInstallParams::RemoveMonitored(CMonitoredServer* entry, int family) {
    if (!entry || !IsFamilySlot(family)) return;
    auto& sequence = monitored_[family];
    auto found = std::find_if(sequence.rbegin(), sequence.rend(),
                              [entry](const auto& held) { return held.get() == entry; });
    if (found == sequence.rend()) return;
    sequence.erase(std::next(found).base());
}

CMonitoredServer* CInstallParams::FindMonitored(const CDbServer* server, int family) const {
    if (!server || !IsFamilySlot(family)) return nullptr;
    for (const auto& entry : monitored_[family]) {
        if (entry->GetServerName() == server->GetServerName() &&
            entry->GetServiceName() == server->GetServiceName() &&
            entry->GetErrorlogName() == server->GetErrorlogName() &&
            entry->GetDollarServer() == server->GetDollarServer() &&
            entry->GetServerVersion() == server->GetServerVersion())
            return entry.get();
    }
    return nullptr;
}

int CInstallParams::GetMonitoredCount(int family) const {
    if (!IsFamilySlot(family)) return 0;
    return static_cast<int>(monitored_[family].size());
}

CMonitoredServer* CInstallParams::GetMonitoredAt(int index, int family) const {
    if (!IsFamilySlot(family) || index < 0 || index >= GetMonitoredCount(family)) return nullptr;
    return monitored_[family][static_cast<size_t>(index)].get();
}

// ---- install parameters -------------------------------------------------------

namespace {

// An unset or empty variable leaves the parameter empty; coll_getenv reports it.
std::string ReadReportedVariable(const char* variable) {
    if (!variable) return std::string();
    char* value = coll_getenv(variable, COLL_ENV_REPORT, nullptr);
    std::string result = value ? value : "";
    free(value);
    return result;
}

// The maker's own installation directory wins over the environment.
std::string RegistryOrVariable(const std::string& registryPath, const char* variable) {
    if (!registryPath.empty()) return registryPath;
    return ReadReportedVariable(variable);
}

const char* TokenFor(int mode, const char* atToken, const char* percentToken) {
    return mode == PARAM_AT_TOKEN ? atToken : percentToken;
}

bool IsTokenMode(int mode) { return mode == PARAM_AT_TOKEN || mode == PARAM_PERCENT_TOKEN; }

}  // namespace

void CInstallParams::SetCellName(const char* variable) { cell_name = ReadReportedVariable(variable); }
void CInstallParams::SetEtcPath(const char* variable) { etc_path = RegistryOrVariable(EtcPath, variable); }
void CInstallParams::SetComputerName(const char* variable) { computer_name = ReadReportedVariable(variable); }
void CInstallParams::SetLogPath(const char* variable) { log_path = RegistryOrVariable(LogPath, variable); }
void CInstallParams::SetDllPath(const char* variable) { dll_path = RegistryOrVariable(DllPath, variable); }
void CInstallParams::SetBinPath(const char* variable) { bin_path = RegistryOrVariable(BinPath, variable); }
void CInstallParams::SetPortNumber(const char* variable) { port_number = ReadReportedVariable(variable); }

void CInstallParams::SetStored(const char* parameter, const char* value) {
    if (!parameter) return;
    std::string text = value ? value : "";
    const std::string name = parameter;
    if (name == "COMPUTERNAME") computer_name = text;
    else if (name == "CELLNAME") cell_name = text;
    else if (name == "PORTNUMBER") port_number = text;
    else if (name == "ETCPATH") etc_path = text;
    else if (name == "LOGPATH") log_path = text;
    else if (name == "BINPATH") bin_path = text;
    else if (name == "DLLPATH") dll_path = text;
}

std::string CInstallParams::GetEtcPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@ETCPATH@", "%ETCPATH%");
    if (mode == PARAM_RESOLVED && etc_path.empty()) return tavplat::CurrentDirectory();
    return etc_path;
}

std::string CInstallParams::GetLogPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@LOGPATH@", "%LOGPATH%");
    if (mode == PARAM_RESOLVED && log_path.empty()) return GetEtcPath(PARAM_RAW) + "\\log";
    return log_path;
}

std::string CInstallParams::GetPortNumber(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@PORTNUMBER@", "%PORTNUMBER%");
    if (mode == PARAM_RESOLVED && port_number.empty()) return "1999";
    return port_number;
}

std::string CInstallParams::GetBinPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@BINPATH@", "%BINPATH%");
    if (mode == PARAM_RESOLVED && bin_path.empty()) return GetEtcPath(PARAM_RESOLVED);
    return bin_path;
}

std::string CInstallParams::GetComputerName() const { return computer_name; }

// ---- output file preparation ----------------------------------------------------

void CInstallParams::CloseStream(FILE*& stream) {
    if (stream) fclose(stream);
    stream = nullptr;
}

void CInstallParams::RemoveOldFile(const char* path) {
    if (!path) return;
    // An existence check rather than an open for reading: it costs less per
    // file, and a file that exists but cannot be read is removed as well. A
    // file that cannot be deleted ends the loop; the opener's truncating open
    // then decides whether it can be replaced.
    while (tavplat::FileAccess(path, 0) == 0) {
        if (tavplat::RemoveFile(path) != 0) return;
    }
}

int CInstallParams::OpenOutputStream(FILE*& stream, const char* path, const char* mode) {
    CloseStream(stream);
    if (path) stream = tavplat::OpenFile(path, mode);
    if (stream) return 1;
    LogWrite(LOG_CONSOLE, "\nCan't open file '%s'\n", path ? path : "");
    return 0;
}

int CInstallParams::OpenIniFile(const char* path) { return OpenOutputStream(ini_stream, path, "w+"); }

int CInstallParams::OpenBatchFile(const char* path) { return OpenOutputStream(batch_stream, path, "w"); }

int CInstallParams::MakeParentDirectories(const char* path) {
    if (!path) return 0;
    std::string directory = path;
    const size_t lastSeparator = directory.rfind('\\');
    if (lastSeparator == std::string::npos) return 1;  // nothing above the file to create
    directory.resize(lastSeparator);

    // Each prefix ends in a backslash: C:\ then C:\a\ then C:\a\b\ for C:\a\b\f.ini.
    std::string prefix;
    size_t start = 0;
    for (;;) {
        const size_t separator = directory.find('\\', start);
        const bool lastPass = separator == std::string::npos;
        prefix.append(directory, start, lastPass ? std::string::npos : separator - start);
        prefix += '\\';
        errno = 0;
        if (tavplat::MakeDirectory(prefix.c_str()) != 0 && errno == ENOENT) {
            LogWrite(LOG_CONSOLE, "\nERROR: can't create '%s'\n", prefix.c_str());
            return 0;
        }
        if (lastPass) break;
        start = separator + 1;
        if (start >= directory.size()) break;
    }
    return 1;
}

int CInstallParams::PrepareOutputFile(const char* path, int (CInstallParams::*opener)(const char*)) {
    if (!path || !opener) return 0;
    RemoveOldFile(path);
    if ((this->*opener)(path)) return 1;
    if (!MakeParentDirectories(path)) return 0;
    return (this->*opener)(path);
}

// ---- rules shared by the writers --------------------------------------------------

namespace {

// Fixed texts of one product family's agent files.
struct AgentFamily {
    int family;
    const char* batch_prefix;   // batch file name before the server name
    const char* ini_prefix;     // configuration file name before the server name
    const char* product;        // TUO, TUS, TUM, TUI
    const char* header;         // the comment naming the initialization file
    const char* description;    // as in "Veltra <description> Monitoring Agent"
    const char* service_key;    // as in "SXA<key>Agent" and "for <key> Instance"
};

const AgentFamily AGENT_FAMILIES[] = {
    {FAMILY_ORACLE, "Oracle_", "TUOVMA_", "TUO",
     ";Quorvane SXA for Oracle  Product Initialization File", "Oracle", "Oracle"},
    {FAMILY_SYBASE, "Sybase_", "TUSVMA_", "TUS",
     ";Quorvane SXA for Sybase Product Initialization File", "Sybase", "Sybase"},
    {FAMILY_MSSQL, "MSMSQL_", "TUMVMA_", "TUM",
     ";Quorvane SXA for Microsoft SQL Server Product Initialization File", "MSSQL Server", "MSSQL"},
    {FAMILY_INFORMIX, "Informix_", "TUIVMA_", "TUI",
     ";Quorvane SXA for Informix  Product Initialization File", "Informix", "Informix"},
};

const AgentFamily& AgentFamilyOf(int family) {
    for (const AgentFamily& row : AGENT_FAMILIES)
        if (row.family == family) return row;
    return AGENT_FAMILIES[0];  // callers pass one of the four codes
}

const char* const COMMON_COLLECTOR = "TAV";

// Oracle version rule: 8.1.x runs the TU8 programs, 9.x the TU9 ones, the rest TUO.
const char* OracleVersionCode(const std::string& version) {
    if (version.compare(0, 3, "8.1") == 0) return "TU8";
    if (!version.empty() && version[0] == '9') return "TU9";
    return "TUO";
}

// The leading decimal number as atoi reads it, without atoi's overflow.
long LeadingNumber(const std::string& text) {
    long value = strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return value;
}

// Sybase OCS rule: from release 12 on the client library lies in OCS-12_<minor>.
std::string SybaseOcsDirectory(const std::string& home, const std::string& version) {
    if (LeadingNumber(version) < 12) return home;
    std::string minor;
    const size_t dot = version.find('.');
    if (dot == std::string::npos) minor = version.substr(0, 1);
    else if (dot + 1 < version.size()) minor = version.substr(dot + 1, 1);
    return home + "\\OCS-12_" + minor;
}

// Named-instance rule: the default instance carries the machine's name.
int IsNamedInstance(const std::string& serverName) {
    const char* machine = getenv("COMPUTERNAME");
    if (!machine) return 1;
    return coll_stricmp(serverName.c_str(), machine) == 0 ? 0 : 1;
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// A server name names files below the configuration directory; backslashes
// make subdirectories, but nothing may lead out of it.
bool StaysInConfigurationDirectory(const std::string& name) {
    if (!name.empty() && IsPathSeparator(name[0])) return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsPathSeparator(name[end])) ++end;
        if (name.compare(start, end - start, "..") == 0) return false;
        if (end >= name.size()) return true;
        start = end + 1;
    }
}

// The install parameters as the batch files carry them, read once per writer.
struct ResolvedParameters {
    std::string etc, port, bin, log, computer;
};

ResolvedParameters ResolveParameters(const CInstallParams& params) {
    return {params.GetEtcPath(PARAM_RESOLVED), params.GetPortNumber(PARAM_RESOLVED),
            params.GetBinPath(PARAM_RESOLVED), params.GetLogPath(PARAM_RESOLVED),
            params.GetComputerName()};
}

// ---- start-up batch lines ----
// One call per layout, one format line per line of the file: few calls keep
// the writer close to a plain write of the same bytes.

const char* CollectorFor(const CInstallParams& p, const char* ownCollector) {
    return p.use_common_collector == 1 ? COMMON_COLLECTOR : ownCollector;
}

void WriteOracleBatchLines(CInstallParams& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string home = e.GetDollarServer(), name = e.GetServerName();
    const char* version = OracleVersionCode(e.GetServerVersion());
    p.LogWrite(LOG_BATCH,
               "\n"
               "REM BATCH FOR STARTING UP TUO AGENT\n"
               "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
               "\n"
               "SET VELTRA_HOME=%s\n"
               "SET TNC_PORTS=(2 135 %s)\n"
               "SET ORACLE_HOME=%s\n"
               "SET ORACLE_SID=%s\n"
               "SET COLL_DBHOME=%s\n"
               "SET COLL_ERRORLOG=%s\n"
               "SET INST=%s\n"
               "SET COLL_LOGON=%s\n"
               "SET COLL_PASSWORD=%s\n"
               "SET COLL_BINPATH=%s\n"
               "\n"
               "REM DON'T MODIFY THE FOLLOWING\n"
               "\n"
               "SET COLL_SERVERID=%%INST%%\n"
               "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
               "SET COLL_PREFIX=TEMP\n"
               "SET COLL_USESHM=1\n"
               "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
               "SET COLL_HOME=%s\n"
               "SET COLL_VERSION=%s\n"
               "SET DELMA_PRODUCT=AFF_ALL_ORACLE\n"
               "SET PATH=%s\\bin;%%PATH%%\n"
               "\n"
               "REM START COLLECTOR and AGENT\n"
               "START /MIN %sCOLL -console \n"
               "START /MIN TUOAGENT -console -hkey \"TUO\\301\\%s\"\n",
               r.etc.c_str(), r.port.c_str(), home.c_str(), name.c_str(), home.c_str(),
               e.GetErrorlogName().c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
               r.bin.c_str(), r.log.c_str(), version, home.c_str(), CollectorFor(p, version), name.c_str());
}

void WriteSybaseBatchLines(CInstallParams& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName(), version = e.GetServerVersion();
    p.LogWrite(LOG_BATCH,
               "REM BATCH FOR STARTING UP TUS AGENT\n"
               "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
               "\n"
               "SET VELTRA_HOME=%s\n"
               "SET TNC_PORTS=(2 135 %s)\n"
               "SET INST=%s\n"
               "SET COLL_LOGON=%s\n"
               "SET COLL_PASSWORD=%s\n"
               "SET COLL_BINPATH=%s\n"
               "\n"
               "REM DON'T MODIFY THE FOLLOWING\n"
               "\n"
               "SET COLL_ERRORLOG=%s\n"
               "SET COLL_SERVERID=%%INST%%\n"
               "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
               "SET COLL_PREFIX=TEMP\n"
               "SET COLL_USESHM=1\n"
               "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
               "SET COLL_VERSION=TUS\n"
               "SET COLL_DBVERSION=%s\n"
               "SET SYBASE_OCS=%s\n"
               "SET COLL_HOME=%s\n"
               "SET DELMA_PRODUCT=AFF_ALL_SYBASE\n"
               "\n"
               "REM START COLLECTOR and AGENT\n"
               "START /MIN %sCOLL -console \n"
               "START /MIN TUSAGENT -console -hkey \"TUS\\301\\%s\"\n",
               r.etc.c_str(), r.port.c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
               r.bin.c_str(), e.GetErrorlogName().c_str(), version.c_str(),
               SybaseOcsDirectory(e.GetDollarServer(), version).c_str(), r.log.c_str(),
               CollectorFor(p, "TUS"), name.c_str());
}

void WriteMsSqlBatchLines(CInstallParams& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName();
    p.LogWrite(LOG_BATCH,
               "\n"
               "REM BATCH FOR STARTING UP TUM AGENT\n"
               "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
               "\n"
               "SET VELTRA_HOME=%s\n"
               "SET TNC_PORTS=(2 135 %s)\n"
               "SET MSSQL_HOME=%s\n"
               "SET COLL_ERRORLOG=%s\n"
               "SET INST=%s\n"
               "SET COLL_LOGON=%s\n"
               "SET COLL_PASSWORD=%s\n"
               "SET COLL_CLUSTERSERVER=%s\n"
               "SET COLL_BINPATH=%s\n"
               "\n"
               "REM DON'T MODIFY THE FOLLOWING\n"
               "\n"
               "SET COLL_SERVERID=%%INST%%\n"
               "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
               "SET COLL_PREFIX=TEMP\n"
               "SET COLL_USESHM=1\n"
               "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
               "SET COLL_HOME=%s\n"
               "SET COLL_VERSION=TUM\n"
               "SET TUM_NAMED_INSTANCE=%d\n"
               "\n"
               "REM START COLLECTOR and AGENT\n"
               "START /MIN %sCOLL -console \n"
               "START /MIN TUMAGENT -console -hkey \"TUM\\301\\%s\"\n",
               r.etc.c_str(), r.port.c_str(), e.GetDollarServer().c_str(), e.GetErrorlogName().c_str(),
               name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(), e.GetClusterServer().c_str(),
               r.bin.c_str(), r.log.c_str(), IsNamedInstance(name), CollectorFor(p, "TUM"), name.c_str());
}

void WriteInformixBatchLines(CInstallParams& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName();
    p.LogWrite(LOG_BATCH,
               "\n"
               "REM BATCH FOR STARTING UP TUI AGENT\n"
               "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
               "\n"
               "SET VELTRA_HOME=%s\n"
               "SET TNC_PORTS=(2 135 %s)\n"
               "SET INFORMIXDIR=%s\n"
               "SET INFORMIXSERVER=%s\n"
               "SET ONCONFIG=onconfig\n"
               "SET INFORMIXSQLHOSTS=\\\\%s\n"
               "SET COLL_ERRORLOG=%s\n"
               "SET INST=%s\n"
               "SET COLL_LOGON=%s\n"
               "SET COLL_PASSWORD=%s\n"
               "SET COLL_BINPATH=%s\n"
               "\n"
               "REM DON'T MODIFY THE FOLLOWING\n"
               "\n"
               "SET COLL_SERVERID=%%INST%%\n"
               "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
               "SET COLL_PREFIX=TEMP\n"
               "SET COLL_USESHM=1\n"
               "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
               "SET COLL_HOME=%s\n"
               "SET COLL_VERSION=TUI\n"
               "\n"
               "REM START COLLECTOR and AGENT\n"
               "START /MIN %sCOLL -console \n"
               "START /MIN TUIAGENT -console -hkey \"TUI\\301\\%s\"\n",
               r.etc.c_str(), r.port.c_str(), e.GetDollarServer().c_str(), name.c_str(), r.computer.c_str(),
               e.GetErrorlogName().c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
               r.bin.c_str(), r.log.c_str(), CollectorFor(p, "TUI"), name.c_str());
}

void WriteBatchLines(CInstallParams& p, int family, const CMonitoredServer& e,
                     const ResolvedParameters& r) {
    switch (family) {
    case FAMILY_ORACLE: WriteOracleBatchLines(p, e, r); break;
    case FAMILY_SYBASE: WriteSybaseBatchLines(p, e, r); break;
    case FAMILY_MSSQL: WriteMsSqlBatchLines(p, e, r); break;
    case FAMILY_INFORMIX: WriteInformixBatchLines(p, e, r); break;
    default: break;
    }
}

// ---- agent configuration lines ----

// Row E: the version lines.
void WriteIniVersionLines(CInstallParams& p, int family, const CMonitoredServer& e) {
    switch (family) {
    case FAMILY_ORACLE:
        p.LogWrite(LOG_INI, "COLL_VERSION=%s\n", OracleVersionCode(e.GetServerVersion()));
        break;
    case FAMILY_SYBASE:
        p.LogWrite(LOG_INI,
                   "COLL_VERSION=TUS\n"
                   "COLL_DBVERSION=%s\n"
                   "SYBASE_OCS=%s\n",
                   e.GetServerVersion().c_str(),
                   SybaseOcsDirectory(e.GetDollarServer(), e.GetServerVersion()).c_str());
        break;
    case FAMILY_MSSQL:
        p.LogWrite(LOG_INI,
                   "COLL_CLUSTERSERVER=%s\n"
                   "COLL_VERSION=TUM\n",
                   e.GetClusterServer().c_str());
        break;
    case FAMILY_INFORMIX:
        p.LogWrite(LOG_INI, "COLL_VERSION=TUI\n");
        break;
    default: break;
    }
}

// Row G: the database lines.
void WriteIniDatabaseLines(CInstallParams& p, int family, const CMonitoredServer& e) {
    const std::string home = e.GetDollarServer(), name = e.GetServerName();
    switch (family) {
    case FAMILY_ORACLE:
        p.LogWrite(LOG_INI,
                   "ORACLE_HOME=%s\n"
                   "ORACLE_SID=%s\n"
                   "COLL_DBHOME=%s\n"
                   "DELMA_PRODUCT=AFF_ALL_ORACLE\n",
                   home.c_str(), name.c_str(), home.c_str());
        break;
    case FAMILY_SYBASE:
        p.LogWrite(LOG_INI, "DELMA_PRODUCT=AFF_ALL_SYBASE\n");
        break;
    case FAMILY_MSSQL:
        p.LogWrite(LOG_INI, "MSSQL_HOME=%s\n", home.c_str());
        break;
    case FAMILY_INFORMIX:
        p.LogWrite(LOG_INI,
                   "INFORMIXDIR=%s\n"
                   "INFORMIXSERVER=%s\n"
                   "ONCONFIG=onconfig\n"
                   "INFORMIXSQLHOSTS=\\\\%s\n"
                   "DELMA_PRODUCT=AFF_ALL_INFORMIX\n",
                   home.c_str(), name.c_str(), p.GetComputerName().c_str());
        break;
    default: break;
    }
}

void WriteIniLines(CInstallParams& p, const AgentFamily& f, const CMonitoredServer& e, int index) {
    const std::string name = e.GetServerName();
    const std::string etcToken = p.GetEtcPath(PARAM_AT_TOKEN);
    const std::string binToken = p.GetBinPath(PARAM_AT_TOKEN);
    const char* ownCollector = f.family == FAMILY_ORACLE ? OracleVersionCode(e.GetServerVersion())
                                                         : f.product;
    p.LogWrite(LOG_INI,
               ";\n"
               "%s\n"
               ";Copyright (c) Veltra Corporation. All rights reserved.\n"
               ";\n"
               ";This file is generated from tavntsup program.\n"
               ";\n"
               "\n"
               "[Identity]\n"
               "VelProd=%s\n"
               "VelVers=301\n"
               "VelDesc=Veltra %s Monitoring Agent\n"
               "VelTask=%s\n"
               "TixDesc=%s Monitoring Agent\n"
               "TixVers=V301\n"
               "\n",
               f.header, f.product, f.description, name.c_str(), f.description);
    if (f.family == FAMILY_SYBASE)
        p.LogWrite(LOG_INI,
                   "VELTRA_HOME=%s\n"
                   "INSTANCENAME=%s\n",
                   etcToken.c_str(), name.c_str());
    else
        p.LogWrite(LOG_INI,
                   "INSTANCENAME=%s\n"
                   "VELTRA_HOME=%s\n",
                   name.c_str(), etcToken.c_str());
    p.LogWrite(LOG_INI,
               "\n"
               "[Local Settings]\n"
               "COLL_CTL_HOME=%s\n"
               "TNC_PORTS=(2 135 %s)\n"
               "TNC_FAMILIES=@Protocol@\n"
               "COLL_LOGON=%s\n"
               "COLL_PASSWORD=%s\n"
               "COLL_ERRORLOG=%s\n",
               etcToken.c_str(), p.GetPortNumber(PARAM_AT_TOKEN).c_str(), e.GetLogin().c_str(),
               e.GetPassword().c_str(), e.GetErrorlogName().c_str());
    WriteIniVersionLines(p, f.family, e);
    p.LogWrite(LOG_INI,
               "COLL_SERVERID=@INSTANCENAME@\n"
               "COLL_HOSTNAME=@COMPUTERNAME@\n"
               "%s\n"
               "COLL_USESHM=1\n"
               "COLL_BINPATH=%s\n"
               "COLL_HOME=%s\n",
               f.family == FAMILY_INFORMIX ? "COLL_PREFIX=\\TEMP" : "COLL_PREFIX=TEMP", binToken.c_str(),
               p.GetLogPath(PARAM_AT_TOKEN).c_str());
    WriteIniDatabaseLines(p, f.family, e);
    p.LogWrite(LOG_INI, "CONFIG_VERSION=2.0.0\n");
    if (f.family == FAMILY_MSSQL) p.LogWrite(LOG_INI, "TUM_NAMED_INSTANCE=%d\n", IsNamedInstance(name));
    p.LogWrite(LOG_INI,
               "\n"
               "[Services]\n"
               "Add=SXA%sAgent%d\n"
               "Add=SXA%sCollector%d\n"
               "\n"
               "[SXA%sAgent%d]\n"
               "Name=%sAGENT%d\n"
               "Label=Veltra Sentrix Agent for %s Instance %s\n"
               "Service=%sAGENT.EXE -Hkey \"@VelProd@\\@VelVers@\\@VelTask@\"\n"
               "Path=%s\n"
               "Start=Auto\n"
               "Action=NOStart\n"
               "\n"
               "[SXA%sCollector%d]\n"
               "Name=%sCOLL%d\n"
               "Label=Veltra Collector for %s Instance %s\n"
               "Service=%sCOLL.EXE -Hkey \"@VelProd@\\@VelVers@\\@VelTask@\"\n"
               "Path=%s\n"
               "Start=Auto\n"
               "Action=NOStart\n",
               f.service_key, index, f.service_key, index, f.service_key, index, f.product, index,
               f.service_key, name.c_str(), f.product, binToken.c_str(), f.service_key, index, f.product,
               index, f.service_key, name.c_str(), CollectorFor(p, ownCollector), binToken.c_str());
}

// Informix keeps its registry in step with the files; the program is its
// own, started directly (no command interpreter) and its result not used.
void RunRegcopy(const CMonitoredServer& entry) {
    const std::string home = entry.GetDollarServer();
    if (home.empty()) return;  // no installation to run it from
    const std::string program = home + "/bin/regcopy";
    tavplat::RunProgram(program.c_str());
}

std::string OutputPath(const std::string& directory, const char* prefix, const std::string& name,
                       const char* extension) {
    std::string path;
    path.reserve(directory.size() + name.size() + 24);
    path += directory;
    path += '\\';
    path += prefix;
    path += name;
    path += extension;
    return path;
}

}  // namespace

// ---- the test-settings copy appended to every configuration file ----------------

// The lines of "tavtset.ini", each ended by "\n", ready to be appended as
// they are: a "%" in them is text, not a format.
std::string CInstallParams::ReadLocalSettings() {
    std::string lines;
    FILE* file = tavplat::OpenFile("tavtset.ini", "rb");
    if (!file) return lines;
    std::string content;
    char block[8192];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0) content.append(block, got);
    fclose(file);

    lines.reserve(content.size() + 2);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        size_t lineEnd = end;
        if (lineEnd > start && content[lineEnd - 1] == '\r') --lineEnd;  // a CR LF line end
        // A line is text up to a NUL byte, as a line written with "%s" would be.
        if (const void* nul = memchr(content.data() + start, '\0', lineEnd - start))
            lineEnd = static_cast<size_t>(static_cast<const char*>(nul) - content.data());
        lines.append(content, start, lineEnd - start);
        lines += '\n';
        start = end + 1;
    }
    return lines;
}

// ---- the writers ---------------------------------------------------------------------

bool CInstallParams::RefuseUnsafeName(const std::string& name, const char* fileKind) {
    if (StaysInConfigurationDirectory(name)) return false;
    LogWrite(LOG_CONSOLE,
             "\nServer name '%s' leads out of the configuration directory: no %s file written for it\n",
             name.c_str(), fileKind);
    return true;
}

void CInstallParams::WriteBatchFiles(int family, int count) {
    const AgentFamily& f = AgentFamilyOf(family);
    const ResolvedParameters resolved = ResolveParameters(*this);
    for (int i = 0; i < count; ++i) {
        const CMonitoredServer* entry = GetMonitoredAt(i, family);
        if (!entry) continue;
        const std::string name = entry->GetServerName();
        if (RefuseUnsafeName(name, "batch")) continue;
        const std::string path = OutputPath(resolved.etc, f.batch_prefix, name, ".bat");
        if (!PrepareOutputFile(path.c_str(), &CInstallParams::OpenBatchFile)) return;
        WriteBatchLines(*this, family, *entry, resolved);
        CloseStream(batch_stream);
        LogWrite(LOG_CONSOLE, "Finished generating %s file\n", path.c_str());
        if (family == FAMILY_INFORMIX) RunRegcopy(*entry);
    }
}

void CInstallParams::WriteIniFiles(int family, int count) {
    const AgentFamily& f = AgentFamilyOf(family);
    const std::string etc = GetEtcPath(PARAM_RESOLVED);
    // The test settings are read once: per generation, or per call when a
    // writer runs on its own.
    std::string ownSettings;
    const std::string* settings = generation_settings_;
    bool settingsRead = settings != nullptr;
    for (int i = 0; i < count; ++i) {
        const CMonitoredServer* entry = GetMonitoredAt(i, family);
        if (!entry) continue;
        const std::string name = entry->GetServerName();
        if (RefuseUnsafeName(name, "agent configuration")) continue;
        const std::string path = OutputPath(etc, f.ini_prefix, name, ".ini");
        if (!PrepareOutputFile(path.c_str(), &CInstallParams::OpenIniFile)) return;
        if (!settingsRead) {
            ownSettings = ReadLocalSettings();
            settings = &ownSettings;
            settingsRead = true;
        }
        LogWrite(LOG_INCLUDE, "Add=%s\n", path.c_str());
        WriteIniLines(*this, f, *entry, i);
        LogWrite(LOG_INI, "%s", settings->c_str());
        CloseStream(ini_stream);
        LogWrite(LOG_CONSOLE, "Finished generating %s file\n", path.c_str());
        if (family == FAMILY_INFORMIX) RunRegcopy(*entry);
    }
}

void CInstallParams::WriteOracleBatch(int count) { WriteBatchFiles(FAMILY_ORACLE, count); }
void CInstallParams::WriteSybaseBatch(int count) { WriteBatchFiles(FAMILY_SYBASE, count); }
void CInstallParams::WriteMsSqlBatch(int count) { WriteBatchFiles(FAMILY_MSSQL, count); }
void CInstallParams::WriteInformixBatch(int count) { WriteBatchFiles(FAMILY_INFORMIX, count); }
void CInstallParams::WriteOracleIni(int count) { WriteIniFiles(FAMILY_ORACLE, count); }
void CInstallParams::WriteSybaseIni(int count) { WriteIniFiles(FAMILY_SYBASE, count); }
void CInstallParams::WriteMsSqlIni(int count) { WriteIniFiles(FAMILY_MSSQL, count); }
void CInstallParams::WriteInformixIni(int count) { WriteIniFiles(FAMILY_INFORMIX, count); }

// ---- the generation driver --------------------------------------------------------

namespace {

struct IncludeRow {
    int family;
    const char* include_name;
    int exit_code;  // when the include file cannot be opened
    void (CInstallParams::*write_batch)(int);
    void (CInstallParams::*write_ini)(int);
};

const IncludeRow INCLUDE_ROWS[] = {
    {FAMILY_ORACLE, "tuoinc.ini", 100, &CInstallParams::WriteOracleBatch, &CInstallParams::WriteOracleIni},
    {FAMILY_SYBASE, "tusinc.ini", 110, &CInstallParams::WriteSybaseBatch, &CInstallParams::WriteSybaseIni},
    {FAMILY_MSSQL, "tuminc.ini", 110, &CInstallParams::WriteMsSqlBatch, &CInstallParams::WriteMsSqlIni},
    {FAMILY_INFORMIX, "tuiinc.ini", 110, &CInstallParams::WriteInformixBatch,
     &CInstallParams::WriteInformixIni},
};

const IncludeRow* IncludeRowOf(int family) {
    for (const IncludeRow& row : INCLUDE_ROWS)
        if (row.family == family) return &row;
    return nullptr;
}

}  // namespace

void CInstallParams::ChooseCollector() {
    const std::string commonCollector = GetBinPath(PARAM_RESOLVED) + "\\tavcoll.exe";
    if (tavplat::FileAccess(commonCollector.c_str(), 0) == 0) use_common_collector = 0;
}

void CInstallParams::WriteFamilyFiles(int family, int count) {
    const IncludeRow* row = IncludeRowOf(family);
    if (!row) return;
    const std::string includePath = GetEtcPath(PARAM_RESOLVED) + "\\" + row->include_name;
    RemoveOldFile(includePath.c_str());
    // Truncating: an old include file that could not be removed must not keep its lines.
    CloseStream(include_stream);
    include_stream = tavplat::OpenFile(includePath.c_str(), "w");
    if (!include_stream) {
        LogWrite(LOG_CONSOLE, "Can't open '%s' for write\n", includePath.c_str());
        exit(row->exit_code);
    }
    LogWrite(LOG_INCLUDE, "\n");
    LogWrite(LOG_INCLUDE, "[Include]\n");
    (this->*row->write_batch)(count);
    (this->*row->write_ini)(count);
    CloseStream(include_stream);
}

void CInstallParams::GenerateConfiguration() {
    ChooseCollector();
    const std::string settings = ReadLocalSettings();
    generation_settings_ = &settings;
    for (int family = 0; family < FAMILY_SLOTS; ++family) {
        const int count = GetMonitoredCount(family);
        if (count == 0) continue;
        if (!IncludeRowOf(family)) break;  // no files for an unknown family, nor for the ones after it
        WriteFamilyFiles(family, count);
    }
    generation_settings_ = nullptr;
}
