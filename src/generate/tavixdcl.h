// The install-parameter table of a setup run: the install parameters, the
// setup log and the generation's output streams, and the monitored set.
#ifndef TAV_GENERATE_TAVIXDCL_H
#define TAV_GENERATE_TAVIXDCL_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "discovery/tavdisc.h"

// Read modes of the install parameters.
constexpr int PARAM_RAW = 0;
constexpr int PARAM_RESOLVED = 1;
constexpr int PARAM_AT_TOKEN = 2;
constexpr int PARAM_PERCENT_TOKEN = 3;

// Destinations of LogWrite.
constexpr int LOG_CONSOLE = 1;
constexpr int LOG_INI = 2;
constexpr int LOG_INCLUDE = 3;
constexpr int LOG_BATCH = 22;

class CMonitoredServer {
public:
    CMonitoredServer() = default;
    virtual ~CMonitoredServer() = default;

    void AssignFromServer(const CDbServer& server);

    int GetServerFamily() const { return server_family; }
    std::string GetServerName() const { return server_name; }
    std::string GetServiceName() const { return service_name; }
    std::string GetErrorlogName() const { return errorlog_name; }
    std::string GetDollarServer() const { return dollar_server; }
    std::string GetServerVersion() const { return server_version; }
    std::string GetLogin() const { return login; }
    std::string GetPassword() const { return password; }
    std::string GetClusterServer() const { return cluster_server; }
    void SetServerName(const char* text) { server_name = text ? text : ""; }
    void SetServiceName(const char* text) { service_name = text ? text : ""; }
    void SetErrorlogName(const char* text) { errorlog_name = text ? text : ""; }
    void SetDollarServer(const char* text) { dollar_server = text ? text : ""; }
    void SetServerVersion(const char* text) { server_version = text ? text : ""; }
    void SetLogin(const char* text) { login = text ? text : ""; }
    void SetPassword(const char* text) { password = text ? text : ""; }
    void SetClusterServer(const char* text) { cluster_server = text ? text : ""; }

private:
    int server_family = FAMILY_NEW;
    std::string server_name;
    std::string service_name;
    std::string errorlog_name;
    std::string dollar_server;
    std::string server_version;
    std::string login;
    std::string password;
    std::string cluster_server;
};

class CInstallParams {
public:
    CInstallParams();
    virtual ~CInstallParams();
    CInstallParams(const CInstallParams&) = delete;
    CInstallParams& operator=(const CInstallParams&) = delete;

    // Filling the parameters; each takes its environment variable's name.
    void SetCellName(const char* variable);
    void SetEtcPath(const char* variable);
    void SetComputerName(const char* variable);
    void SetLogPath(const char* variable);
    void SetDllPath(const char* variable);
    void SetBinPath(const char* variable);
    void SetPortNumber(const char* variable);

    // Reading them.
    std::string GetEtcPath(int mode) const;
    std::string GetLogPath(int mode) const;
    std::string GetPortNumber(int mode) const;
    std::string GetBinPath(int mode) const;
    std::string GetComputerName() const;

    // The monitored set.
    // The set owns its entries. AddMonitored returns the entry, or null when
    // family is not one of the set's slots (the entry is released then);
    // RemoveMonitored releases the entry.
    CMonitoredServer* AddMonitored(std::unique_ptr<CMonitoredServer> entry, int family);
    void RemoveMonitored(CMonitoredServer* entry, int family);
    CMonitoredServer* FindMonitored(const CDbServer* server, int family) const;
    int GetMonitoredCount(int family) const;
    CMonitoredServer* GetMonitoredAt(int index, int family) const;

    // The setup log and the formatted writer (tavixlog).
    int OpenSetupLog(const char* fileName);
    void CloseSetupLog();
    void LogStamped(const char* text);
    void LogWrite(int destination, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;
    const std::string& GetLogName() const { return log_name; }

    // Generation (tavixdcl).
    void GenerateConfiguration();
    void RemoveOldFile(const char* path);
    int OpenIniFile(const char* path);
    int OpenBatchFile(const char* path);
    int MakeParentDirectories(const char* path);
    int PrepareOutputFile(const char* path, int (CInstallParams::*opener)(const char*));

    void WriteOracleBatch(int count);
    void WriteSybaseBatch(int count);
    void WriteMsSqlBatch(int count);
    void WriteInformixBatch(int count);
    void WriteOracleIni(int count);
    void WriteSybaseIni(int count);
    void WriteMsSqlIni(int count);
    void WriteInformixIni(int count);

    int use_common_collector;

    // Direct field access for tests and the generation.
    void SetStored(const char* parameter, const char* value);  // "ETCPATH", "PORTNUMBER", ...

private:
    friend class CInstallParamsAccess;

    std::string computer_name;
    std::string cell_name;
    std::string port_number;
    std::string etc_path;
    std::string log_path;
    std::string bin_path;
    std::string dll_path;
    std::string log_name;
    FILE* log_stream = nullptr;
    FILE* ini_stream = nullptr;
    FILE* batch_stream = nullptr;
    FILE* include_stream = nullptr;
    std::vector<std::unique_ptr<CMonitoredServer>> monitored_[FAMILY_SLOTS];

    // Generation helpers (tavixdcl).
    // The lines of "tavtset.ini", read once by GenerateConfiguration; null outside it.
    const std::string* generation_settings_ = nullptr;
    static void CloseStream(FILE*& stream);
    int OpenOutputStream(FILE*& stream, const char* path, const char* mode);
    static std::string ReadLocalSettings();
    bool RefuseUnsafeName(const std::string& name, const char* fileKind);
    void WriteBatchFiles(int family, int count);
    void WriteIniFiles(int family, int count);
    void ChooseCollector();
    void WriteFamilyFiles(int family, int count);
};

#endif
