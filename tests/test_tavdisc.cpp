// Server records, the server list, and discovery of the four families.
#include "discovery/tavdisc.h"
#include "platform/MemoryRegistry.h"
#include "platform/RegistryReader.h"
#include "tav_testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <climits>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A registry with no keys at all.
class EmptyRegistry : public tavplat::RegistryReader {
public:
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char*, unsigned, long* error) override {
        if (error) *error = tavplat::REG_FILE_NOT_FOUND;
        return nullptr;
    }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char*, long* error) override {
        if (error) *error = tavplat::REG_BAD_NETPATH;
        return nullptr;
    }
};

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

// Counts live records, to prove the list releases them, and in which order.
std::string g_destroyed;
class CountedServer : public CSybaseServer {
public:
    explicit CountedServer(const char* name) { SetServerName(name); }
    ~CountedServer() override { g_destroyed += GetServerName() + " "; }
};

// Records the order in which ReadInitFile is called.
class ProbeServer : public CMsSqlServer {
public:
    explicit ProbeServer(const char* name, std::string* log) : log_(log) { SetServerName(name); }
    void ReadInitFile() override { *log_ += GetServerName(); }
private:
    std::string* log_;
};

}  // namespace

// ---- records ---------------------------------------------------------------------

TEST(ServerRecord, ConstructionFixesFamilyAndValidity) {
    COracleServer oracle("ORCL");
    EXPECT_EQ(FAMILY_ORACLE, oracle.GetServerFamily());
    EXPECT_EQ("ORCL", oracle.GetOracleSid());
    EXPECT_EQ("", oracle.GetInitoraFilename());
    EXPECT_EQ(1, oracle.GetIsServerValid());
    EXPECT_EQ(FAMILY_SYBASE, CSybaseServer().GetServerFamily());
    EXPECT_EQ(FAMILY_MSSQL, CMsSqlServer().GetServerFamily());
    CInformixServer informix;
    EXPECT_EQ(FAMILY_INFORMIX, informix.GetServerFamily());
    EXPECT_EQ("", informix.GetConfigFile());
    EXPECT_EQ("", informix.GetClusterServer());
}

TEST(ServerRecord, SettersCopyTheText) {
    char text[] = "SALES";
    CMsSqlServer server;
    server.SetServerName(text);
    text[0] = 'X';
    EXPECT_EQ("SALES", server.GetServerName());
    server.SetClusterServer(nullptr);
    EXPECT_EQ("", server.GetClusterServer());
}

TEST(ServerRecordDump, FreshInformixRecordWritesEightLines) {
    CInformixServer server;
    EXPECT_EQ("dollar_server : \nserver_version : \nserver_type : Online\nserver_name : \n"
              "service_name : \nerrorlog_name : \nconfig_file : \nis_server_valid : 1\n\n",
              DumpText(server));
}

TEST(ServerRecordDump, EachFamilyHasItsOwnLines) {
    COracleServer oracle("ORCL");
    oracle.SetDollarServer("C:\\oracle\\ora81");
    oracle.SetServerVersion("8.1.X");
    oracle.SetInitoraFilename("C:\\oracle\\admin\\ORCL\\pfile\\init.ora");
    oracle.SetServerName("ORCL");
    oracle.SetServiceName("OracleServiceORCL");
    oracle.SetErrorlogName("C:\\oracle\\admin\\ORCL\\bdump\\ORCLALRT.LOG");
    oracle.SetIsServerValid(0);
    EXPECT_EQ("dollar_oracle : C:\\oracle\\ora81\nORA_version : 8.1.X\nserver_type : RDBMS Server\n"
              "initora_filename : C:\\oracle\\admin\\ORCL\\pfile\\init.ora\nserver_name : ORCL\n"
              "service_name : OracleServiceORCL\nerrorlog_name : C:\\oracle\\admin\\ORCL\\bdump\\ORCLALRT.LOG\n"
              "is_server_valid : 0\n\n",
              DumpText(oracle));

    CSybaseServer sybase;
    sybase.SetDollarServer("C:\\sybase");
    sybase.SetServerVersion("11.9.2");
    sybase.SetServerName("SYBPROD");
    sybase.SetServiceName("Sybase SQLServer_SYBPROD");
    sybase.SetErrorlogName("C:\\sybase\\install\\errorlog");
    EXPECT_EQ("dollar_sybase : C:\\sybase\nsyb_version : 11.9.2\nserver_type : SQL Server\n"
              "server_name : SYBPROD\nservice_name : Sybase SQLServer_SYBPROD\n"
              "errorlog_name : C:\\sybase\\install\\errorlog\nis_server_valid : 1\n\n",
              DumpText(sybase));

    CMsSqlServer mssql;
    mssql.SetDollarServer("C:\\MSSQL");
    mssql.SetServerVersion("8.00.194");
    mssql.SetServerName("SALES");
    mssql.SetServiceName("MSSQLServer");
    mssql.SetClusterServer("VCLUSTER");  // not part of the dump
    EXPECT_EQ("dollar_mssqlserver : C:\\MSSQL\nserver_version : 8.00.194\nserver_type : SQL Server\n"
              "server_name : SALES\nservice_name : MSSQLServer\nerrorlog_name : \nis_server_valid : 1\n\n",
              DumpText(mssql));
}

// ---- the server list ---------------------------------------------------------------

TEST(ServerList, AddKeepsOrderPerFamily) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    auto* a = new CSybaseServer;
    auto* b = new CSybaseServer;
    auto* c = new CMsSqlServer;
    list.Add(a, FAMILY_SYBASE);
    list.Add(c, FAMILY_MSSQL);
    list.Add(b, FAMILY_SYBASE);
    EXPECT_EQ(2, list.GetCount(FAMILY_SYBASE));
    EXPECT_EQ(1, list.GetCount(FAMILY_MSSQL));
    EXPECT_EQ(0, list.GetCount(FAMILY_ORACLE));
    EXPECT_EQ(a, list.GetAt(0, FAMILY_SYBASE));
    EXPECT_EQ(b, list.GetAt(1, FAMILY_SYBASE));
    EXPECT_EQ(c, list.GetAt(0, FAMILY_MSSQL));
}

