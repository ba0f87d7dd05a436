// Server records, the server list, the parameter-file readers and discovery.
// Whole machines (tests/fixtures/discovery) are checked against golden output by
// tests/scripts/native-discover-golden.sh and against the Win32 registry by
// tests/scripts/wine-discover-compare.sh; the cases here are the ones those
// cannot reach.
#include "discovery/tavdisc.h"
#include "registry/MemoryRegistry.h"
#include "platform/RegistryReader.h"
#include "tav_testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using tavreg::MemoryRegistry;
using Texts = std::vector<std::string>;

// The bytes of a literal that holds NULs, without the literal's own last NUL.
template <size_t N>
std::string Data(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

std::string DumpText(CDbServer& server) {
    FILE* stream = tmpfile();
    if (stream == nullptr) return "<no temporary file>";
    server.Dump(stream);
    std::string text;
    rewind(stream);
    for (int c; (c = fgetc(stream)) != EOF;) text += static_cast<char>(c);
    fclose(stream);
    return text;
}

// Notes its destruction and its ReadInitFile calls in a shared log.
std::string g_log;
class ProbeServer : public CSybaseServer {
public:
    explicit ProbeServer(const char* name) { SetServerName(name); }
    ~ProbeServer() override { g_log += "~" + GetServerName() + " "; }
    void ReadInitFile() override { g_log += "read" + GetServerName() + " "; }
};

}  // namespace

// ---- records and the list -----------------------------------------------------------------

TEST(ServerRecord, DumpFormats) {
    CInformixServer informix;
    EXPECT_EQ("dollar_server : \nserver_version : \nserver_type : Online\nserver_name : \n"
              "service_name : \nerrorlog_name : \nconfig_file : \nis_server_valid : 1\n\n",
              DumpText(informix));
    COracleServer oracle("ORCL");
    oracle.SetDollarServer("C:\\ora81");
    oracle.SetInitoraFilename("C:\\init.ora");
    oracle.SetServerName("ORCL");
    oracle.SetIsServerValid(0);
    EXPECT_EQ("dollar_oracle : C:\\ora81\nORA_version : \nserver_type : RDBMS Server\n"
              "initora_filename : C:\\init.ora\nserver_name : ORCL\nservice_name : \nerrorlog_name : \n"
              "is_server_valid : 0\n\n",
              DumpText(oracle));
    CMsSqlServer mssql;
    mssql.SetClusterServer("VS1");  // not dumped
    EXPECT_EQ("dollar_mssqlserver : \nserver_version : \nserver_type : SQL Server\nserver_name : \n"
              "service_name : \nerrorlog_name : \nis_server_valid : 1\n\n",
              DumpText(mssql));
    EXPECT_EQ(0, DumpText(*std::make_unique<CSybaseServer>()).find("dollar_sybase : \nsyb_version : \n"));
}

TEST(ServerList, FindByNameIgnoresAsciiCaseAndTakesTheFirst) {
    MemoryRegistry registry;
    CDbServerList list(registry);
    std::vector<CDbServer*> filed;
    for (const char* name : {"Sales", "SALES", "M\xc4NNER[1"}) {
        auto server = std::make_unique<CMsSqlServer>();
        server->SetServerName(name);
        filed.push_back(list.Add(std::move(server), FAMILY_MSSQL));
    }
    CDbServer *first = filed[0], *second = filed[1], *latin = filed[2];
    EXPECT_EQ(first, list.FindByName(FAMILY_MSSQL, "sAlEs"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, "SALE"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_SYBASE, "Sales"));
    EXPECT_EQ(latin, list.FindByName(FAMILY_MSSQL, "m\xc4nner[1"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, "m\xe4nner[1"));  // only A-Z fold
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, "M\xc4NNER{1"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, nullptr));
    EXPECT_EQ(second, list.GetAt(1, FAMILY_MSSQL));
    EXPECT_EQ(nullptr, list.GetAt(3, FAMILY_MSSQL));
    EXPECT_EQ(0, list.GetCount(FAMILY_SLOTS));
}

TEST(ServerList, ReadInitFilesAndDestructionOrder) {
    g_log.clear();
    {
        MemoryRegistry registry;
        CDbServerList list(registry);
        list.Add(std::make_unique<ProbeServer>("s1"), FAMILY_SYBASE);
        list.Add(std::make_unique<ProbeServer>("s2"), FAMILY_SYBASE);
        list.Add(std::make_unique<ProbeServer>("o1"), FAMILY_ORACLE);
        list.Add(std::make_unique<ProbeServer>("n1"), FAMILY_NEW);
        list.Add(std::make_unique<ProbeServer>("x"), FAMILY_SLOTS);  // cannot be filed: released at once
        list.ReadInitFiles(FAMILY_SYBASE);
        list.ReadInitFiles(FAMILY_INFORMIX);
    }
    EXPECT_EQ("~x reads1 reads2 ~o1 ~s2 ~s1 ~n1 ", g_log);
}

