// Server records, the server list, the parameter-file readers and discovery.
// tests/scripts/native-discover-golden.sh checks every fixture's records; the
// cases here are what its golden files do not show.
#include "discovery/Discovery.h"
#include "discovery/OracleParameterFile.h"
#include "discovery/ServiceNaming.h"
#include "machine/MachineServices.h"
#include "generate/FamilyTable.h"
#include "registry/MemoryRegistry.h"
#include "platform/RegistryReader.h"
#include "machine/InstallPaths.h"
#include "TestSupport.h"

#include <map>
#include <set>

namespace {

using tavreg::MemoryRegistry;
using Texts = std::vector<std::string>;
using namespace std::string_literals;  // "a\0b"s keeps its NULs

// Passes every call through and keeps account of the keys left open and of
// the buffer sizes each kind of call was given.
class AuditedRegistry : public tavplat::RegistryReader {
public:
    explicit AuditedRegistry(tavplat::RegistryReader& inner) : inner_(inner) {}
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        ++opens;
        auto key = inner_.OpenKey(path, access, error);
        return key ? std::make_unique<Key>(std::move(key), this) : nullptr;
    }
    bool HasTwoViews() override { return inner_.HasTwoViews(); }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override {
        return inner_.ConnectRemote(machine, error);
    }
    int live = 0;
    int opens = 0;
    std::set<std::string> sizes;  // "value 256/256", "key 100", "query 100"

private:
    class Key : public tavplat::RegistryKey {
    public:
        Key(std::unique_ptr<tavplat::RegistryKey> inner, AuditedRegistry* audit) : inner_(std::move(inner)), audit_(audit) {
            ++audit_->live;
        }
        ~Key() override { --audit_->live; }
        long EnumValue(uint32_t index, char* name, uint32_t* nameLength, unsigned char* data, uint32_t* dataLength) override {
            audit_->sizes.insert("value " + std::to_string(*nameLength) + "/" + std::to_string(*dataLength));
            return inner_->EnumValue(index, name, nameLength, data, dataLength);
        }
        long EnumKey(uint32_t index, char* name, uint32_t* nameLength) override {
            audit_->sizes.insert("key " + std::to_string(*nameLength));
            return inner_->EnumKey(index, name, nameLength);
        }
        long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) override {
            audit_->sizes.insert("query " + std::to_string(*dataLength));
            return inner_->QueryValue(name, data, dataLength);
        }
        std::unique_ptr<tavplat::RegistryKey> inner_;
        AuditedRegistry* audit_;
    };
    tavplat::RegistryReader& inner_;
};

// Discovery as a setup run makes it (what parameter files print is dropped):
// each record as "name@view", and its cluster name when it has one.
Texts Discover(tavplat::RegistryReader& registry, Family family) {
    CDbServerList list;
    CReport report;
    testing::internal::CaptureStdout();
    FamilyRowOf(family)->discover(list, registry, report);
    testing::internal::GetCapturedStdout();
    Texts records;
    for (int i = 0; i < list.GetCount(family); ++i) {
        const CDbServer& server = *list.GetAt(i, family);
        const std::string cluster = server.GetClusterServer();
        records.push_back(server.GetServerName() + "@" + server.GetRegistryView() + (cluster.empty() ? "" : " " + cluster));
    }
    return records;
}

}  // namespace