TEST(ServerList, OutOfRangeFamiliesAndIndexesGiveNothing) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    list.Add(new CSybaseServer, FAMILY_SYBASE);
    EXPECT_EQ(nullptr, list.GetAt(1, FAMILY_SYBASE));
    EXPECT_EQ(nullptr, list.GetAt(-1, FAMILY_SYBASE));
    EXPECT_EQ(0, list.GetCount(FAMILY_SLOTS));
    EXPECT_EQ(0, list.GetCount(-1));
    list.Add(new CSybaseServer, FAMILY_SLOTS);  // released, not filed (the sanitizer build sees a leak otherwise)
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_SLOTS, ""));
}

TEST(ServerList, FindByNameIgnoresLetterCaseAndTakesTheFirst) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    auto* first = new CMsSqlServer;
    first->SetServerName("Sales");
    auto* second = new CMsSqlServer;
    second->SetServerName("SALES");
    list.Add(first, FAMILY_MSSQL);
    list.Add(second, FAMILY_MSSQL);
    EXPECT_EQ(first, list.FindByName(FAMILY_MSSQL, "sAlEs"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, "SALE"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, "SALESX"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_SYBASE, "Sales"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_ORACLE, "Sales"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_MSSQL, nullptr));
}

TEST(ServerList, FindByNameFoldsOnlyAsciiLetters) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    auto* server = new CSybaseServer;
    server->SetServerName("M\xc4NNER_1");  // 8-bit letter, as in a Latin-1 name
    list.Add(server, FAMILY_SYBASE);
    EXPECT_EQ(server, list.FindByName(FAMILY_SYBASE, "m\xc4nner_1"));
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_SYBASE, "m\xe4nner_1"));
    // '[' and '{' differ from each other by 0x20 too, yet they are not letters.
    server->SetServerName("A[1");
    EXPECT_EQ(nullptr, list.FindByName(FAMILY_SYBASE, "a{1"));
}

TEST(ServerList, DestructionReleasesEveryRecordLastFirst) {
    g_destroyed.clear();
    {
        EmptyRegistry registry;
        CDbServerList list(registry);
        list.Add(new CountedServer("s1"), FAMILY_SYBASE);
        list.Add(new CountedServer("s2"), FAMILY_SYBASE);
        list.Add(new CountedServer("o1"), FAMILY_ORACLE);
        list.Add(new CountedServer("n1"), FAMILY_NEW);
    }
    // Family 1 first, then 2 from the last record back, then 5.
    EXPECT_EQ("o1 s2 s1 n1 ", g_destroyed);
}

TEST(ServerList, ReadInitFilesWalksOneFamilyInOrder) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    std::string log;
    list.Add(new ProbeServer("A", &log), FAMILY_MSSQL);
    list.Add(new ProbeServer("B", &log), FAMILY_MSSQL);
    list.Add(new ProbeServer("X", &log), FAMILY_SYBASE);
    list.ReadInitFiles(FAMILY_MSSQL);
    EXPECT_EQ("AB", log);
    list.ReadInitFiles(FAMILY_INFORMIX);  // empty family
    EXPECT_EQ("AB", log);
}

TEST(ServerList, ReadInitFilesLeavesOtherFamiliesRecordsAlone) {
    EmptyRegistry registry;
    CDbServerList list(registry);
    auto* sybase = new CSybaseServer;
    sybase->SetServerName("SYB");
    auto* informix = new CInformixServer;
    list.Add(sybase, FAMILY_SYBASE);
    list.Add(informix, FAMILY_INFORMIX);
    const std::string before = DumpText(*sybase) + DumpText(*informix);
    list.ReadInitFiles(FAMILY_SYBASE);
    list.ReadInitFiles(FAMILY_INFORMIX);
    EXPECT_EQ(before, DumpText(*sybase) + DumpText(*informix));
}

// ---- the parameter-file line reader and its two readers ------------------------------

namespace {

class ParameterFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& content) {
        const std::string path = dir_.file(name);
        tavtest::WriteFile(path, content);
        return path;
    }
    std::vector<std::string> Lines(const std::string& content) {
        std::vector<std::string> lines;
        EXPECT_TRUE(ReadParameterFileLines(Write("lines.ora", content).c_str(), &lines));
        return lines;
    }
    // ResolveParameterFile's result, with what it wrote to standard output.
    std::string Resolve(const std::string& path, std::string* output) {
        testing::internal::CaptureStdout();
        std::string result = ResolveParameterFile(path.c_str());
        *output = testing::internal::GetCapturedStdout();
        return result;
    }
    tavtest::TempDir dir_;
};

using TextLines = std::vector<std::string>;

}  // namespace

TEST_F(ParameterFileTest, LinesLoseCommentsEmptyLinesAndTrailingSpacesOnly) {
    EXPECT_EQ((TextLines{"  leading = kept", "tab = x\t", "  # not a comment"}),
              Lines("# comment\n\n   \n  leading = kept   \ntab = x\t\n  # not a comment\n"));
}

TEST_F(ParameterFileTest, CarriageReturnBeforeNewlineBelongsToTheLineEnd) {
    EXPECT_EQ((TextLines{"a = 1", "b = 2\rc"}), Lines("a = 1\r\n\r\nb = 2\rc\r\n"));
}

TEST_F(ParameterFileTest, CtrlZEndsTheFileAndNulEndsTheLine) {
    EXPECT_EQ((TextLines{"a = 1", "b"}), Lines(std::string("a = 1\nb\0 = 2\n\x1a" "c = 3\n", 17)));
}

TEST_F(ParameterFileTest, LongLinesAreReadInPiecesOf200) {
    const std::string first(200, 'x');
    const std::string second(200, 'y');
    EXPECT_EQ((TextLines{first, second, "z"}), Lines(first + second + "z\n"));
    // 200 characters and the line end: the line end makes an empty piece of its own.
    EXPECT_EQ((TextLines{first, "z"}), Lines(first + "\r\nz"));
}

TEST_F(ParameterFileTest, LeadingHyphenAndContinuationArePrefixed) {
    EXPECT_EQ((TextLines{" -opt", "a = b -\\", " -c = d", "e"}),
              Lines("-opt\na = b -\\\n# comment keeps the flag\n\nc = d\ne\n"));
    // The space put in front of "-\\" makes it a continuation line itself.
    EXPECT_EQ((TextLines{" -\\", " - -x"}), Lines("-\\\n-x\n"));
}

