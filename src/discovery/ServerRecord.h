// The records of database servers: the fields a discovered server and a
// monitored entry share, and one record class per family.
#ifndef TAV_DISCOVERY_SERVERRECORD_H
#define TAV_DISCOVERY_SERVERRECORD_H

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "discovery/Family.h"
#include "platform/ServiceManager.h"

// How discovery came to a server: its own registry keys, or a service that
// runs a discovered home's program.
enum class FoundBy { Registry, Service };

constexpr const char* FoundByName(FoundBy how) {
    return how == FoundBy::Service ? "service" : "registry";
}

// A server's service as the machine's service manager describes it.
struct ServerService {
    std::string name;
    tavplat::ServiceStatus status;
};

// What a server record and a monitored entry both hold: the family and the
// texts that describe one database server.
class CServerFields {
public:
    virtual ~CServerFields() = default;

    Family GetServerFamily() const { return server_family; }
    std::string GetServerName() const { return server_name; }
    std::string GetServiceName() const { return service_name; }
    std::string GetErrorlogName() const { return errorlog_name; }
    std::string GetDollarServer() const { return dollar_server; }
    std::string GetServerVersion() const { return server_version; }
    std::string GetClusterServer() const { return cluster_server; }
    void SetServerName(const char* text) { Change(server_name, text, true); }
    void SetServiceName(const char* text) { Change(service_name, text, false); }
    void SetErrorlogName(const char* text) { Change(errorlog_name, text, false); }
    void SetDollarServer(const char* text) { Change(dollar_server, text, false); }
    void SetServerVersion(const char* text) { Change(server_version, text, false); }
    void SetClusterServer(const char* text) { cluster_server = text ? text : ""; }

protected:
    explicit CServerFields(Family family) : server_family(family) {}

    // Whoever files records by their describing texts (the five above) hears
    // of a change here; name says whether the server name was the one.
    virtual void TextsChanged(bool /*name*/) {}

    Family server_family;
    std::string server_name;
    std::string service_name;
    std::string errorlog_name;
    std::string dollar_server;
    std::string server_version;
    std::string cluster_server;

private:
    void Change(std::string& field, const char* text, bool name) {
        field = text ? text : "";
        TextsChanged(name);
    }
};

// One text field of a record, by the record's own name for it.
struct RecordField {
    const char* name;
    std::string text;
};

// A server that discovery found.
class CDbServer : public CServerFields {
public:
    virtual void Dump(FILE* stream) = 0;
    // The kind of server, as Dump names it.
    virtual const char* GetServerType() const = 0;
    // Every text field, the family's own ones last; not the flag or the view.
    virtual std::vector<RecordField> GetTextFields() const;
    bool HasSameTexts(const CDbServer& other) const;

    int GetIsServerValid() const { return is_server_valid; }
    void SetIsServerValid(int valid) { is_server_valid = valid; }
    // The registry view the record was read from: "64", or "32" for the
    // 32-bit view of a 64-bit machine.
    std::string GetRegistryView() const { return registry_view; }
    void SetRegistryView(const char* text) { registry_view = text ? text : ""; }

    FoundBy GetFoundBy() const { return found_by; }
    void SetFoundBy(FoundBy how) { found_by = how; }
    // The server's service; none when the machine has no service of its name.
    const std::optional<ServerService>& GetService() const { return service; }
    void SetService(std::optional<ServerService> found) { service = std::move(found); }
    // What the family's service names are made of: the server name, unless
    // the family names its services otherwise.
    virtual std::string GetServiceKey() const { return server_name; }

protected:
    explicit CDbServer(Family family) : CServerFields(family) {}

    int is_server_valid = 1;
    std::string registry_view = "64";
    FoundBy found_by = FoundBy::Registry;
    std::optional<ServerService> service;

private:
    friend class CDbServerList;
    void TextsChanged(bool name) override {
        if (name && filing_.stale_index)
            *filing_.stale_index = true;
    }

    // The index flag of the list that filed the record. A copy is not filed,
    // and a record assigned to stays filed where it was.
    struct Filing {
        bool* stale_index = nullptr;
        Filing() = default;
        Filing(const Filing&) {}
        Filing& operator=(const Filing&) { return *this; }
    };
    Filing filing_;
};

class COracleServer : public CDbServer {
public:
    explicit COracleServer(const char* sid);
    // Fills an empty name and error log from the instance's parameter file,
    // and marks the record not valid when it still has no name.
    void ReadInitFile();
    void Dump(FILE* stream) override;
    const char* GetServerType() const override { return "RDBMS Server"; }
    std::vector<RecordField> GetTextFields() const override;

    std::string GetServiceKey() const override { return oracle_sid; }

    std::string GetOracleSid() const { return oracle_sid; }
    std::string GetInitoraFilename() const { return initora_filename; }
    void SetOracleSid(const char* text) { oracle_sid = text ? text : ""; }
    void SetInitoraFilename(const char* text) { initora_filename = text ? text : ""; }

private:
    std::string oracle_sid;
    std::string initora_filename;
};

class CSybaseServer : public CDbServer {
public:
    CSybaseServer() : CDbServer(Family::Sybase) {}
    void Dump(FILE* stream) override;
    const char* GetServerType() const override { return "SQL Server"; }
};

class CMsSqlServer : public CDbServer {
public:
    CMsSqlServer() : CDbServer(Family::MsSql) {}
    void Dump(FILE* stream) override;
    const char* GetServerType() const override { return "SQL Server"; }
    // Services are named after the instance: "MSSQLSERVER" for the default one.
    std::string GetServiceKey() const override { return instance_name; }

    std::string GetInstanceName() const { return instance_name; }
    void SetInstanceName(const char* text) { instance_name = text ? text : ""; }
    // The TCP port the instance listens on; none when the registry names none.
    std::optional<int> GetTcpPort() const { return tcp_port; }
    void SetTcpPort(std::optional<int> port) { tcp_port = port; }

private:
    std::string instance_name;
    std::optional<int> tcp_port;
};

class CInformixServer : public CDbServer {
public:
    CInformixServer() : CDbServer(Family::Informix) {}
    void Dump(FILE* stream) override;
    const char* GetServerType() const override { return "Online"; }
    std::vector<RecordField> GetTextFields() const override;

    std::string GetConfigFile() const { return config_file; }
    void SetConfigFile(const char* text) { config_file = text ? text : ""; }

private:
    std::string config_file;
};

#endif