// Names fold in ASCII letters only and the first filed of a name wins, each
// family apart; the index by name follows records filed after a look-up and
// records renamed after their filing.
TEST(ServerList, FindByNameFoldsAsciiLettersAndFollowsLaterFilingsAndRenames) {
    CDbServerList list;
    auto file = [&](Family family, const char* name) {
        CDbServer* server = list.Add(std::make_unique<CSybaseServer>(), family);
        server->SetServerName(name);
        return server;
    };
    CDbServer* first = file(Family::MsSql, "Sales");
    EXPECT_EQ(first, list.FindByName(Family::MsSql, "SALES"));
    CDbServer* second = file(Family::MsSql, "sales");
    CDbServer* other = file(Family::Sybase, "SALES");
    CDbServer* accented = file(Family::MsSql, "M\xc4NNER[1");
    const std::pair<const char*, CDbServer*> LOOKUPS[] = {{"sAlEs", first}, {"SALE", nullptr},
        {"m\xc4nner[1", accented}, {"m\xe4nner[1", nullptr}, {"M\xc4NNER{1", nullptr}};
    for (const auto& [name, found] : LOOKUPS) EXPECT_EQ(found, list.FindByName(Family::MsSql, name)) << name;
    EXPECT_EQ(other, list.FindByName(Family::Sybase, "sales"));
    EXPECT_EQ(nullptr, list.GetAt(3, Family::MsSql));
    // No such slot: the record is released.
    EXPECT_EQ(nullptr, list.Add(std::make_unique<CSybaseServer>(), FamilyAtSlot(FAMILY_SLOTS)));
    first->SetServerName("North");
    EXPECT_EQ(second, list.FindByName(Family::MsSql, "Sales"));
    EXPECT_EQ(first, list.FindByName(Family::MsSql, "NORTH"));
    second->SetServerName("north");
    EXPECT_EQ(first, list.FindByName(Family::MsSql, "north"));
    EXPECT_EQ(nullptr, list.FindByName(Family::MsSql, "sales"));
    first->SetServerName("");
    EXPECT_EQ(second, list.FindByName(Family::MsSql, "North"));
    EXPECT_EQ(first, list.FindByName(Family::MsSql, ""));
    EXPECT_EQ(other, list.FindByName(Family::Sybase, "Sales"));
}

// A home key scanned on its own is read in the machine's view, and its
// records are filed as they come, twins included; no parameter file is read.
TEST(Discovery, OracleHomeScannedOnItsOwn) {
    MemoryRegistry machine;
    for (auto [name, value] : {std::pair{"ORACLE_HOME", "C:\\ora92"}, {"ORACLE_SID", "ORCL"},
                               {"ORA_ORCL_AUTOSTART", "TRUE"}, {"ORA_ORCL_PFILE", "C:\\absent\\init.ora"}})
        machine.SetString("Software\\ORACLE\\HOME0", name, value);
    CDbServerList list;
    CReport report;
    testing::internal::CaptureStdout();
    ScanOracleHome(list, machine, "Software\\Oracle\\HOME0", report);
    ScanOracleHome(list, machine, "Software\\Oracle\\HOME0", report);
    ScanOracle10gHome(list, machine, "Software\\Oracle\\HOME0", report);
    testing::internal::GetCapturedStdout();
    Texts records;
    for (int i = 0; i < list.GetCount(Family::Oracle); ++i) {
        const auto& server = static_cast<const COracleServer&>(*list.GetAt(i, Family::Oracle));
        records.push_back(server.GetServerName() + "@" + server.GetRegistryView() + " " +
                          server.GetServerVersion() + " " + server.GetInitoraFilename() + " " +
                          std::to_string(server.GetIsServerValid()));
    }
    const std::string twin = "ORCL@64 8.1.X C:\\absent\\init.ora 1";
    EXPECT_EQ((Texts{twin, twin, "ORCL@64 10.1  1"}), records);
}