TEST_F(ParameterFileTest, MissingFileGivesNoLines) {
    std::vector<std::string> lines{"stale"};
    EXPECT_FALSE(ReadParameterFileLines(dir_.file("absent.ora").c_str(), &lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(ParameterFileTest, ResolveFollowsALastIfileLine) {
    std::string output;
    const std::string path = Write("initORCL.ora", "db_name = x\nIFILE='C:\\oracle\\admin\\orcl\\pfile\\init.ora'\n");
    EXPECT_EQ("C:\\oracle\\admin\\orcl\\pfile\\init.ora", Resolve(path, &output));
    EXPECT_EQ("[DEB] filename[='C:\\oracle\\admin\\orcl\\pfile\\init.ora']\n"
              "[DEB] filename2[C:\\oracle\\admin\\orcl\\pfile\\init.ora]\n",
              output);
}

TEST_F(ParameterFileTest, ResolveGivesOwnPathWhenAParameterFollowsTheIfile) {
    std::string output;
    const std::string path = Write("init.ora", "IFILE = other.ora\nprocesses = 150\n# IFILE = x\n");
    EXPECT_EQ(path, Resolve(path, &output));
}

TEST_F(ParameterFileTest, ResolveCountsAnIndentedHashLine) {
    std::string output;
    EXPECT_EQ("x.ora", Resolve(Write("init.ora", "a = 1\n  # IFILE=x.ora\n"), &output));
}

TEST_F(ParameterFileTest, ResolveWithoutAResultGivesOwnPath) {
    std::string output;
    const std::string bare = Write("bare.ora", "IFILE\n");
    EXPECT_EQ(bare, Resolve(bare, &output));
    EXPECT_EQ("No change in initfile\n", output);
    const std::string comments = Write("comments.ora", "# only\n\n");
    EXPECT_EQ(comments, Resolve(comments, &output));
    EXPECT_EQ("", output);
    const std::string absent = dir_.file("absent.ora");
    EXPECT_EQ(absent, Resolve(absent, &output));
    // A bare IFILE after a resolved one leaves the result as it was.
    EXPECT_EQ("a.ora", Resolve(Write("two.ora", "IFILE = 'a.ora'\nIFILE\n"), &output));
}

TEST_F(ParameterFileTest, ResolveSeesTheFirstPieceOfALongLineAlone) {
    std::string output;
    // The "=" falls into the second piece, which has no IFILE of its own.
    const std::string path = Write("long.ora", std::string(195, ' ') + "IFILE=abc.ora\n");
    EXPECT_EQ(path, Resolve(path, &output));
    EXPECT_EQ("No change in initfile\n", output);
}

TEST_F(ParameterFileTest, ReadInitFileFillsEmptyNameAndErrorLog) {
    COracleServer server("ORCL");
    server.SetInitoraFilename(Write("init.ora", "db_name = 'orcl'  \nuser_dump_dest = D:\\ora\\udump\t\n"
                                                "db_name = other\nuser_dump_dest = E:\\x\n").c_str());
    server.ReadInitFile();
    EXPECT_EQ("'orcl'", server.GetServerName());
    EXPECT_EQ("D:\\ora\\udump\t\\ORCLALRT.LOG", server.GetErrorlogName());
    EXPECT_EQ(1, server.GetIsServerValid());
}

TEST_F(ParameterFileTest, ReadInitFileKeepsWhatDiscoveryFound) {
    COracleServer server("ORCL");
    server.SetServerName("ORCL");
    server.SetErrorlogName("C:\\oracle\\admin\\ORCL\\bdump\\ORCLALRT.LOG");
    server.SetInitoraFilename(Write("init.ora", "db_name = x\nuser_dump_dest = y\n").c_str());
    server.ReadInitFile();
    EXPECT_EQ("ORCL", server.GetServerName());
    EXPECT_EQ("C:\\oracle\\admin\\ORCL\\bdump\\ORCLALRT.LOG", server.GetErrorlogName());
    EXPECT_EQ(1, server.GetIsServerValid());
}

TEST_F(ParameterFileTest, ReadInitFileInvalidatesRecordsWithoutFileOrName) {
    COracleServer noFile("A");
    noFile.SetServerName("A");
    noFile.ReadInitFile();
    EXPECT_EQ(0, noFile.GetIsServerValid());

    COracleServer unreadableNamed("B");
    unreadableNamed.SetServerName("B");
    unreadableNamed.SetInitoraFilename(dir_.file("absent.ora").c_str());
    unreadableNamed.ReadInitFile();
    EXPECT_EQ(1, unreadableNamed.GetIsServerValid());

    COracleServer unreadableNameless("C");
    unreadableNameless.SetInitoraFilename(dir_.file("absent.ora").c_str());
    unreadableNameless.ReadInitFile();
    EXPECT_EQ(0, unreadableNameless.GetIsServerValid());

    COracleServer noEquals("D");
    noEquals.SetErrorlogName("kept");
    noEquals.SetInitoraFilename(Write("noeq.ora", "db_name orcl\nuser_dump_dest = z\n").c_str());
    noEquals.ReadInitFile();
    EXPECT_EQ("", noEquals.GetServerName());
    EXPECT_EQ("kept", noEquals.GetErrorlogName());
    EXPECT_EQ(0, noEquals.GetIsServerValid());
}

// ---- discovery ------------------------------------------------------------------------

namespace {

using tavplat::MemoryRegistry;

// Passes every call through to a registry and keeps account: how many keys are
// open, and which buffer capacities each kind of call was given.
class AuditedRegistry : public tavplat::RegistryReader {
public:
    explicit AuditedRegistry(tavplat::RegistryReader& inner) : inner_(inner) {}

    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        opened.push_back(path);
        auto key = inner_.OpenKey(path, access, error);
        if (!key) return nullptr;
        return std::make_unique<Key>(std::move(key), this);
    }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override {
        return inner_.ConnectRemote(machine, error);
    }

    int live = 0;
    std::set<std::string> capacities;   // "value 256/256", "key 100", "query 100"
    std::vector<std::string> opened;

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

std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

// Runs one family's discovery on a machine and keeps the list.
class DiscoveryTest : public ::testing::Test {
protected:
    void Discover(int family) {
        list_ = std::make_unique<CDbServerList>(audit_);
        switch (family) {
        case FAMILY_ORACLE: list_->DiscoverOracle(); break;
        case FAMILY_SYBASE: list_->DiscoverSybase(); break;
        case FAMILY_MSSQL: list_->DiscoverMsSql(); break;
        case FAMILY_INFORMIX: list_->DiscoverInformix(); break;
        default: break;
        }
        EXPECT_EQ(0, audit_.live) << "a key was left open";
        for (int other = 0; other < FAMILY_SLOTS; ++other)
            if (other != family) {
                EXPECT_EQ(0, list_->GetCount(other));
            }
    }
    int Count(int family) const { return list_->GetCount(family); }
    CDbServer& At(int index, int family) const {
        CDbServer* server = list_->GetAt(index, family);
        if (server == nullptr) throw std::out_of_range("no record " + std::to_string(index));
        return *server;
    }
    std::vector<std::string> Names(int family) const {
        std::vector<std::string> names;
        for (int i = 0; i < Count(family); ++i) names.push_back(At(i, family).GetServerName());
        return names;
    }
    COracleServer& Oracle(int index) const { return dynamic_cast<COracleServer&>(At(index, FAMILY_ORACLE)); }
    CInformixServer& Informix(int index) const {
        return dynamic_cast<CInformixServer&>(At(index, FAMILY_INFORMIX));
    }
    void ExpectCapacities(const std::set<std::string>& expected) const {
        EXPECT_EQ(expected, audit_.capacities);
    }

    MemoryRegistry machine_;
    AuditedRegistry audit_{machine_};
    std::unique_ptr<CDbServerList> list_;
    tavtest::ScopedEnv computer_{"COMPUTERNAME", "DBHOST01"};
};

// A numbered or 10g Oracle home with one instance named after the SID.
void OracleHome(MemoryRegistry& machine, const std::string& key, const std::string& sid,
                const std::string& home) {
    machine.SetString(key, "ORA_" + sid + "_AUTOSTART", "TRUE");
    machine.SetString(key, "ORACLE_BASE", "C:\\oracle");
    machine.SetString(key, "ORACLE_HOME", home);
    machine.SetString(key, "ORACLE_SID", sid);
}

const char* const ORACLE = "Software\\ORACLE";
const char* const ALL_HOMES = "Software\\ORACLE\\ALL_HOMES";

}  // namespace

// -- Oracle

TEST_F(DiscoveryTest, OracleNeedsItsProductKey) {
    machine_.SetString("Software\\Other\\KEY_OraDb10g_home1", "ORACLE_SID", "X");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ(0, Count(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleNumberedHomesComeBefore10gHomes) {
    OracleHome(machine_, "Software\\ORACLE\\KEY_OraDb10g_home1", "SALES", "C:\\oracle\\db_1");
    OracleHome(machine_, "Software\\ORACLE\\KEY_OraDb10g_home3", "HR", "C:\\oracle\\db_3");
    OracleHome(machine_, "Software\\ORACLE\\HOME1", "PROD", "C:\\oracle\\ora92b");
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "ORCL", "C:\\oracle\\ora92");
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "2");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"ORCL", "PROD", "SALES", "HR"}), Names(FAMILY_ORACLE));
    ExpectCapacities({"value 256/256", "key 256"});
}