// ---- parameter files ------------------------------------------------------------------------

namespace {

class ParameterFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& content) {
        const std::string path = dir_.file("init" + std::to_string(++files_) + ".ora");
        tavtest::WriteFile(path, content);
        return path;
    }
    Texts Lines(const std::string& content) {
        Texts lines;
        EXPECT_TRUE(ReadParameterFileLines(Write(content).c_str(), &lines));
        return lines;
    }
    std::string Resolve(const std::string& path, std::string* output = nullptr) {
        testing::internal::CaptureStdout();
        std::string result = ResolveParameterFile(path.c_str(), StandardReport());
        const std::string printed = testing::internal::GetCapturedStdout();
        if (output) *output = printed;
        return result;
    }
    tavtest::TempDir dir_;
    int files_ = 0;
};

}  // namespace

TEST_F(ParameterFileTest, LinePreparation) {
    EXPECT_EQ((Texts{"  kept = 1", "tab = x\t", "  # not a comment", "b = 2\rc"}),
              Lines("# comment\n\n   \r\n  kept = 1   \r\ntab = x\t\n  # not a comment\nb = 2\rc\n"));
    // A hyphen first gets a space; after " -\" the next parameter line gets " -",
    // even across a comment; the space in front of "-\" makes it a continuation too.
    EXPECT_EQ((Texts{" -opt", "a = b -\\", " -c = d", "e", " -\\", " - -x"}),
              Lines("-opt\na = b -\\\n# comment\n\nc = d\ne\n-\\\n-x\n"));
    // Ctrl-Z ends the file as in a Windows text stream; a NUL ends the line.
    EXPECT_EQ((Texts{"a = 1", "b"}), Lines(Data("a = 1\nb\0 = 2\n\x1a" "c = 3\n")));
}

TEST_F(ParameterFileTest, LongLinesAreReadInPiecesOf200) {
    const std::string x(200, 'x');
    EXPECT_EQ((Texts{x, std::string(200, 'y'), "z"}), Lines(x + std::string(200, 'y') + "z\n"));
    EXPECT_EQ((Texts{x, "z"}), Lines(x + "\r\nz"));
    // Resolving sees the pieces alone: the "=" falls into the piece without IFILE.
    std::string output;
    const std::string path = Write(std::string(195, ' ') + "IFILE=abc.ora\n");
    EXPECT_EQ(path, Resolve(path, &output));
    EXPECT_EQ("No change in initfile\n", output);
}

TEST_F(ParameterFileTest, ResolveFollowsOnlyALastIfileLine) {
    std::string output;
    EXPECT_EQ("C:\\admin\\init.ora", Resolve(Write("db_name = x\nIFILE='C:\\admin\\init.ora' \n"), &output));
    EXPECT_EQ("[DEB] filename[='C:\\admin\\init.ora']\n[DEB] filename2[C:\\admin\\init.ora]\n", output);
    const std::string followed = Write("IFILE = other.ora\nprocesses = 150\n# IFILE = x\n");
    EXPECT_EQ(followed, Resolve(followed));
    EXPECT_EQ("x.ora", Resolve(Write("a = 1\n  # IFILE=x.ora\n")));
    EXPECT_EQ("a.ora", Resolve(Write("IFILE = 'a.ora'\nIFILE\n")));  // a bare IFILE changes nothing
}

TEST_F(ParameterFileTest, ResolveWithoutAResultGivesTheFilesOwnPath) {
    std::string output;
    const std::string bare = Write("IFILE\n");
    EXPECT_EQ(bare, Resolve(bare, &output));
    EXPECT_EQ("No change in initfile\n", output);
    const std::string comments = Write("# only\n\n");
    EXPECT_EQ(comments, Resolve(comments));
    EXPECT_EQ(dir_.file("absent.ora"), Resolve(dir_.file("absent.ora")));
}