// The lines both readers work on, and the file whose parameters a file holds:
// its own, or the one a last IFILE line with an "=" names.
TEST(ParameterFile, WorkingLinesAndTheFileTheyResolveTo) {
    struct Row { std::string content; Texts lines; const char* resolved; const char* printed; };  // no lines: not checked
    const std::string x(200, 'x'), y(200, 'y');
    const Row ROWS[] = {
        {"# comment\n\n   \r\n  kept = 1   \r\ntab = x\t\n  # not a comment\nb = 2\rc\n",
         {"  kept = 1", "tab = x\t", "  # not a comment", "b = 2\rc"}, nullptr, ""},
        // A hyphen first gets a space; after " -\" the next parameter line gets " -", even across a comment.
        {"-opt\na = b -\\\n# comment\n\nc = d\ne\n-\\\n-x\n", {" -opt", "a = b -\\", " -c = d", "e", " -\\", " - -x"},
         nullptr, ""},
        // Ctrl-Z ends the file as in a Windows text stream; a NUL ends the line; long lines come in pieces.
        {"a = 1\nb\0 = 2\n\x1a" "c = 3\n"s, {"a = 1", "b"}, nullptr, ""},
        {x + y + "z\n", {x, y, "z"}, nullptr, ""},
        {x + "\r\nz", {x, "z"}, nullptr, ""},
        {"IFILE = other.ora\nprocesses = 150\n", {}, nullptr, "[DEB] filename[= other.ora]\n[DEB] filename2[other.ora]\n"},
        {"a = 1\n  # IFILE='x.ora'\n", {}, "x.ora", "[DEB] filename[='x.ora']\n[DEB] filename2[x.ora]\n"},
        {"IFILE = a.ora\nIFILE\n", {}, "a.ora", "[DEB] filename[= a.ora]\n[DEB] filename2[a.ora]\nNo change in initfile\n"},
    };
    tavtest::TempDir dir;
    for (const Row& row : ROWS) {
        const std::string path = dir.file("init.ora");
        tavtest::WriteFile(path, row.content);
        Texts lines;
        EXPECT_TRUE(ReadParameterFileLines(path.c_str(), &lines));
        if (!row.lines.empty()) {
            EXPECT_EQ(row.lines, lines);
        }
        CReport report;
        testing::internal::CaptureStdout();
        EXPECT_EQ(row.resolved ? row.resolved : path, ResolveParameterFile(path.c_str(), report));
        EXPECT_EQ(row.printed, testing::internal::GetCapturedStdout()) << row.content;
    }
}

// A parameter file fills a record's empty name and error log; a record with
// no name at the end, or no file named, is not valid.
TEST(ParameterFile, ReadInitFileFillsOnlyEmptyFieldsAndJudgesTheRecord) {
    tavtest::TempDir dir;
    const std::string full = dir.file("full.ora"), bare = dir.file("bare.ora"), absent = dir.file("absent.ora");
    tavtest::WriteFile(full, "db_name = 'orcl'  \nuser_dump_dest = D:\\ora\\udump\t\ndb_name = other\n");
    tavtest::WriteFile(bare, "db_name orcl\n");
    struct Row { const char* name; const char* errorlog; std::string file; const char* record; };
    const Row ROWS[] = {
        {"", "", full, "'orcl'|D:\\ora\\udump\t\\SIDALRT.LOG|1"}, {"ORCL", "kept", full, "ORCL|kept|1"},
        {"A", "", "", "A||0"}, {"B", "", absent, "B||1"}, {"", "", absent, "||0"}, {"", "", bare, "||0"}};
    for (const Row& row : ROWS) {
        COracleServer server("SID");
        server.SetServerName(row.name);
        server.SetErrorlogName(row.errorlog);
        server.SetInitoraFilename(row.file.c_str());
        server.ReadInitFile();
        EXPECT_EQ(row.record, server.GetServerName() + "|" + server.GetErrorlogName() + "|" +
                                  std::to_string(server.GetIsServerValid())) << row.file;
    }
}