TEST_F(DiscoveryTest, OracleWithoutAllHomesScansOnly10gHomes) {
    machine_.CreateKey(ORACLE);
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "ORCL", "C:\\oracle\\ora92");
    OracleHome(machine_, "Software\\ORACLE\\KEY_OraDb10g_home2", "DB2", "C:\\oracle\\db_2");
    Discover(FAMILY_ORACLE);
    ASSERT_EQ(1, Count(FAMILY_ORACLE));
    COracleServer& server = Oracle(0);
    EXPECT_EQ("DB2", server.GetServerName());
    EXPECT_EQ("DB2", server.GetOracleSid());
    EXPECT_EQ("OracleServiceDB2", server.GetServiceName());
    EXPECT_EQ("C:\\oracle\\db_2", server.GetDollarServer());
    EXPECT_EQ("10.1", server.GetServerVersion());
    EXPECT_EQ("C:\\oracle\\admin\\DB2\\bdump\\alert_DB2.LOG", server.GetErrorlogName());
    EXPECT_EQ("", server.GetInitoraFilename());
}

TEST_F(DiscoveryTest, OracleCounterIndexesBeyondFourAreScanned) {
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "6");
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "A", "C:\\a");
    OracleHome(machine_, "Software\\ORACLE\\HOME5", "F", "C:\\f");
    OracleHome(machine_, "Software\\ORACLE\\HOME6", "G", "C:\\g");  // beyond the counter
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"A", "F"}), Names(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleHugeCounterScansOnlyTheHomesThatExist) {
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "2147483647999");
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "A", "C:\\a");
    OracleHome(machine_, "Software\\ORACLE\\HOME12", "M", "C:\\m");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"A", "M"}), Names(FAMILY_ORACLE));
    EXPECT_LT(audit_.opened.size(), 40u);
}

