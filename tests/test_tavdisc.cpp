// Server records, the server list, and discovery of the four families.
#include "discovery/tavdisc.h"
#include "platform/RegistryReader.h"
#include "tav_testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
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