// Every fixture: each key opened is closed again, and every call is given the
// whole buffer of its kind, set afresh each time. The fixtures named below
// also show the registry views of the records (a record that the 32-bit view
// repeats is found once, nothing carries from one view into the other) and
// the SQL Server cluster names.
TEST(Discovery, EveryFixtureClosesItsKeysAndUsesItsBuffers) {
    const std::map<std::string, std::set<std::string>> SIZES = {
        {"oracle", {"value 256/256", "key 256"}}, {"mssql", {"value 256/256", "query 256"}},
        {"sybase", {"value 500/500", "key 100", "query 100", "value 80/80"}},
        {"informix", {"key 100", "value 80/80"}}, {"paths", {"value 99/264"}}};
    const std::map<std::string, Texts> RECORDS = {
        {"oracle-views", {"ORCL@64", "ORCL@64", "DW@64", "ORA32@32"}},
        {"mssql-views", {"SALES@64 SQLVS1", "HR@32", "DBHOST01@32 DBHOST01"}},
        {"mssql-instances", {"DBHOST01@64 DBHOST01", "SALES@64 SQLVS1", "HR@64 DBHOST01"}},
        {"mssql-broken", {"ALPHA@64"}},
        {"sybase-views", {"CAF\xc9_\"PROD\"@32", "TAB\tBED@32"}},
        {"sybase-servers", {"SYBPROD@64", "SYBTEST@64"}},
        {"informix-views", {"srv64@64", "DBHOST01@32"}}};
    tavtest::ScopedEnv computer("COMPUTERNAME", "DBHOST01");
    int fixtures = 0;
    for (const auto& file : std::filesystem::directory_iterator(std::string(TAV_TEST_DATA) + "/fixtures/discovery")) {
        if (file.path().extension() != ".reg") continue;
        const std::string name = file.path().stem().string(), kind = name.substr(0, name.find('-'));
        MemoryRegistry machine;
        const tavreg::LoadResult loaded = machine.LoadFile(file.path().string());
        ASSERT_TRUE(loaded.Ok()) << loaded.error;
        AuditedRegistry audit(machine);
        Texts records;
        if (kind == "paths") {
            CReport report;
            testing::internal::CaptureStdout();
            ReadInstallPaths(audit, nullptr, report);
            testing::internal::GetCapturedStdout();
        } else {
            records = Discover(audit, FamilyOfProduct(kind.c_str()));
        }
        ++fixtures;
        EXPECT_EQ(0, audit.live) << name << ": a key was left open";
        for (const std::string& used : audit.sizes) EXPECT_EQ(1u, SIZES.at(kind).count(used)) << name << ": " << used;
        if (RECORDS.count(name)) {
            EXPECT_EQ(RECORDS.at(name), records) << name;
        }
    }
    EXPECT_GE(fixtures, 20);
}

// A counter read as atoi reads it, and never more homes scanned than the
// Oracle key has numbered sub-keys, whatever the counter says.
TEST(Discovery, OracleHomeCounter) {
    MemoryRegistry machine;
    for (const auto& [sid, key] : {std::pair{"A", "HOME0"}, {"B", "HOME1"}, {"M", "HOME12"}}) {
        machine.SetString(std::string("Software\\ORACLE\\") + key, std::string("ORA_") + sid + "_AUTOSTART", "TRUE");
        machine.SetString(std::string("Software\\ORACLE\\") + key, "ORACLE_HOME", "C:\\oracle");
        machine.SetString(std::string("Software\\ORACLE\\") + key, "ORACLE_SID", sid);
    }
    const std::pair<const char*, Texts> ROWS[] = {{"2147483647999", {"A@64", "B@64", "M@64"}}, {" 1st", {"A@64"}}, {"-3", {}}};
    for (const auto& [counter, records] : ROWS) {
        machine.SetString("Software\\ORACLE\\ALL_HOMES", "HOME_COUNTER", counter);
        AuditedRegistry audit(machine);
        EXPECT_EQ(records, Discover(audit, Family::Oracle)) << counter;
        EXPECT_LT(audit.opens, 40) << counter;
    }
}

// Named instances: the cluster name from a Cluster key (a key without one
// keeps the name before it), else the computer's; "mssqlserver" in lower case
// is a named instance; at most 16 instances.
TEST(Discovery, SqlServerInstanceLists) {
    tavtest::ScopedEnv computer("COMPUTERNAME", "DBHOST01");
    MemoryRegistry machine;
    const std::string root = "Software\\Microsoft\\Microsoft SQL Server";
    std::string many;
    for (const std::string name : {"A", "B", "C", "mssqlserver", "I4", "I5", "I6", "I7", "I8", "I9", "I10", "I11",
                                   "I12", "I13", "I14", "I15", "I16", "I17"}) {
        machine.SetString(root + "\\" + name + "\\Setup", "SQLPath", "C:\\MSSQL$" + name);
        machine.SetString(root + "\\" + name + "\\MSSQLServer\\CurrentVersion", "CurrentVersion", "8.00");
        machine.CreateKey(root + "\\" + name + "\\MSSQLServer\\Parameters");
        many += name + '\0';
    }
    machine.SetString(root + "\\A\\Cluster", "clustername", "VS-A");
    machine.SetString(root + "\\B\\Cluster", "ClusterIpAddr", "10.0.0.2");
    const std::string four = "A\0B\0C\0mssqlserver\0\0"s;
    machine.SetValue(root, "InstalledInstances", tavreg::VALUE_MULTI_SZ, {four.begin(), four.end()});
    EXPECT_EQ((Texts{"A@64 VS-A", "B@64 VS-A", "C@64 DBHOST01", "mssqlserver@64 DBHOST01"}), Discover(machine, Family::MsSql));
    many += '\0';
    machine.SetValue(root, "InstalledInstances", tavreg::VALUE_MULTI_SZ, {many.begin(), many.end()});
    EXPECT_EQ(16u, Discover(machine, Family::MsSql).size());
}