TEST_F(DiscoveryTest, OracleCounterIsReadAsAtoiDoes) {
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "A", "C:\\a");
    OracleHome(machine_, "Software\\ORACLE\\HOME1", "B", "C:\\b");
    for (const char* counter : {"one", "", "-3", "0"}) {
        machine_.SetString(ALL_HOMES, "HOME_COUNTER", counter);
        Discover(FAMILY_ORACLE);
        EXPECT_EQ(0, Count(FAMILY_ORACLE)) << "counter " << counter;
    }
    machine_.SetString(ALL_HOMES, "home_counter", " 1st");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"A"}), Names(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleHomeNeedsSidHomeAndAnInstance) {
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "3");
    machine_.SetString("Software\\ORACLE\\HOME0", "ORA_X_AUTOSTART", "TRUE");  // no SID
    machine_.SetString("Software\\ORACLE\\HOME0", "ORACLE_HOME", "C:\\x");
    machine_.SetString("Software\\ORACLE\\HOME1", "ORACLE_SID", "Y");           // no ORACLE_HOME
    machine_.SetString("Software\\ORACLE\\HOME1", "ORA_Y_AUTOSTART", "TRUE");
    machine_.SetString("Software\\ORACLE\\HOME2", "ORACLE_SID", "Z");           // no instance
    machine_.SetString("Software\\ORACLE\\HOME2", "ORACLE_HOME", "C:\\z");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ(0, Count(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleAutostartNames) {
    const std::string home = "Software\\ORACLE\\HOME0";
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "1");
    machine_.SetString(home, "ORACLE_SID", "orcl");
    machine_.SetString(home, "ORACLE_HOME", "C:\\oracle\\ora92");
    machine_.SetString(home, "ORA_ORCL_AUTOSTART", "TRUE");       // the SID, in its own case
    machine_.SetString(home, "ora_test_autostart", "TRUE");       // no "_AUTOSTART": ignored
    machine_.SetString(home, " ORA_DEV_AUTOSTART ", "FALSE");     // trimmed
    machine_.SetString(home, "ORA_AUTOSTART", "TRUE");            // too short: empty name
    machine_.SetString(home, "XORA_STBY_AUTOSTART", "TRUE");      // no "ORA_" at the start
    machine_.SetString(home, "ORA_A_AUTOSTART_OLD", "TRUE");      // cut as the length says
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"orcl", "DEV", "", "A_AUT"}), Names(FAMILY_ORACLE));
    EXPECT_EQ("OracleServiceorcl", Oracle(0).GetServiceName());
    // No ORACLE_BASE: the error log path begins with "\admin\".
    EXPECT_EQ("\\admin\\orcl\\bdump\\alert_orcl.LOG", Oracle(0).GetErrorlogName());
    EXPECT_EQ("9.2.0", Oracle(0).GetServerVersion());
}

TEST_F(DiscoveryTest, OracleHomeHoldsSixteenInstances) {
    const std::string home = "Software\\ORACLE\\KEY_OraDb10g_home1";
    machine_.SetString(ORACLE, "", "");
    machine_.SetString(home, "ORACLE_SID", "S");
    machine_.SetString(home, "ORACLE_HOME", "C:\\h");
    for (int i = 1; i <= 17; ++i) machine_.SetString(home, "ORA_I" + std::to_string(i) + "_AUTOSTART", "TRUE");
    Discover(FAMILY_ORACLE);
    ASSERT_EQ(16, Count(FAMILY_ORACLE));
    EXPECT_EQ("I16", Oracle(15).GetServerName());
}

TEST_F(DiscoveryTest, OracleScanEndsAtAValueTooLargeForItsBuffer) {
    const std::string home = "Software\\ORACLE\\KEY_OraDb10g_home1";
    machine_.CreateKey(ORACLE);
    OracleHome(machine_, home, "S", "C:\\h");
    machine_.SetString(home, "PERL5LIB", std::string(256, 'x'));  // with its NUL, one byte too many
    machine_.SetString(home, "ORA_T_AUTOSTART", "TRUE");         // never reached
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"S"}), Names(FAMILY_ORACLE));

    // An oversized value before ORACLE_SID hides the SID: the home adds nothing.
    const std::string other = "Software\\ORACLE\\KEY_OraDb10g_home2";
    machine_.SetString(other, "ORA_U_AUTOSTART", "TRUE");
    machine_.SetString(other, std::string(256, 'N'), "x");         // name too long for 256 characters
    machine_.SetString(other, "ORACLE_HOME", "C:\\u");
    machine_.SetString(other, "ORACLE_SID", "U");
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"S"}), Names(FAMILY_ORACLE));

    // 255 bytes of data and its NUL fit exactly.
    machine_.SetString(home, "PERL5LIB", std::string(255, 'x'));
    Discover(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"S", "T"}), Names(FAMILY_ORACLE));
}

TEST_F(DiscoveryTest, OracleParameterFileDecidesVersionAndFile) {
    tavtest::TempDir dir;
    const std::string stub = dir.file("initPROD.ora");
    const std::string real = dir.file("init.ora");
    tavtest::WriteFile(stub, "IFILE = '" + real + "'\n");
    tavtest::WriteFile(real, "db_name = PROD\n");
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "2");
    const std::string home0 = "Software\\ORACLE\\HOME0";
    OracleHome(machine_, home0, "PROD", "C:\\oracle\\ora90");
    machine_.SetString(home0, "ORA_DEV_AUTOSTART", "TRUE");
    machine_.SetString(home0, "ora_prod_pfile", stub);
    const std::string home1 = "Software\\ORACLE\\HOME1";
    OracleHome(machine_, home1, "ORCL", "C:\\oracle\\ora81");
    machine_.SetString(home1, "ORA_ORCL_PFILE", real);

    testing::internal::CaptureStdout();
    Discover(FAMILY_ORACLE);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(3, Count(FAMILY_ORACLE));
    // Every instance of the home shares the home SID's parameter file.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ("9.0.1", Oracle(i).GetServerVersion());
        EXPECT_EQ(real, Oracle(i).GetInitoraFilename());
    }
    EXPECT_EQ("C:\\oracle\\admin\\DEV\\bdump\\DEVALRT.LOG", Oracle(1).GetErrorlogName());
    EXPECT_EQ("8.1.X", Oracle(2).GetServerVersion());
    EXPECT_EQ(real, Oracle(2).GetInitoraFilename());
    EXPECT_EQ("C:\\oracle\\admin\\ORCL\\bdump\\ORCLALRT.LOG", Oracle(2).GetErrorlogName());
}

TEST_F(DiscoveryTest, OracleMissingParameterFileCountsAsItsOwn) {
    tavtest::TempDir dir;
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "1");
    OracleHome(machine_, "Software\\ORACLE\\HOME0", "ORCL", "C:\\oracle\\ora81");
    machine_.SetString("Software\\ORACLE\\HOME0", "ORA_ORCL_PFILE", dir.file("gone.ora"));
    Discover(FAMILY_ORACLE);
    ASSERT_EQ(1, Count(FAMILY_ORACLE));
    EXPECT_EQ("8.1.X", Oracle(0).GetServerVersion());
    EXPECT_EQ(dir.file("gone.ora"), Oracle(0).GetInitoraFilename());
    list_->ReadInitFiles(FAMILY_ORACLE);
    EXPECT_EQ(1, Oracle(0).GetIsServerValid());  // named by discovery
}

