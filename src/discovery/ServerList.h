// Database server records and the server list that discovery fills.
#ifndef TAV_DISCOVERY_SERVERLIST_H
#define TAV_DISCOVERY_SERVERLIST_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "discovery/Family.h"
#include "report/Report.h"

namespace tavplat { class RegistryReader; class RegistryKey; }


// The family a product keyword of the parameter string names ("ora", "oracle",
// "tuo", "syb", ... in lower case); Family::None for none.
Family FamilyOfProduct(const char* keyword);

// The keyword that reports name a family by ("oracle", "sybase", "mssql",
// "informix") and the family's name as people read it ("Microsoft SQL
// Server"); null for a code that names no family.
const char* FamilyKeyword(Family family);
const char* FamilyTitle(Family family);

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
    void SetServerName(const char* text) { server_name = text ? text : ""; }
    void SetServiceName(const char* text) { service_name = text ? text : ""; }
    void SetErrorlogName(const char* text) { errorlog_name = text ? text : ""; }
    void SetDollarServer(const char* text) { dollar_server = text ? text : ""; }
    void SetServerVersion(const char* text) { server_version = text ? text : ""; }
    void SetClusterServer(const char* text) { cluster_server = text ? text : ""; }

protected:
    explicit CServerFields(Family family) : server_family(family) {}

    Family server_family;
    std::string server_name;
    std::string service_name;
    std::string errorlog_name;
    std::string dollar_server;
    std::string server_version;
    std::string cluster_server;
};

// One text field of a record, by the record's own name for it.
struct RecordField {
    const char* name;
    std::string text;
};

// A server that discovery found.
class CDbServer : public CServerFields {
public:
    virtual void ReadInitFile() {}
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

protected:
    explicit CDbServer(Family family) : CServerFields(family) {}

    int is_server_valid = 1;
    std::string registry_view = "64";
};

class COracleServer : public CDbServer {
public:
    explicit COracleServer(const char* sid);
    void ReadInitFile() override;
    void Dump(FILE* stream) override;
    const char* GetServerType() const override { return "RDBMS Server"; }
    std::vector<RecordField> GetTextFields() const override;

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

// The parameter file that holds an Oracle instance's parameters: the file
// itself, or the one its last parameter line names through IFILE. The IFILE
// lines it meets are told on the report's console.
std::string ResolveParameterFile(const char* path, CReport& report);

// The working lines of a parameter file as both of its readers see them
// (comment and empty lines left out); false when the file cannot be opened.
bool ReadParameterFileLines(const char* path, std::vector<std::string>* lines);

class CDbServerList {
public:
    // Discovery reads the given registry; the list does not own it.
    explicit CDbServerList(tavplat::RegistryReader& registry, const char* name = "");
    virtual ~CDbServerList();
    CDbServerList(const CDbServerList&) = delete;
    CDbServerList& operator=(const CDbServerList&) = delete;

    // Files the record under family; the list owns it. Returns the record,
    // or null when family is not one of the list's slots (the record is released).
    CDbServer* Add(std::unique_ptr<CDbServer> server, Family family);
    int GetCount(Family family) const;
    CDbServer* GetAt(int index, Family family) const;
    CDbServer* FindByName(Family family, const char* name) const;
    void ReadInitFiles(Family family);
    // Where discovery tells what it meets on the way (standard output unless set).
    void SetReport(CReport& report) { report_ = &report; }

    // The discovery of one family as a setup run makes it: for Oracle the
    // instances' parameter files are read afterwards. False for a code that
    // names no family.
    bool DiscoverFamily(Family family);

    // Each family's discovery reads every view of the registry, the 64-bit
    // view first, in passes of their own: nothing found in one view carries
    // into the other. A record of a later view whose texts all equal those of
    // a record of an earlier view is left out (a key both views share).
    void DiscoverOracle();
    void DiscoverMsSql();
    void DiscoverSybase();
    void DiscoverInformix();

    // One home key, in the view being read (the machine's own view outside a discovery).
    void ScanOracleHome(const char* keyPath);
    void ScanOracle10gHome(const char* keyPath);

private:
    // One view's pass of each family.
    void OracleViewPass();
    void MsSqlViewPass();
    void SybaseViewPass();
    void InformixViewPass();
    void ForEachView(Family family, void (CDbServerList::*pass)());
    // Opens a key in the view being read.
    std::unique_ptr<tavplat::RegistryKey> Open(const char* path, unsigned access);
    // Files a record of the view being read, unless an earlier view gave it.
    void AddFound(std::unique_ptr<CDbServer> server, Family family);
    void ScanHome(const char* keyPath, bool is10g);

    tavplat::RegistryReader& registry_;
    unsigned view_access_ = 0;      // the view flag added to every open
    const char* view_name_ = "64";
    int run_start_ = 0;             // the family's first record of this discovery
    int pass_start_ = 0;            // and of the view being read
    std::string name_;
    CReport* report_ = &StandardReport();
    std::vector<std::unique_ptr<CDbServer>> servers_[FAMILY_SLOTS];
};

#endif