TEST_F(ParameterFileTest, ReadInitFileFillsOnlyEmptyFields) {
    const std::string file = Write("db_name = 'orcl'  \nuser_dump_dest = D:\\ora\\udump\t\ndb_name = other\n");
    COracleServer empty("ORCL");
    empty.SetInitoraFilename(file.c_str());
    empty.ReadInitFile();
    EXPECT_EQ("'orcl'", empty.GetServerName());
    EXPECT_EQ("D:\\ora\\udump\t\\ORCLALRT.LOG", empty.GetErrorlogName());
    EXPECT_EQ(1, empty.GetIsServerValid());

    COracleServer named("ORCL");
    named.SetServerName("ORCL");
    named.SetErrorlogName("kept");
    named.SetInitoraFilename(file.c_str());
    named.ReadInitFile();
    EXPECT_EQ("ORCL", named.GetServerName());
    EXPECT_EQ("kept", named.GetErrorlogName());
}

TEST_F(ParameterFileTest, ReadInitFileInvalidatesRecordsWithoutFileOrName) {
    struct Case { const char* name; std::string file; int valid; };
    for (const Case& c : {Case{"A", "", 0}, Case{"B", dir_.file("absent.ora"), 1},
                          Case{"", dir_.file("absent.ora"), 0}, Case{"", Write("db_name orcl\n"), 0}}) {
        COracleServer server("S");
        server.SetServerName(c.name);
        server.SetInitoraFilename(c.file.c_str());
        server.ReadInitFile();
        EXPECT_EQ(c.valid, server.GetIsServerValid()) << "name '" << c.name << "' file '" << c.file << "'";
    }
}

// ---- discovery ---------------------------------------------------------------------------------

namespace {

// Passes every call through and keeps account of the keys left open and of
// the buffer capacities each kind of call was given.
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
    std::set<std::string> capacities;  // "value 256/256", "key 100", "query 100"

private:
    class Key : public tavplat::RegistryKey {
    public:
        Key(std::unique_ptr<tavplat::RegistryKey> inner, AuditedRegistry* audit)
            : inner_(std::move(inner)), audit_(audit) { ++audit_->live; }
        ~Key() override { --audit_->live; }
        long EnumValue(uint32_t index, char* name, uint32_t* nameLength, unsigned char* data,
                       uint32_t* dataLength) override {
            audit_->capacities.insert("value " + std::to_string(*nameLength) + "/" + std::to_string(*dataLength));
            return inner_->EnumValue(index, name, nameLength, data, dataLength);
        }
        long EnumKey(uint32_t index, char* name, uint32_t* nameLength) override {
            audit_->capacities.insert("key " + std::to_string(*nameLength));
            return inner_->EnumKey(index, name, nameLength);
        }
        long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) override {
            audit_->capacities.insert("query " + std::to_string(*dataLength));
            return inner_->QueryValue(name, data, dataLength);
        }
    private:
        std::unique_ptr<tavplat::RegistryKey> inner_;
        AuditedRegistry* audit_;
    };
    tavplat::RegistryReader& inner_;
};

class DiscoveryTest : public ::testing::Test {
protected:
    Texts Discover(int family) {
        list_ = std::make_unique<CDbServerList>(audit_);
        testing::internal::CaptureStdout();  // what resolving parameter files prints
        switch (family) {
        case FAMILY_ORACLE: list_->DiscoverOracle(); break;
        case FAMILY_SYBASE: list_->DiscoverSybase(); break;
        case FAMILY_MSSQL: list_->DiscoverMsSql(); break;
        default: list_->DiscoverInformix(); break;
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(0, audit_.live) << "a key was left open";
        Texts names;
        for (int i = 0; i < list_->GetCount(family); ++i) names.push_back(list_->GetAt(i, family)->GetServerName());
        return names;
    }
    CDbServer& At(int index, int family) { return *list_->GetAt(index, family); }

    void OracleHome(const std::string& key, const std::string& sid) {
        machine_.SetString(key, "ORA_" + sid + "_AUTOSTART", "TRUE");
        machine_.SetString(key, "ORACLE_HOME", "C:\\oracle\\" + sid);
        machine_.SetString(key, "ORACLE_SID", sid);
    }
    void SqlInstance(const std::string& name) {
        const std::string base = "Software\\Microsoft\\Microsoft SQL Server\\" + name;
        machine_.SetString(base + "\\Setup", "SQLPath", "C:\\MSSQL$" + name);
        machine_.SetString(base + "\\MSSQLServer\\CurrentVersion", "CurrentVersion", "8.00");
        machine_.SetString(base + "\\MSSQLServer\\Parameters", "SQLArg1", "-eC:\\" + name + "\\ERRORLOG");
    }
    void InstalledInstances(const std::string& data) {
        machine_.SetValue("Software\\Microsoft\\Microsoft SQL Server", "InstalledInstances",
                          tavreg::VALUE_MULTI_SZ, std::vector<unsigned char>(data.begin(), data.end()));
    }

    MemoryRegistry machine_;
    AuditedRegistry audit_{machine_};
    std::unique_ptr<CDbServerList> list_;
    tavtest::ScopedEnv computer_{"COMPUTERNAME", "DBHOST01"};
};

}  // namespace