TEST_F(DiscoveryTest, OracleParameterFileNamesEmptyInstanceAndOnlyThat) {
    tavtest::TempDir dir;
    tavtest::WriteFile(dir.file("init.ora"), "db_name = qa_db\n");
    const std::string home = "Software\\ORACLE\\HOME0";
    machine_.SetString(ALL_HOMES, "HOME_COUNTER", "1");
    machine_.SetString(home, "ORA_AUTOSTART", "TRUE");
    OracleHome(machine_, home, "QA", "C:\\oracle\\ora81");
    machine_.SetString(home, "ORA_QA_PFILE", dir.file("init.ora"));
    OracleHome(machine_, "Software\\ORACLE\\KEY_OraDb10g_home1", "TEN", "C:\\oracle\\db_1");
    Discover(FAMILY_ORACLE);
    list_->ReadInitFiles(FAMILY_ORACLE);
    EXPECT_EQ((std::vector<std::string>{"qa_db", "QA", "TEN"}), Names(FAMILY_ORACLE));
    EXPECT_EQ(1, Oracle(0).GetIsServerValid());
    EXPECT_EQ(1, Oracle(1).GetIsServerValid());
    EXPECT_EQ(0, Oracle(2).GetIsServerValid());  // 10g: no parameter file
}

// -- Microsoft SQL Server

namespace {

const char* const SQL_ROOT = "Software\\Microsoft\\Microsoft SQL Server";

void DefaultInstance(MemoryRegistry& machine, const std::string& errorParameter = "-eC:\\MSSQL\\LOG\\ERRORLOG") {
    machine.SetString("Software\\Microsoft\\MSSQLServer\\Setup", "SQLPath", "C:\\MSSQL");
    machine.SetString("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\CurrentVersion", "CurrentVersion", "8.00.194");
    machine.SetString("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters", "SQLArg0", "-dC:\\master.mdf");
    machine.SetString("Software\\Microsoft\\MSSQLServer\\MSSQLServer\\Parameters", "SQLArg1", errorParameter);
}

void NamedInstance(MemoryRegistry& machine, const std::string& name, bool withSqlPath = true) {
    const std::string base = std::string(SQL_ROOT) + "\\" + name;
    if (withSqlPath)
        machine.SetString(base + "\\Setup", "SQLPath", "C:\\MSSQL$" + name);
    else
        machine.CreateKey(base + "\\Setup");
    machine.SetString(base + "\\MSSQLServer\\CurrentVersion", "CurrentVersion", "8.00." + name);
    machine.SetString(base + "\\MSSQLServer\\Parameters", "SQLArg1", "-eC:\\MSSQL$" + name + "\\ERRORLOG");
}

void InstalledInstances(MemoryRegistry& machine, const std::string& data) {
    machine.SetValue(SQL_ROOT, "InstalledInstances", tavplat::VALUE_MULTI_SZ, Bytes(data));
}

}  // namespace

TEST_F(DiscoveryTest, MsSqlWithoutInstanceListFindsTheDefaultInstance) {
    DefaultInstance(machine_, "  \t-eD:\\log\\ERRORLOG \t ");
    Discover(FAMILY_MSSQL);
    ASSERT_EQ(1, Count(FAMILY_MSSQL));
    CDbServer& server = At(0, FAMILY_MSSQL);
    EXPECT_EQ("DBHOST01", server.GetServerName());
    EXPECT_EQ("DBHOST01", server.GetClusterServer());
    EXPECT_EQ("MSSQLServer", server.GetServiceName());
    EXPECT_EQ("C:\\MSSQL", server.GetDollarServer());
    EXPECT_EQ("8.00.194", server.GetServerVersion());
    EXPECT_EQ("D:\\log\\ERRORLOG", server.GetErrorlogName());
    ExpectCapacities({"value 256/256"});
}

TEST_F(DiscoveryTest, MsSqlDefaultAndNamedInstances) {
    DefaultInstance(machine_);
    NamedInstance(machine_, "SALES");
    machine_.SetString(std::string(SQL_ROOT) + "\\SALES\\Cluster", "ClusterName", "SQLVS1");
    NamedInstance(machine_, "HR", false);
    NamedInstance(machine_, "mssqlserver");
    InstalledInstances(machine_, std::string("MSSQLSERVER\0SALES\0HR\0mssqlserver\0\0", 36));
    Discover(FAMILY_MSSQL);
    EXPECT_EQ((std::vector<std::string>{"DBHOST01", "SALES", "HR", "mssqlserver"}), Names(FAMILY_MSSQL));
    EXPECT_EQ("SQLVS1", At(1, FAMILY_MSSQL).GetClusterServer());
    EXPECT_EQ("C:\\MSSQL$SALES\\ERRORLOG", At(1, FAMILY_MSSQL).GetErrorlogName());
    // HR has no Cluster key and no SQLPath: the computer, and SALES's home.
    EXPECT_EQ("DBHOST01", At(2, FAMILY_MSSQL).GetClusterServer());
    EXPECT_EQ("C:\\MSSQL$SALES", At(2, FAMILY_MSSQL).GetDollarServer());
    EXPECT_EQ("8.00.HR", At(2, FAMILY_MSSQL).GetServerVersion());
    // A lower-case name is a named instance of its own.
    EXPECT_EQ("C:\\MSSQL$mssqlserver", At(3, FAMILY_MSSQL).GetDollarServer());
}

TEST_F(DiscoveryTest, MsSqlClusterNameCarriesOver) {
    NamedInstance(machine_, "A");
    NamedInstance(machine_, "B");
    machine_.SetString(std::string(SQL_ROOT) + "\\A\\Cluster", "clustername", "VS-A");
    machine_.SetString(std::string(SQL_ROOT) + "\\B\\Cluster", "ClusterIpAddr", "10.0.0.2");
    InstalledInstances(machine_, std::string("A\0B\0\0", 5));
    Discover(FAMILY_MSSQL);
    ASSERT_EQ(2, Count(FAMILY_MSSQL));
    EXPECT_EQ("VS-A", At(1, FAMILY_MSSQL).GetClusterServer());
}

TEST_F(DiscoveryTest, MsSqlMissingKeyStopsTheLaterInstances) {
    NamedInstance(machine_, "A");
    NamedInstance(machine_, "B");
    NamedInstance(machine_, "C");
    machine_.DeleteKey(std::string(SQL_ROOT) + "\\B\\MSSQLServer\\CurrentVersion");
    InstalledInstances(machine_, std::string("A\0B\0C\0\0", 7));
    Discover(FAMILY_MSSQL);
    EXPECT_EQ((std::vector<std::string>{"A"}), Names(FAMILY_MSSQL));

    machine_.DeleteKey(std::string(SQL_ROOT) + "\\A\\Setup");
    Discover(FAMILY_MSSQL);
    EXPECT_EQ(0, Count(FAMILY_MSSQL));
}