namespace {

// A registry and a services file in one: each service a key with its Start
// value and ImagePath, and the state RegistryServices takes from its list.
struct ServiceMachine {
    MemoryRegistry registry;
    void AddService(const std::string& name, uint32_t start, const std::string& imagePath = "") {
        const std::string key = std::string(tavmachine::SERVICES_KEY) + "\\" + name;
        registry.SetValue(key, "Start", 4, {static_cast<unsigned char>(start), 0, 0, 0});
        if (!imagePath.empty()) registry.SetString(key, "ImagePath", imagePath);
    }
    void AddOracleHome(const std::string& key, const std::string& home, const std::string& sid) {
        registry.SetString("Software\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "2");
        registry.SetString("Software\\ORACLE\\" + key, "ORACLE_HOME", home);
        registry.SetString("Software\\ORACLE\\" + key, "ORACLE_SID", sid);
        registry.SetString("Software\\ORACLE\\" + key, "ORA_" + sid + "_AUTOSTART", "TRUE");
    }
    // Each record as "name found_by service".
    Texts Discover(Family family, tavmachine::ServiceStates states = {}) {
        tavmachine::RegistryServices services(registry, std::move(states));
        CDbServerList list;
        CReport report;
        testing::internal::CaptureStdout();
        DiscoverFamily(*FamilyRowOf(family), list, registry, services, report);
        testing::internal::GetCapturedStdout();
        Texts records;
        for (int i = 0; i < list.GetCount(family); ++i) {
            const CDbServer& server = *list.GetAt(i, family);
            records.push_back(server.GetServerName() + " " + FoundByName(server.GetFoundBy()) + " " +
                              ServiceSummary(server));
        }
        return records;
    }
};

}  // namespace

// Each family names its servers' services by its own rule.
TEST(Services, EachFamilyNamesItsServices) {
    const struct {
        Family family;
        const char* key;
        const char* service;
    } ROWS[] = {
        {Family::Oracle, "PROD", "OracleServicePROD"}, {Family::MsSql, "MSSQLSERVER", "MSSQLSERVER"},
        {Family::MsSql, "mssqlserver", "MSSQLSERVER"}, {Family::MsSql, "SALES", "MSSQL$SALES"},
        {Family::Sybase, "SYB1", "SYBSQL_SYB1"},       {Family::Informix, "ol_dbhost", "ol_dbhost"},
    };
    for (const auto& row : ROWS)
        EXPECT_EQ(row.service, ServiceNameOf(FamilyRowOf(row.family)->service, row.key)) << row.key;
}

// A service adds an Oracle instance only when its program lies right in the
// bin directory of a discovered home, however its ImagePath is written, and
// only for a SID no record has.
TEST(Services, OracleInstancesFromTheServicesOfAHome) {
    const std::pair<const char*, bool> IMAGES[] = {
        {"C:\\oracle\\ora92\\bin\\ORACLE.EXE X", true},
        {"\"C:\\Oracle\\ORA92\\Bin\\oracle.exe\" X", true},
        {"C:/oracle/ora92/bin/oracle.exe", true},
        {"  C:\\oracle\\ora92\\bin\\oracle.exe", true},
        {"C:\\oracle\\ora92\\bin\\", false},
        {"C:\\oracle\\ora92\\bin\\sub\\oracle.exe X", false},
        {"C:\\oracle\\ora92x\\bin\\oracle.exe X", false},
        {"C:\\oracle\\ora92\\oracle.exe X", false},
        {"D:\\oracle\\ora92\\bin\\oracle.exe X", false},
        {"", false},
    };
    for (const auto& [image, adds] : IMAGES) {
        ServiceMachine machine;
        machine.AddOracleHome("HOME0", "C:\\oracle\\ora92\\", "PROD");
        machine.AddService("OracleServiceX", 3, image);
        const Texts expected = adds ? Texts{"PROD registry no service", "X service OracleServiceX (manual, unknown)"}
                                    : Texts{"PROD registry no service"};
        EXPECT_EQ(expected, machine.Discover(Family::Oracle)) << image;
    }

    // A SID some record has already, in any case, adds nothing; nor does a
    // service whose name is the prefix alone.
    ServiceMachine machine;
    machine.AddOracleHome("HOME0", "C:\\ora92", "PROD");
    machine.AddOracleHome("HOME1", "C:\\ora10", "SALES");
    machine.AddService("OracleServiceprod", 2, "C:\\ora92\\bin\\oracle.exe prod");
    machine.AddService("OracleServiceSALES", 2, "C:\\ora92\\bin\\oracle.exe SALES");
    machine.AddService("OracleService", 2, "C:\\ora92\\bin\\oracle.exe");
    EXPECT_EQ((Texts{"PROD registry OracleServicePROD (automatic, running)",
                     "SALES registry OracleServiceSALES (automatic, unknown)"}),
              machine.Discover(Family::Oracle, {{"oracleserviceprod", tavplat::ServiceState::Running}}));
}

// The port an instance listens on: IPAll's dynamic port unless it is 0 or
// none, else its static one; the Tcp key of older versions only without IPAll.
TEST(Services, SqlServerPorts) {
    const std::string network = "Software\\Microsoft\\MSSQLServer\\MSSQLServer\\SuperSocketNetLib\\Tcp";
    const struct {
        bool ipall;
        const char* dynamic;  // null: no such value
        const char* fixed;
        const char* old;      // TcpPort of the Tcp key
        std::optional<int> port;
    } ROWS[] = {
        {true, "0", "1433", nullptr, 1433},          {true, "", "1433", nullptr, 1433},
        {true, "49172", "1433", nullptr, 49172},     {true, " 7 ", nullptr, nullptr, 7},
        {true, "65536", "1433", nullptr, 1433},      {true, "1433,1434", "x", nullptr, std::nullopt},
        {true, "-1", "+5", nullptr, std::nullopt},   {true, "00080", nullptr, nullptr, 80},
        {true, nullptr, nullptr, "2433", std::nullopt}, {false, nullptr, nullptr, "2433", 2433},
        {false, nullptr, nullptr, nullptr, std::nullopt},
    };
    for (const auto& row : ROWS) {
        MemoryRegistry machine;
        machine.SetString("Software\\Microsoft\\MSSQLServer\\Setup", "SQLPath", "C:\\MSSQL");
        machine.SetString("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\CurrentVersion", "CurrentVersion", "9.00");
        machine.CreateKey("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters");
        if (row.ipall) machine.CreateKey(network + "\\IPAll");
        if (row.dynamic) machine.SetString(network + "\\IPAll", "TcpDynamicPorts", row.dynamic);
        if (row.fixed) machine.SetString(network + "\\IPAll", "TcpPort", row.fixed);
        if (row.old) machine.SetString(network, "TcpPort", row.old);
        CDbServerList list;
        CReport report;
        DiscoverMsSql(list, machine, report);
        ASSERT_EQ(1, list.GetCount(Family::MsSql));
        EXPECT_EQ(row.port, static_cast<CMsSqlServer*>(list.GetAt(0, Family::MsSql))->GetTcpPort())
            << row.ipall << " " << (row.dynamic ? row.dynamic : "-") << " " << (row.fixed ? row.fixed : "-");
    }
}