// Every family on the whole-machine fixtures: all keys closed, and only the
// buffer capacities of the family, set afresh for every call.
TEST_F(DiscoveryTest, FixturesCloseEveryKeyAndUseTheFamilysCapacities) {
    struct Case { const char* fixture; int family; std::set<std::string> capacities; };
    const std::set<std::string> oracle{"value 256/256", "key 256"};
    const std::set<std::string> mssql{"value 256/256"};
    const std::set<std::string> sybase{"value 500/500", "key 100", "query 100", "value 80/80"};
    const std::set<std::string> informix{"key 100", "value 80/80"};
    for (const Case& c : {Case{"oracle-homes", FAMILY_ORACLE, oracle}, Case{"oracle-limits", FAMILY_ORACLE, oracle},
                          Case{"mssql-instances", FAMILY_MSSQL, mssql}, Case{"mssql-broken", FAMILY_MSSQL, mssql},
                          Case{"sybase-servers", FAMILY_SYBASE, sybase}, Case{"sybase-partial", FAMILY_SYBASE, sybase},
                          Case{"informix-servers", FAMILY_INFORMIX, informix}}) {
        MemoryRegistry machine;
        std::string error;
        ASSERT_TRUE(machine.LoadFile(std::string(TAV_TEST_DATA) + "/fixtures/discovery/" + c.fixture + ".reg", &error))
            << error;
        AuditedRegistry audit(machine);
        CDbServerList list(audit);
        testing::internal::CaptureStdout();
        if (c.family == FAMILY_ORACLE) list.DiscoverOracle();
        if (c.family == FAMILY_MSSQL) list.DiscoverMsSql();
        if (c.family == FAMILY_SYBASE) list.DiscoverSybase();
        if (c.family == FAMILY_INFORMIX) list.DiscoverInformix();
        testing::internal::GetCapturedStdout();
        EXPECT_GT(list.GetCount(c.family), 0) << c.fixture;
        EXPECT_EQ(0, audit.live) << c.fixture;
        for (const std::string& used : audit.capacities)
            EXPECT_EQ(1u, c.capacities.count(used)) << c.fixture << ": " << used;
    }
}

TEST_F(DiscoveryTest, OracleHugeCounterScansOnlyTheHomesThatExist) {
    machine_.SetString("Software\\ORACLE\\ALL_HOMES", "HOME_COUNTER", "2147483647999");
    OracleHome("Software\\ORACLE\\HOME0", "A");
    OracleHome("Software\\ORACLE\\HOME12", "M");
    EXPECT_EQ((Texts{"A", "M"}), Discover(FAMILY_ORACLE));
    EXPECT_LT(audit_.opens, 40);
}