TEST_F(DiscoveryTest, MsSqlInstanceListSplitting) {
    NamedInstance(machine_, "A");
    NamedInstance(machine_, "B");
    // The last name lacks its NUL: dropped.
    InstalledInstances(machine_, std::string("A\0B", 3));
    Discover(FAMILY_MSSQL);
    EXPECT_EQ((std::vector<std::string>{"A"}), Names(FAMILY_MSSQL));
    // A double NUL ends the list.
    InstalledInstances(machine_, std::string("A\0\0B\0", 5));
    Discover(FAMILY_MSSQL);
    EXPECT_EQ((std::vector<std::string>{"A"}), Names(FAMILY_MSSQL));
    // Binary data holding names counts the same.
    machine_.SetValue(SQL_ROOT, "InstalledInstances", tavplat::VALUE_BINARY, Bytes(std::string("B\0A\0", 4)));
    Discover(FAMILY_MSSQL);
    EXPECT_EQ((std::vector<std::string>{"B", "A"}), Names(FAMILY_MSSQL));
    // An empty value, or none, lists nobody.
    InstalledInstances(machine_, "");
    Discover(FAMILY_MSSQL);
    EXPECT_EQ(0, Count(FAMILY_MSSQL));
    machine_.DeleteValue(SQL_ROOT, "InstalledInstances");
    DefaultInstance(machine_);
    Discover(FAMILY_MSSQL);
    EXPECT_EQ(0, Count(FAMILY_MSSQL));
}

TEST_F(DiscoveryTest, MsSqlListHoldsSixteenNames) {
    std::string data;
    for (int i = 0; i < 18; ++i) {
        const std::string name = "I" + std::to_string(i);
        NamedInstance(machine_, name);
        data += name + '\0';
    }
    InstalledInstances(machine_, data + '\0');
    Discover(FAMILY_MSSQL);
    EXPECT_EQ(16, Count(FAMILY_MSSQL));

    // More than 256 bytes of names: the value does not fit, nobody is listed.
    std::string big;
    for (int i = 0; i < 40; ++i) big += "INSTANCE" + std::to_string(i) + '\0';
    InstalledInstances(machine_, big + '\0');
    Discover(FAMILY_MSSQL);
    EXPECT_EQ(0, Count(FAMILY_MSSQL));
}

TEST_F(DiscoveryTest, MsSqlWithoutComputerName) {
    tavtest::ScopedEnv noName("COMPUTERNAME", nullptr);
    DefaultInstance(machine_);
    Discover(FAMILY_MSSQL);
    ASSERT_EQ(1, Count(FAMILY_MSSQL));
    EXPECT_EQ("", At(0, FAMILY_MSSQL).GetServerName());
}

// -- Sybase

namespace {

const char* const SYBASE_PRODUCT = "Software\\Sybase\\SQLServer";

void SybaseServer(MemoryRegistry& machine, const std::string& key, const std::string& type,
                  const std::string& arg1, const std::string& arg2) {
    const std::string base = "Software\\Sybase\\Server\\" + key;
    machine.SetString(base, "ServerType", type);
    machine.SetString(base + "\\Parameters", "Arg0", "-dC:\\sybase\\data\\master.dat");
    if (!arg1.empty()) machine.SetString(base + "\\Parameters", "Arg1", arg1);
    if (!arg2.empty()) machine.SetString(base + "\\Parameters", "ARG2", arg2);
}

}  // namespace

TEST_F(DiscoveryTest, SybaseServersAreNamedByTheirArguments) {
    machine_.SetString(SYBASE_PRODUCT, "RootDir", "C:\\sybase");
    machine_.SetString(SYBASE_PRODUCT, "CURRENTVERSION", "11.9.2");
    SybaseServer(machine_, "PROD", "SQLServer", "-sSYBPROD", "-eC:\\sybase\\install\\errorlog");
    SybaseServer(machine_, "PROD_BS", "BackupServer", "-SPROD_BS", "-eC:\\sybase\\backup.log");
    SybaseServer(machine_, "STAGE", "sqlserver", "-sSTAGE", "");
    SybaseServer(machine_, "TEST", "SQLServer", "-sSYBTEST", "");
    Discover(FAMILY_SYBASE);
    ASSERT_EQ(2, Count(FAMILY_SYBASE));
    CDbServer& prod = At(0, FAMILY_SYBASE);
    EXPECT_EQ("SYBPROD", prod.GetServerName());
    EXPECT_EQ("Sybase SQLServer_SYBPROD", prod.GetServiceName());
    EXPECT_EQ("C:\\sybase", prod.GetDollarServer());
    EXPECT_EQ("11.9.2", prod.GetServerVersion());
    EXPECT_EQ("C:\\sybase\\install\\errorlog", prod.GetErrorlogName());
    // No Arg2: the error log of the server before.
    EXPECT_EQ("SYBTEST", At(1, FAMILY_SYBASE).GetServerName());
    EXPECT_EQ("C:\\sybase\\install\\errorlog", At(1, FAMILY_SYBASE).GetErrorlogName());
    ExpectCapacities({"value 500/500", "key 100", "query 100", "value 80/80"});
}

TEST_F(DiscoveryTest, SybaseNeedsItsProductKey) {
    SybaseServer(machine_, "PROD", "SQLServer", "-sSYBPROD", "-eC:\\errorlog");
    Discover(FAMILY_SYBASE);
    EXPECT_EQ(0, Count(FAMILY_SYBASE));
}