TEST_F(DiscoveryTest, OracleCounterIsReadAsAtoiReadsIt) {
    OracleHome("Software\\ORACLE\\HOME0", "A");
    OracleHome("Software\\ORACLE\\HOME1", "B");
    for (const char* counter : {"one", "", "-3", "0"}) {
        machine_.SetString("Software\\ORACLE\\ALL_HOMES", "HOME_COUNTER", counter);
        EXPECT_EQ(Texts{}, Discover(FAMILY_ORACLE)) << counter;
    }
    machine_.SetString("Software\\ORACLE\\ALL_HOMES", "HOME_COUNTER", " 1st");
    EXPECT_EQ((Texts{"A"}), Discover(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleValueOf256BytesEndsTheScan) {
    const std::string home = "Software\\ORACLE\\KEY_OraDb10g_home1";
    OracleHome(home, "S");
    machine_.SetString(home, "PERL5LIB", std::string(255, 'x'));  // with its NUL: 256 bytes, fits
    machine_.SetString(home, "ORA_T_AUTOSTART", "TRUE");
    machine_.SetString(home, "ORA_AUTOSTART", "TRUE");             // too short: an empty name
    machine_.SetString(home, "ORA_A_AUTOSTART_OLD", "TRUE");       // cut as its length says
    EXPECT_EQ((Texts{"S", "T", "", "A_AUT"}), Discover(FAMILY_ORACLE));
    EXPECT_EQ("\\admin\\S\\bdump\\alert_S.LOG", At(0, FAMILY_ORACLE).GetErrorlogName());  // no ORACLE_BASE
    machine_.SetString(home, "PERL5LIB", std::string(256, 'x'));
    EXPECT_EQ((Texts{"S"}), Discover(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, MsSqlNamedInstancesAndTheirClusterNames) {
    SqlInstance("A");
    SqlInstance("B");
    SqlInstance("C");
    SqlInstance("mssqlserver");
    machine_.SetString("Software\\Microsoft\\Microsoft SQL Server\\A\\Cluster", "clustername", "VS-A");
    machine_.SetString("Software\\Microsoft\\Microsoft SQL Server\\B\\Cluster", "ClusterIpAddr", "10.0.0.2");
    InstalledInstances(Data("A\0B\0C\0mssqlserver\0\0"));
    EXPECT_EQ((Texts{"A", "B", "C", "mssqlserver"}), Discover(FAMILY_MSSQL));
    EXPECT_EQ("VS-A", At(1, FAMILY_MSSQL).GetClusterServer());      // B's Cluster key has no name
    EXPECT_EQ("DBHOST01", At(2, FAMILY_MSSQL).GetClusterServer());  // C has no Cluster key
    EXPECT_EQ("C:\\MSSQL$mssqlserver", At(3, FAMILY_MSSQL).GetDollarServer());  // a named instance
}

TEST_F(DiscoveryTest, MsSqlInstanceListLimits) {
    std::string names;
    for (int i = 0; i < 18; ++i) {
        SqlInstance("I" + std::to_string(i));
        names += "I" + std::to_string(i) + '\0';
    }
    InstalledInstances(names + '\0');
    EXPECT_EQ(16u, Discover(FAMILY_MSSQL).size());
    // An empty name is an instance too (its paths lose the empty part, as
    // RegOpenKeyExA treats them); a second NUL ends the list.
    SqlInstance("");
    InstalledInstances(Data("I1\0\0I2\0"));
    EXPECT_EQ((Texts{"I1"}), Discover(FAMILY_MSSQL));
    InstalledInstances(Data("\0I2\0\0"));
    EXPECT_EQ((Texts{"", "I2"}), Discover(FAMILY_MSSQL));
    InstalledInstances("");
    EXPECT_EQ(Texts{}, Discover(FAMILY_MSSQL));
}

TEST_F(DiscoveryTest, MsSqlDefaultInstanceWithoutComputerName) {
    tavtest::ScopedEnv noName("COMPUTERNAME", nullptr);
    machine_.SetString("Software\\Microsoft\\MSSQLServer\\Setup", "SQLPath", "C:\\MSSQL");
    machine_.SetString("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\CurrentVersion", "CurrentVersion", "7.00");
    machine_.CreateKey("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters");
    EXPECT_EQ((Texts{""}), Discover(FAMILY_MSSQL));
    EXPECT_EQ("", At(0, FAMILY_MSSQL).GetClusterServer());
}

// Machines with two registry views: every record carries its view, a record
// that the 32-bit view repeats is found once (twins within one view stay), and
// nothing carries from one view into the other (HR's home and cluster name).
TEST_F(DiscoveryTest, EachRegistryViewIsAPassOfItsOwn) {
    struct Case { const char* fixture; int family; Texts records; };
    for (const Case& c :
         {Case{"oracle-views", FAMILY_ORACLE, {"ORCL@64", "ORCL@64", "DW@64", "ORA32@32"}},
          Case{"mssql-views", FAMILY_MSSQL,
               {"SALES@64 S:\\MSSQL$SALES SQLVS1", "HR@32  ",
                "DBHOST01@32 C:\\Program Files (x86)\\Microsoft SQL Server\\MSSQL DBHOST01"}},
          Case{"sybase-views", FAMILY_SYBASE, {"CAF\xc9_\"PROD\"@32", "TAB\tBED@32"}},
          Case{"informix-views", FAMILY_INFORMIX, {"srv64@64", "DBHOST01@32"}},
          Case{"sybase-servers", FAMILY_SYBASE, {"SYBPROD@64", "SYBTEST@64"}}}) {
        machine_.DeleteKey("Software");
        std::string error;
        ASSERT_TRUE(machine_.LoadFile(std::string(TAV_TEST_DATA) + "/fixtures/discovery/" + c.fixture + ".reg", &error))
            << error;
        Discover(c.family);
        Texts records;
        for (int i = 0; i < list_->GetCount(c.family); ++i) {
            const CDbServer& server = At(i, c.family);
            records.push_back(server.GetServerName() + "@" + server.GetRegistryView());
            if (c.family == FAMILY_MSSQL)
                records.back() += " " + server.GetDollarServer() + " " + server.GetClusterServer();
        }
        EXPECT_EQ(c.records, records) << c.fixture;
    }
}