TEST_F(DiscoveryTest, SybaseShortAndOversizedArguments) {
    machine_.SetString(SYBASE_PRODUCT, "RootDir", "C:\\sybase");
    SybaseServer(machine_, "A", "SQLServer", "-", "-e");
    machine_.CreateKey("Software\\Sybase\\Server\\B");                  // no ServerType
    SybaseServer(machine_, "C", "SQLServer", "-sC", "-e" + std::string(78, 'x'));  // 81 bytes: too large
    machine_.SetString("Software\\Sybase\\Server\\D", "ServerType", "SQLServer");  // no Parameters
    machine_.SetString("Software\\Sybase\\Server\\E", "ServerType", "SQLServer" + std::string(91, ' '));
    machine_.SetString("Software\\Sybase\\Server\\E\\Parameters", "Arg1", "-sE");
    Discover(FAMILY_SYBASE);
    ASSERT_EQ(2, Count(FAMILY_SYBASE));
    EXPECT_EQ("", At(0, FAMILY_SYBASE).GetServerName());
    EXPECT_EQ("Sybase SQLServer_", At(0, FAMILY_SYBASE).GetServiceName());
    EXPECT_EQ("", At(0, FAMILY_SYBASE).GetErrorlogName());
    EXPECT_EQ("C", At(1, FAMILY_SYBASE).GetServerName());
    EXPECT_EQ("", At(1, FAMILY_SYBASE).GetErrorlogName());
    EXPECT_EQ("", At(1, FAMILY_SYBASE).GetServerVersion());
}

TEST_F(DiscoveryTest, SybaseArgumentOfBinaryDataKeepsEveryByte) {
    machine_.SetString(SYBASE_PRODUCT, "RootDir", "C:\\sybase");
    machine_.SetString("Software\\Sybase\\Server\\P", "ServerType", "SQLServer");
    machine_.SetValue("Software\\Sybase\\Server\\P\\Parameters", "Arg1", tavplat::VALUE_BINARY, Bytes("-sBIN"));
    Discover(FAMILY_SYBASE);
    ASSERT_EQ(1, Count(FAMILY_SYBASE));
    EXPECT_EQ("BIN", At(0, FAMILY_SYBASE).GetServerName());
}

// -- Informix

namespace {

const char* const ONLINE = "Software\\Informix\\Online";

void InformixEnvironment(MemoryRegistry& machine, const std::string& key, const std::string& dir,
                         const std::string& server, const std::string& onconfig) {
    const std::string path = std::string(ONLINE) + "\\" + key + "\\Environment";
    machine.CreateKey(path);
    if (!dir.empty()) machine.SetString(path, "INFORMIXDIR", dir);
    if (!server.empty()) machine.SetString(path, "INFORMIXSERVER", server);
    if (!onconfig.empty()) machine.SetString(path, "ONCONFIG", onconfig);
}

}  // namespace

// "CurrentVersion" is a sub-key of Online itself, so whenever its Environment
// exists, the per-server step finds it too (when no server key sorts before it).
TEST_F(DiscoveryTest, InformixCurrentVersionOnlyGivesTwoRecords) {
    InformixEnvironment(machine_, "CurrentVersion", "C:\\informix", "ol_srv", "onconfig.std");
    machine_.SetString(std::string(ONLINE) + "\\CurrentVersion\\Setup", "Version", "7.31.UC2");
    Discover(FAMILY_INFORMIX);
    ASSERT_EQ(2, Count(FAMILY_INFORMIX));
    EXPECT_EQ("ol_ol_srv", Informix(0).GetServiceName());
    EXPECT_EQ("", Informix(0).GetServerVersion());  // no DBMS\7.30 key
    CInformixServer& current = Informix(1);
    EXPECT_EQ("ol_srv", current.GetServerName());
    EXPECT_EQ("OnLine", current.GetServiceName());
    EXPECT_EQ("C:\\informix", current.GetDollarServer());
    EXPECT_EQ("7.31.UC2", current.GetServerVersion());
    EXPECT_EQ("C:\\informix\\online.log", current.GetErrorlogName());
    EXPECT_EQ("C:\\informix\\etc\\onconfig.std", current.GetConfigFile());
    ExpectCapacities({"key 100", "value 80/80"});
}

TEST_F(DiscoveryTest, InformixServerKeyWithoutEnvironment) {
    machine_.SetString(std::string(ONLINE) + "\\ol_old\\Setup", "Version", "7.23");
    Discover(FAMILY_INFORMIX);
    ASSERT_EQ(1, Count(FAMILY_INFORMIX));
    CInformixServer& server = Informix(0);
    EXPECT_EQ("DBHOST01", server.GetServerName());
    EXPECT_EQ("ol_DBHOST01", server.GetServiceName());
    EXPECT_EQ("", server.GetDollarServer());
    EXPECT_EQ("\\online.log", server.GetErrorlogName());
    EXPECT_EQ("\\etc\\", server.GetConfigFile());
}

TEST_F(DiscoveryTest, InformixSecondRecordCarriesTheFirstOnesTexts) {
    InformixEnvironment(machine_, "arcadia", "C:\\ifx", "arcadia_tcp", "onconfig.arcadia");
    InformixEnvironment(machine_, "zeta", "Z:\\ifx", "zeta", "onconfig.zeta");  // only the first is used
    machine_.SetString("Software\\Informix\\DBMS\\7.30\\Setup", "version", "7.30.UC7");
    InformixEnvironment(machine_, "CurrentVersion", "E:\\ifx731", "", "");
    machine_.SetString(std::string(ONLINE) + "\\CurrentVersion\\Setup", "Product", "IDS");
    Discover(FAMILY_INFORMIX);
    ASSERT_EQ(2, Count(FAMILY_INFORMIX));
    EXPECT_EQ("arcadia_tcp", Informix(0).GetServerName());
    EXPECT_EQ("C:\\ifx\\etc\\onconfig.arcadia", Informix(0).GetConfigFile());
    EXPECT_EQ("7.30.UC7", Informix(0).GetServerVersion());
    EXPECT_EQ("arcadia_tcp", Informix(1).GetServerName());
    EXPECT_EQ("7.30.UC7", Informix(1).GetServerVersion());
    EXPECT_EQ("E:\\ifx731\\etc\\C:\\ifx\\etc\\onconfig.arcadia", Informix(1).GetConfigFile());
}

TEST_F(DiscoveryTest, InformixNeedsCurrentVersionSetupForTheSecondRecord) {
    InformixEnvironment(machine_, "CurrentVersion", "C:\\informix", "ol_srv", "onconfig.std");
    Discover(FAMILY_INFORMIX);
    EXPECT_EQ(1, Count(FAMILY_INFORMIX));
    machine_.DeleteKey("Software\\Informix");
    Discover(FAMILY_INFORMIX);
    EXPECT_EQ(0, Count(FAMILY_INFORMIX));
}
