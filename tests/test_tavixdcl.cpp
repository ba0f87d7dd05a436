// The install-parameter table, the monitored set and the generated agent files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "generate/tavixdcl.h"
#include "platform/Process.h"
#include "setup/tavixext.h"
#include "tav_testutil.h"

namespace fs = std::filesystem;
using tavtest::ReadFile;
using tavtest::ScopedCwd;
using tavtest::ScopedEnv;
using tavtest::TempDir;
using tavtest::WriteFile;

// Reads the fields that have no getter.
class CInstallParamsAccess {
public:
    static const std::string& CellName(const CInstallParams& p) { return p.cell_name; }
    static const std::string& DllPath(const CInstallParams& p) { return p.dll_path; }
};

namespace {

class TestServer : public CDbServer {
public:
    explicit TestServer(int family) : CDbServer(family) {}
    void Dump(FILE*) override {}
};

// Counts destructions, to see that the set destroys each entry exactly once.
class CountedEntry : public CMonitoredServer {
public:
    explicit CountedEntry(int* counter) : counter_(counter) {}
    ~CountedEntry() override { ++*counter_; }

private:
    int* counter_;
};

struct Entry {
    const char* name;
    const char* errorlog;
    const char* home;
    const char* version;
    const char* login;
    const char* password;
    const char* cluster;
};

CMonitoredServer* MakeEntry(const Entry& e) {
    auto* entry = new CMonitoredServer;
    entry->SetServerName(e.name);
    entry->SetErrorlogName(e.errorlog);
    entry->SetDollarServer(e.home);
    entry->SetServerVersion(e.version);
    entry->SetLogin(e.login);
    entry->SetPassword(e.password);
    entry->SetClusterServer(e.cluster);
    return entry;
}

CMonitoredServer* NamedEntry(const char* name, const char* version = "", const char* home = "") {
    return MakeEntry({name, "", home, version, "", "", ""});
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Every regular file below a directory, by its path relative to it.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file())
            files[fs::relative(item.path(), root).generic_string()] = ReadFile(item.path().string());
    return files;
}

// Runs a generation with the console captured; returns what it printed.
std::string Generate(CInstallParams& params) {
    testing::internal::CaptureStdout();
    params.GenerateConfiguration();
    return testing::internal::GetCapturedStdout();
}

// A configuration directory of its own inside a temporary directory that is
// also the current directory (where "tavtset.ini" is looked for).
struct Workspace {
    TempDir temp;
    ScopedCwd cwd{temp.path()};
    std::string etc = (temp.path() / "etc").string();
    Workspace() { fs::create_directory(etc); }
    std::string EtcFile(const std::string& name) const { return etc + "\\" + name; }
    std::string Native(const std::string& name) const { return (fs::path(etc) / name).string(); }
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Makes a directory read-only; false when that does not keep files out (root, some file systems).
bool MakeReadOnly(const fs::path& dir) {
    fs::permissions(dir, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const fs::path probe = dir / "probe.tmp";
    std::ofstream(probe.string()) << "x";
    if (!fs::exists(probe)) return true;
    std::error_code ec;
    fs::remove(probe, ec);
    return false;
}

void MakeWritable(const fs::path& dir) {
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
}

}  // namespace

// ---- the monitored set ----------------------------------------------------------

TEST(MonitoredSet, EntryTakesTheRecordsFieldsAndEmptiesTheLogin) {
    TestServer server(FAMILY_MSSQL);
    server.SetServerName("SALES");
    server.SetServiceName("MSSQL$SALES");
    server.SetErrorlogName("C:\\log\\ERRORLOG");
    server.SetDollarServer("C:\\mssql");
    server.SetServerVersion("8.00.194");
    server.SetClusterServer("VS1");
    CMonitoredServer entry;
    EXPECT_EQ(entry.GetServerFamily(), FAMILY_NEW);
    entry.SetLogin("old");
    entry.SetPassword("secret");
    entry.AssignFromServer(server);
    EXPECT_EQ(entry.GetServerFamily(), FAMILY_MSSQL);
    EXPECT_EQ(entry.GetServerName(), "SALES");
    EXPECT_EQ(entry.GetServiceName(), "MSSQL$SALES");
    EXPECT_EQ(entry.GetErrorlogName(), "C:\\log\\ERRORLOG");
    EXPECT_EQ(entry.GetDollarServer(), "C:\\mssql");
    EXPECT_EQ(entry.GetServerVersion(), "8.00.194");
    EXPECT_EQ(entry.GetClusterServer(), "VS1");
    EXPECT_EQ(entry.GetLogin(), "");
    EXPECT_EQ(entry.GetPassword(), "");
}

TEST(MonitoredSet, FindMatchesAllFiveFieldsAndReturnsTheFirst) {
    CInstallParams params;
    TestServer server(FAMILY_SYBASE);
    server.SetServerName("SYB");
    server.SetServiceName("SYBSQL_SYB");
    server.SetServerVersion("12.5");
    auto* first = new CMonitoredServer;
    first->AssignFromServer(server);
    auto* second = new CMonitoredServer;
    second->AssignFromServer(server);
    auto* typedIn = NamedEntry("SYB", "12.5");  // no service name: does not match
    params.AddMonitored(typedIn, FAMILY_SYBASE);
    params.AddMonitored(first, FAMILY_SYBASE);
    params.AddMonitored(second, FAMILY_SYBASE);
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_SYBASE), first);
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_ORACLE), nullptr);
    server.SetErrorlogName("other");
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_SYBASE), nullptr);
    server.SetErrorlogName("");
    server.SetServerName("syb");  // compared with case
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_SYBASE), nullptr);
}

TEST(MonitoredSet, RemoveTakesExactlyThePointerGiven) {
    int destroyed = 0;
    CInstallParams params;
    auto* a = new CountedEntry(&destroyed);
    auto* b = new CountedEntry(&destroyed);
    auto* c = new CountedEntry(&destroyed);
    for (auto* e : {a, b, c}) {
        e->SetServerName("SAME");
        params.AddMonitored(e, FAMILY_ORACLE);
    }
    params.RemoveMonitored(b, FAMILY_ORACLE);
    EXPECT_EQ(destroyed, 1);
    ASSERT_EQ(params.GetMonitoredCount(FAMILY_ORACLE), 2);
    EXPECT_EQ(params.GetMonitoredAt(0, FAMILY_ORACLE), a);
    EXPECT_EQ(params.GetMonitoredAt(1, FAMILY_ORACLE), c);

    CountedEntry stranger(&destroyed);
    params.RemoveMonitored(&stranger, FAMILY_ORACLE);
    params.RemoveMonitored(a, FAMILY_SYBASE);  // not in that family's sequence
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(params.GetMonitoredCount(FAMILY_ORACLE), 2);
    EXPECT_EQ(params.GetMonitoredAt(2, FAMILY_ORACLE), nullptr);
    EXPECT_EQ(params.GetMonitoredAt(-1, FAMILY_ORACLE), nullptr);
}

TEST(MonitoredSet, DestroyingTheTableDestroysEveryEntryOnce) {
    int destroyed = 0;
    {
        CInstallParams params;
        for (int family : {0, FAMILY_ORACLE, FAMILY_NEW, 15})
            for (int i = 0; i < 3; ++i) params.AddMonitored(new CountedEntry(&destroyed), family);
        params.AddMonitored(new CountedEntry(&destroyed), 16);  // no such sequence: not kept, not leaked
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(params.GetMonitoredCount(16), 0);
    }
    EXPECT_EQ(destroyed, 13);
}

// ---- install parameters -----------------------------------------------------------

class InstallParameters : public testing::Test {
protected:
    void SetUp() override {
        EtcPath.clear();
        LogPath.clear();
        DllPath.clear();
        BinPath.clear();
    }
    void TearDown() override { SetUp(); }
    void FillFromEnvironment(CInstallParams& p) {
        testing::internal::CaptureStdout();  // records of unset variables
        p.SetCellName("CELLNAME");
        p.SetEtcPath("ETCPATH");
        p.SetComputerName("COMPUTERNAME");
        p.SetLogPath("LOGPATH");
        p.SetDllPath("DLLPATH");
        p.SetBinPath("BINPATH");
        p.SetPortNumber("PORTNUMBER");
        testing::internal::GetCapturedStdout();
    }
};

TEST_F(InstallParameters, EachSetterStoresItsOwnVariable) {
    ScopedEnv e1("CELLNAME", "cell1"), e2("ETCPATH", "E:\\etc"), e3("COMPUTERNAME", "HOST1"),
        e4("LOGPATH", "L:\\log"), e5("DLLPATH", "D:\\dll"), e6("BINPATH", "B:\\bin"), e7("PORTNUMBER", "2001");
    CInstallParams p;
    FillFromEnvironment(p);
    EXPECT_EQ(CInstallParamsAccess::CellName(p), "cell1");
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW), "E:\\etc");
    EXPECT_EQ(p.GetComputerName(), "HOST1");
    EXPECT_EQ(p.GetLogPath(PARAM_RAW), "L:\\log");
    EXPECT_EQ(CInstallParamsAccess::DllPath(p), "D:\\dll");
    EXPECT_EQ(p.GetBinPath(PARAM_RAW), "B:\\bin");
    EXPECT_EQ(p.GetPortNumber(PARAM_RAW), "2001");
}

TEST_F(InstallParameters, RegistryPathsWinOverTheEnvironment) {
    ScopedEnv e2("ETCPATH", "E:\\etc"), e4("LOGPATH", "L:\\log"), e5("DLLPATH", "D:\\dll"),
        e6("BINPATH", "B:\\bin"), e7("PORTNUMBER", "2001"), e3("COMPUTERNAME", "HOST1");
    EtcPath = "R:\\etc";
    LogPath = "R:\\log";
    DllPath = "R:\\dll";
    BinPath = "R:\\bin";
    CInstallParams p;
    FillFromEnvironment(p);
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW), "R:\\etc");
    EXPECT_EQ(p.GetLogPath(PARAM_RAW), "R:\\log");
    EXPECT_EQ(CInstallParamsAccess::DllPath(p), "R:\\dll");
    EXPECT_EQ(p.GetBinPath(PARAM_RAW), "R:\\bin");
    EXPECT_EQ(p.GetPortNumber(PARAM_RAW), "2001");
    EXPECT_EQ(p.GetComputerName(), "HOST1");
}

TEST_F(InstallParameters, UnsetVariablesLeaveEmptyValues) {
    ScopedEnv e1("CELLNAME", nullptr), e2("ETCPATH", nullptr), e6("BINPATH", nullptr),
        e7("PORTNUMBER", nullptr);
    CInstallParams p;
    testing::internal::CaptureStdout();  // the runtime's records go there without a message file
    p.SetCellName("CELLNAME");
    p.SetEtcPath("ETCPATH");
    p.SetBinPath("BINPATH");
    p.SetPortNumber("PORTNUMBER");
    const std::string records = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Contains(records, "UEN0015W")) << records;
    for (const char* name : {"CELLNAME", "ETCPATH", "BINPATH", "PORTNUMBER"})
        EXPECT_TRUE(Contains(records, "Environment variable \"" + std::string(name) + "\" not set")) << name;
    EXPECT_EQ(CInstallParamsAccess::CellName(p), "");
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW), "");
    EXPECT_EQ(p.GetBinPath(PARAM_RAW), "");
    EXPECT_EQ(p.GetPortNumber(PARAM_RAW), "");
}

#if !defined(_WIN32)  // the Windows C runtime holds no empty variables
TEST_F(InstallParameters, EmptyVariableIsReportedAsNotAvailable) {
    ScopedEnv port("PORTNUMBER", "");
    CInstallParams p;
    testing::internal::CaptureStdout();
    p.SetPortNumber("PORTNUMBER");
    const std::string records = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Contains(records, "UEN0010W")) << records;
    EXPECT_TRUE(Contains(records, "Environment variable \"PORTNUMBER\" is not available")) << records;
    EXPECT_EQ(p.GetPortNumber(PARAM_RAW), "");
    EXPECT_EQ(p.GetPortNumber(PARAM_RESOLVED), "1999");
}
#endif

TEST_F(InstallParameters, TokensDoNotDependOnTheValue) {
    CInstallParams p;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(p.GetEtcPath(PARAM_AT_TOKEN), "@ETCPATH@");
        EXPECT_EQ(p.GetEtcPath(PARAM_PERCENT_TOKEN), "%ETCPATH%");
        EXPECT_EQ(p.GetLogPath(PARAM_AT_TOKEN), "@LOGPATH@");
        EXPECT_EQ(p.GetLogPath(PARAM_PERCENT_TOKEN), "%LOGPATH%");
        EXPECT_EQ(p.GetPortNumber(PARAM_AT_TOKEN), "@PORTNUMBER@");
        EXPECT_EQ(p.GetPortNumber(PARAM_PERCENT_TOKEN), "%PORTNUMBER%");
        EXPECT_EQ(p.GetBinPath(PARAM_AT_TOKEN), "@BINPATH@");
        EXPECT_EQ(p.GetBinPath(PARAM_PERCENT_TOKEN), "%BINPATH%");
        for (const char* name : {"ETCPATH", "LOGPATH", "PORTNUMBER", "BINPATH"}) p.SetStored(name, "x");
    }
}

TEST_F(InstallParameters, ResolvedValuesFallBackInChain) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    const std::string current = fs::current_path().string();
    CInstallParams p;
    EXPECT_EQ(p.GetEtcPath(PARAM_RESOLVED), current);
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW), "");  // the fallback is not stored
    EXPECT_EQ(p.GetBinPath(PARAM_RESOLVED), current);
    EXPECT_EQ(p.GetLogPath(PARAM_RESOLVED), "\\log");  // not the current directory
    EXPECT_EQ(p.GetPortNumber(PARAM_RESOLVED), "1999");

    p.SetStored("ETCPATH", "E:\\veltra");
    EXPECT_EQ(p.GetEtcPath(PARAM_RESOLVED), "E:\\veltra");
    EXPECT_EQ(p.GetLogPath(PARAM_RESOLVED), "E:\\veltra\\log");
    EXPECT_EQ(p.GetBinPath(PARAM_RESOLVED), "E:\\veltra");

    p.SetStored("LOGPATH", "L:\\logs");
    p.SetStored("BINPATH", "B:\\bin");
    p.SetStored("PORTNUMBER", "4000");
    EXPECT_EQ(p.GetLogPath(PARAM_RESOLVED), "L:\\logs");
    EXPECT_EQ(p.GetBinPath(PARAM_RESOLVED), "B:\\bin");
    EXPECT_EQ(p.GetPortNumber(PARAM_RESOLVED), "4000");
}

// ---- golden files -------------------------------------------------------------------

namespace {

void ExpectGolden(const std::string& scenario, const fs::path& outputRoot,
                  const std::map<std::string, std::string>& placeholders) {
    const fs::path golden = fs::path(TAV_TEST_DATA) / "golden" / "generate" / scenario;
    auto expected = FilesBelow(golden / "expected");
    auto actual = FilesBelow(outputRoot);
    actual.erase("tavtset.ini");
    std::vector<std::string> expectedNames, actualNames;
    for (const auto& [name, text] : expected) expectedNames.push_back(name);
    for (const auto& [name, text] : actual) actualNames.push_back(name);
    ASSERT_EQ(actualNames, expectedNames);
    for (auto& [name, text] : expected) {
        std::string want = text;
        for (const auto& [from, to] : placeholders) want = Replace(want, from, to);
        EXPECT_EQ(actual[name], want) << "in " << scenario << "/" << name;
    }
}

void CopyLocalSettingsOf(const std::string& scenario, const fs::path& dir) {
    const fs::path source = fs::path(TAV_TEST_DATA) / "golden" / "generate" / scenario / "tavtset.ini";
    if (fs::exists(source)) fs::copy_file(source, dir / "tavtset.ini");
}

}  // namespace

TEST(GoldenFiles, OracleVersionsEmptyFieldsAndLocalSettings) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    CopyLocalSettingsOf("oracle", temp.path());
    const std::string etc = temp.str();
    CInstallParams p;
    p.SetStored("ETCPATH", etc.c_str());
    p.SetStored("LOGPATH", "D:\\veltra\\log");
    p.SetStored("PORTNUMBER", "2001");
    p.SetStored("COMPUTERNAME", "ORAHOST");
    p.AddMonitored(MakeEntry({"ORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_ORCL.log", "C:\\oracle\\ora81",
                              "8.1.7", "system", "k3Jq9zX1", ""}), FAMILY_ORACLE);
    p.AddMonitored(MakeEntry({"PROD", "E:\\logs\\alert_PROD.log", "C:\\oracle\\ora92", "9.2.0", "dbsnmp",
                              "pw%d%%x", ""}), FAMILY_ORACLE);
    p.AddMonitored(MakeEntry({"LEGACY", "", "", "8.0.5", "", "", ""}), FAMILY_ORACLE);
    Generate(p);
    ExpectGolden("oracle", temp.path(), {{"<ETC>", etc}});
}

TEST(GoldenFiles, SybaseOcsRulesUnsetPortAndSubdirectory) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    CopyLocalSettingsOf("sybase", temp.path());
    const std::string etc = temp.str();
    CInstallParams p;
    p.SetStored("ETCPATH", etc.c_str());
    p.SetStored("BINPATH", "C:\\veltra\\bin");
    p.SetStored("COMPUTERNAME", "SYBHOST");
    p.AddMonitored(MakeEntry({"SYB11", "C:\\sybase\\install\\errorlog", "C:\\sybase", "11.9.2", "sa", "Zm9v", ""}),
                   FAMILY_SYBASE);
    p.AddMonitored(MakeEntry({"SYB125", "C:\\sybase12\\ASE-12_5\\install\\SYB125.log", "C:\\sybase12", "12.5",
                              "sa", "YmFy", ""}), FAMILY_SYBASE);
    p.AddMonitored(MakeEntry({"SYB12", "", "D:\\syb", "12", "", "", ""}), FAMILY_SYBASE);
    p.AddMonitored(MakeEntry({"GRP\\SYB15", "E:\\sybase15\\ASE-15_0\\install\\SYB15.log", "E:\\sybase15",
                              "15.", "mon", "cXV4", ""}), FAMILY_SYBASE);
    const std::string console = Generate(p);
    ExpectGolden("sybase", temp.path(), {{"<ETC>", etc}});
    // The subdirectory is made after the first open failed.
    EXPECT_TRUE(Contains(console, "\nCan't open file '" + etc + "\\Sybase_GRP\\SYB15.bat'\n"));
}

TEST(GoldenFiles, MsSqlNamedInstancesInTheCurrentDirectory) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    ScopedEnv machine("COMPUTERNAME", "HostA");
    CInstallParams p;  // no ETCPATH, LOGPATH, BINPATH: the current directory and "\log"
    p.SetStored("PORTNUMBER", "3000");
    p.AddMonitored(MakeEntry({"hosta", "C:\\MSSQL7\\LOG\\ERRORLOG", "C:\\MSSQL7", "7.00.623", "sa", "c2E=", ""}),
                   FAMILY_MSSQL);
    p.AddMonitored(MakeEntry({"SALES", "C:\\Program Files\\Microsoft SQL Server\\MSSQL$SALES\\LOG\\ERRORLOG",
                              "C:\\Program Files\\Microsoft SQL Server\\MSSQL$SALES", "8.00.194", "monitor",
                              "bW9u", "VSCLUSTER"}), FAMILY_MSSQL);
    Generate(p);
    ExpectGolden("mssql", temp.path(), {{"<CWD>", tavplat::CurrentDirectory()}});
}

TEST(GoldenFiles, InformixCommonCollector) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    CopyLocalSettingsOf("informix", temp.path());
    const std::string etc = temp.str();
    CInstallParams p;
    p.SetStored("ETCPATH", etc.c_str());
    p.SetStored("LOGPATH", "L:\\veltra\\logs");
    p.SetStored("BINPATH", (etc + "\\bin").c_str());  // holds no tavcoll.exe
    p.SetStored("PORTNUMBER", "4100");
    p.SetStored("COMPUTERNAME", "IFXHOST");
    p.use_common_collector = 1;
    p.AddMonitored(MakeEntry({"ol_ifx1", "C:\\informix\\online.log", "C:\\informix", "9.30", "informix", "aW5m",
                              ""}), FAMILY_INFORMIX);
    p.AddMonitored(MakeEntry({"ol_ifx2", "", "", "", "", "", ""}), FAMILY_INFORMIX);
    Generate(p);
    ExpectGolden("informix", temp.path(), {{"<ETC>", etc}});
}

// ---- the rules ------------------------------------------------------------------------

namespace {

// Generates one entry of a family and returns its batch and configuration files.
struct GeneratedPair {
    std::string batch, ini;
};

GeneratedPair GenerateOne(int family, CMonitoredServer* entry, int commonCollector = 0) {
    static const std::map<int, std::pair<std::string, std::string>> NAMES = {
        {FAMILY_ORACLE, {"Oracle_", "TUOVMA_"}},
        {FAMILY_SYBASE, {"Sybase_", "TUSVMA_"}},
        {FAMILY_MSSQL, {"MSMSQL_", "TUMVMA_"}},
        {FAMILY_INFORMIX, {"Informix_", "TUIVMA_"}}};
    Workspace w;
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.use_common_collector = commonCollector;
    const std::string name = entry->GetServerName();
    p.AddMonitored(entry, family);
    Generate(p);
    const auto& [batch, ini] = NAMES.at(family);
    return {ReadFile(w.Native(batch + name + ".bat")), ReadFile(w.Native(ini + name + ".ini"))};
}

}  // namespace

TEST(VersionRules, OracleVersionPicksTheProgramsOfTheRelease) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"8.1.7", "TU8"}, {"8.1", "TU8"}, {"8.0.5", "TUO"}, {"8", "TUO"}, {"9.2.0", "TU9"},
        {"9", "TU9"}, {"10.1.0", "TUO"}, {"", "TUO"}, {" 9", "TUO"}};
    for (const auto& [version, code] : cases) {
        auto files = GenerateOne(FAMILY_ORACLE, NamedEntry("ORCL", version));
        const std::string c = code;
        EXPECT_TRUE(Contains(files.batch, "\r\nSET COLL_VERSION=" + c + "\r\n")) << version;
        EXPECT_TRUE(Contains(files.batch, "\r\nSTART /MIN " + c + "COLL -console \r\n")) << version;
        EXPECT_TRUE(Contains(files.ini, "\r\nCOLL_VERSION=" + c + "\r\n")) << version;
        EXPECT_TRUE(Contains(files.ini, "\r\nService=" + c + "COLL.EXE -Hkey")) << version;
        EXPECT_TRUE(Contains(files.ini, "\r\nName=TUOCOLL0\r\n")) << version;
    }
}

TEST(VersionRules, SybaseOcsDirectoryFromRelease12On) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"11.9.2", "H:\\syb"}, {"12.5", "H:\\syb\\OCS-12_5"}, {"15.0", "H:\\syb\\OCS-12_0"},
        {"12", "H:\\syb\\OCS-12_1"}, {"12.", "H:\\syb\\OCS-12_"}, {"12.5.1", "H:\\syb\\OCS-12_5"},
        {"abc", "H:\\syb"}, {"", "H:\\syb"}, {"-12.5", "H:\\syb"}, {" 12.5", "H:\\syb\\OCS-12_5"},
        {"99999999999999999999.3", "H:\\syb\\OCS-12_3"}};
    for (const auto& [version, ocs] : cases) {
        auto files = GenerateOne(FAMILY_SYBASE, NamedEntry("SYB", version, "H:\\syb"));
        const std::string o = ocs;
        EXPECT_TRUE(Contains(files.batch, "\r\nSET SYBASE_OCS=" + o + "\r\n")) << version;
        EXPECT_TRUE(Contains(files.ini, "\r\nSYBASE_OCS=" + o + "\r\n")) << version;
    }
}

TEST(VersionRules, MsSqlDefaultInstanceCarriesTheMachineName) {
    {
        ScopedEnv machine("COMPUTERNAME", "HostA");
        for (const char* name : {"HOSTA", "hosta", "HostA"}) {
            auto files = GenerateOne(FAMILY_MSSQL, NamedEntry(name));
            EXPECT_TRUE(Contains(files.batch, "\r\nSET TUM_NAMED_INSTANCE=0\r\n")) << name;
            EXPECT_TRUE(Contains(files.ini, "\r\nTUM_NAMED_INSTANCE=0\r\n")) << name;
        }
        auto files = GenerateOne(FAMILY_MSSQL, NamedEntry("SALES"));
        EXPECT_TRUE(Contains(files.batch, "\r\nSET TUM_NAMED_INSTANCE=1\r\n"));
        EXPECT_TRUE(Contains(files.ini, "\r\nTUM_NAMED_INSTANCE=1\r\n"));
    }
    ScopedEnv machine("COMPUTERNAME", nullptr);
    auto files = GenerateOne(FAMILY_MSSQL, NamedEntry("HOSTA"));
    EXPECT_TRUE(Contains(files.batch, "\r\nSET TUM_NAMED_INSTANCE=1\r\n"));
    EXPECT_TRUE(Contains(files.ini, "\r\nTUM_NAMED_INSTANCE=1\r\n"));
}

TEST(CollectorChoice, StartsWithTheFamilysOwnProgram) {
    CInstallParams p;
    EXPECT_EQ(p.use_common_collector, 0);
    auto files = GenerateOne(FAMILY_SYBASE, NamedEntry("SYB"));
    EXPECT_TRUE(Contains(files.batch, "START /MIN TUSCOLL -console \r\n"));
    EXPECT_TRUE(Contains(files.ini, "Service=TUSCOLL.EXE"));
    EXPECT_TRUE(Contains(files.ini, "Service=TUSAGENT.EXE"));
}

TEST(CollectorChoice, PresentCommonCollectorClearsTheFlag) {
    Workspace w;
    fs::create_directory(w.Native("bin"));
    WriteFile(w.Native("bin/tavcoll.exe"), "");
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.SetStored("BINPATH", w.EtcFile("bin").c_str());
    p.use_common_collector = 1;
    p.AddMonitored(NamedEntry("ORCL", "9.2"), FAMILY_ORACLE);
    Generate(p);
    EXPECT_EQ(p.use_common_collector, 0);
    EXPECT_TRUE(Contains(ReadFile(w.Native("Oracle_ORCL.bat")), "START /MIN TU9COLL -console \r\n"));
    EXPECT_TRUE(Contains(ReadFile(w.Native("TUOVMA_ORCL.ini")), "Service=TU9COLL.EXE"));
}

// ---- the driver -------------------------------------------------------------------------

TEST(Generation, WritesBatchFilesThenConfigurationFilesInSetOrder) {
    Workspace w;
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    for (const char* name : {"S1", "S2", "S3"}) p.AddMonitored(NamedEntry(name), FAMILY_SYBASE);
    WriteFile(w.Native("tusinc.ini"), "[Include]\r\nAdd=stale\r\n");
    WriteFile(w.Native("TUSVMA_S2.ini"), std::string(10000, 'x'));
    // A second name for the old file shows whether it was removed or only emptied.
    std::error_code linkError;
    const std::string keep = (w.temp.path() / "keep.ini").string();
    fs::create_hard_link(w.Native("TUSVMA_S2.ini"), keep, linkError);
    const std::string console = Generate(p);
    if (!linkError) {
        EXPECT_EQ(ReadFile(keep), std::string(10000, 'x'));
    }

    std::string expectedConsole;
    for (const char* kind : {"Sybase_%.bat", "TUSVMA_%.ini"})
        for (const char* name : {"S1", "S2", "S3"})
            expectedConsole += "Finished generating " + w.EtcFile(Replace(kind, "%", name)) + " file\n";
    EXPECT_EQ(console, expectedConsole);
    EXPECT_EQ(ReadFile(w.Native("tusinc.ini")), "\r\n[Include]\r\nAdd=" + w.EtcFile("TUSVMA_S1.ini") +
                                                    "\r\nAdd=" + w.EtcFile("TUSVMA_S2.ini") + "\r\nAdd=" +
                                                    w.EtcFile("TUSVMA_S3.ini") + "\r\n");
    EXPECT_FALSE(Contains(ReadFile(w.Native("TUSVMA_S2.ini")), "xxx"));
}

TEST(Generation, UnknownFamilyEndsTheGeneration) {
    {
        Workspace w;
        CInstallParams p;
        p.SetStored("ETCPATH", w.etc.c_str());
        p.AddMonitored(NamedEntry("ORCL"), FAMILY_ORACLE);
        p.AddMonitored(NamedEntry("NEW1"), FAMILY_NEW);
        p.AddMonitored(NamedEntry("LATE"), 6);
        Generate(p);
        EXPECT_EQ(FilesBelow(w.etc).size(), 3u);  // the Oracle include, batch and configuration files
    }
    Workspace w;
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("ZERO"), 0);
    p.AddMonitored(NamedEntry("SYB"), FAMILY_SYBASE);
    Generate(p);
    EXPECT_TRUE(FilesBelow(w.etc).empty());
}

// The child of a death test runs the test body again from its start: what
// it needs must not be made anew there, or it is left behind.

TEST(GenerationDeathTest, MissingConfigurationDirectoryEndsTheProcess) {
    const std::string missing = (fs::temp_directory_path() / "tavtest-generate-no-such-dir").string();
    ASSERT_FALSE(fs::exists(missing));
    CInstallParams oracle;
    oracle.SetStored("ETCPATH", missing.c_str());
    oracle.AddMonitored(NamedEntry("ORCL"), FAMILY_ORACLE);
    EXPECT_EXIT(oracle.GenerateConfiguration(), testing::ExitedWithCode(100), "");
    for (int family : {FAMILY_SYBASE, FAMILY_MSSQL, FAMILY_INFORMIX}) {
        CInstallParams p;
        p.SetStored("ETCPATH", missing.c_str());
        p.AddMonitored(NamedEntry("DB"), family);
        EXPECT_EXIT(p.GenerateConfiguration(), testing::ExitedWithCode(110), "") << family;
    }
    EXPECT_FALSE(fs::exists(missing));
}

TEST(GenerationDeathTest, ReadOnlyConfigurationDirectoryEndsTheProcess) {
    const char* VARIABLE = "TAVTEST_READONLY_ETC";
    std::optional<TempDir> temp;
    std::string etc;
    if (const char* parents = std::getenv(VARIABLE)) {
        etc = parents;  // in the death test's child
    } else {
        temp.emplace();
        etc = temp->str();
    }
    if (!MakeReadOnly(etc)) {
        MakeWritable(etc);
        GTEST_SKIP() << "a read-only directory still takes files here (running as root, or Windows)";
    }
    ScopedEnv shared(VARIABLE, etc.c_str());
    CInstallParams p;
    p.SetStored("ETCPATH", etc.c_str());
    p.AddMonitored(NamedEntry("SYB"), FAMILY_SYBASE);
    EXPECT_EXIT(p.GenerateConfiguration(), testing::ExitedWithCode(110), "");
    MakeWritable(etc);
    EXPECT_TRUE(FilesBelow(etc).empty());
}

// ---- output file preparation -------------------------------------------------------------

TEST(OutputFiles, ParentDirectoriesAreMadeFromTheTopDown) {
    Workspace w;
    CInstallParams p;
    testing::internal::CaptureStdout();
    EXPECT_EQ(p.MakeParentDirectories(w.EtcFile("a\\b\\c\\f.ini").c_str()), 1);
    EXPECT_EQ(p.MakeParentDirectories(w.EtcFile("a\\b\\c\\f.ini").c_str()), 1);  // all there already
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(fs::is_directory(w.Native("a/b/c")));
    EXPECT_FALSE(fs::exists(w.Native("a/b/c/f.ini")));
}

TEST(OutputFiles, LongPathsAreNotCut) {
    Workspace w;
    const std::string part(60, 'd');
    const std::string relative = part + "\\" + part + "\\" + part + "\\" + part + "\\f.bat";
    const std::string path = w.EtcFile(relative);
    ASSERT_GT(path.size(), 256u);
    {
        CInstallParams p;
        testing::internal::CaptureStdout();
        const int prepared = p.PrepareOutputFile(path.c_str(), &CInstallParams::OpenBatchFile);
        testing::internal::GetCapturedStdout();
#if defined(_WIN32)
        if (!prepared) GTEST_SKIP() << "the C runtime here is held to MAX_PATH";
#endif
        ASSERT_EQ(prepared, 1);
        p.LogWrite(LOG_BATCH, "x\n");
    }  // the table closes what is still open
    EXPECT_EQ(ReadFile(w.Native(Replace(relative, "\\", "/"))), "x\r\n");
}

TEST(OutputFiles, MissingRootGivesTheCreateMessage) {
    TempDir temp;
    // "Q:" is no drive under Wine; natively it lands below a drives directory that does not exist.
    ScopedEnv drives("TAVNOVU_DRIVES", (temp.path() / "no-drives").string().c_str());
    CInstallParams p;
    testing::internal::CaptureStdout();
    EXPECT_EQ(p.PrepareOutputFile("Q:\\veltra\\etc\\f.ini", &CInstallParams::OpenIniFile), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nCan't open file 'Q:\\veltra\\etc\\f.ini'\n\nERROR: can't create 'Q:\\'\n");
}

TEST(OutputFiles, FileThatCannotBeRemovedIsReplacedWhenWritable) {
    Workspace w;
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("SYB"), FAMILY_SYBASE);
    Generate(p);
    const std::string freshBatch = ReadFile(w.Native("Sybase_SYB.bat"));
    const std::string freshIni = ReadFile(w.Native("TUSVMA_SYB.ini"));
    const std::string freshInclude = ReadFile(w.Native("tusinc.ini"));
    for (const char* name : {"Sybase_SYB.bat", "TUSVMA_SYB.ini", "tusinc.ini"})
        WriteFile(w.Native(name), std::string(20000, 'o'));
    if (!MakeReadOnly(w.etc)) {
        MakeWritable(w.etc);
        GTEST_SKIP() << "a read-only directory still takes files here (running as root, or Windows)";
    }
    Generate(p);
    MakeWritable(w.etc);
    EXPECT_EQ(ReadFile(w.Native("Sybase_SYB.bat")), freshBatch);
    EXPECT_EQ(ReadFile(w.Native("TUSVMA_SYB.ini")), freshIni);
    EXPECT_EQ(ReadFile(w.Native("tusinc.ini")), freshInclude);
}

namespace {

// A read-only file that cannot be deleted either: a read-only directory
// keeps it natively, the read-only attribute alone does so on Windows.
bool LockFile(const fs::path& file) {
    const fs::path probe = file.parent_path() / "probe.tmp";
    WriteFile(probe.string(), "x");
    for (const fs::path& f : {file, probe}) fs::permissions(f, fs::perms::owner_read);
    fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::error_code ec;
    const bool removable = fs::remove(probe, ec);
    const bool writable = std::ofstream(probe.string(), std::ios::app).is_open();
    return !removable && !writable;
}

void UnlockFile(const fs::path& file) {
    std::error_code ec;
    fs::permissions(file.parent_path(), fs::perms::owner_all, ec);
    for (const fs::path& f : {file, file.parent_path() / "probe.tmp"}) {
        fs::permissions(f, fs::perms::owner_all, ec);
        fs::remove(f, ec);
    }
}

}  // namespace

TEST(OutputFiles, FileThatCannotBeReplacedStopsTheWriter) {
    Workspace w;
    fs::create_directory(w.Native("Oracle_LOCK"));
    const fs::path locked = w.Native("Oracle_LOCK/B.bat");
    WriteFile(locked.string(), "old\r\n");
    if (!LockFile(locked)) {
        UnlockFile(locked);
        GTEST_SKIP() << "read-only files can still be replaced here (running as root?)";
    }
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("A"), FAMILY_ORACLE);
    p.AddMonitored(NamedEntry("LOCK\\B"), FAMILY_ORACLE);
    p.AddMonitored(NamedEntry("C"), FAMILY_ORACLE);
    const std::string console = Generate(p);
    const std::string old = ReadFile(locked.string());
    UnlockFile(locked);

    const std::string message = "\nCan't open file '" + w.EtcFile("Oracle_LOCK\\B.bat") + "'\n";
    EXPECT_TRUE(Contains(console, message + message));
    EXPECT_EQ(old, "old\r\n");
    EXPECT_TRUE(fs::exists(w.Native("Oracle_A.bat")));
    EXPECT_FALSE(fs::exists(w.Native("Oracle_C.bat")));
    // The configuration writer still runs: every entry gets its file and its include line.
    EXPECT_EQ(ReadFile(w.Native("tuoinc.ini")),
              "\r\n[Include]\r\nAdd=" + w.EtcFile("TUOVMA_A.ini") + "\r\nAdd=" + w.EtcFile("TUOVMA_LOCK\\B.ini") +
                  "\r\nAdd=" + w.EtcFile("TUOVMA_C.ini") + "\r\n");
}

TEST(OutputFiles, UnreadableOldFileIsRemovedToo) {
    Workspace w;
    WriteFile(w.Native("Sybase_S.bat"), "old\r\n");
    fs::permissions(w.Native("Sybase_S.bat"), fs::perms::none);
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("S"), FAMILY_SYBASE);
    const std::string console = Generate(p);
    EXPECT_FALSE(Contains(console, "Can't open file"));
    EXPECT_TRUE(Contains(ReadFile(w.Native("Sybase_S.bat")), "REM BATCH FOR STARTING UP TUS AGENT\r\n"));
}

TEST(OutputFiles, ServerNamesThatLeaveTheDirectoryAreRefused) {
    TempDir temp;
    ScopedCwd cwd(temp.path());
    const std::string etc = (temp.path() / "a" / "etc").string();
    fs::create_directories(etc);
    CInstallParams p;
    p.SetStored("ETCPATH", etc.c_str());
    const std::vector<std::string> refused = {"..\\x", "sub\\..\\..\\x", "\\abs", "/abs", "C:\\x",
                                              "C:x", "ok/../../x", "x\\.."};
    for (const auto& name : refused) p.AddMonitored(NamedEntry(name.c_str()), FAMILY_INFORMIX);
    p.AddMonitored(NamedEntry("GOOD\\x..y"), FAMILY_INFORMIX);
    const std::string console = Generate(p);

    for (const auto& name : refused) {
        EXPECT_TRUE(Contains(console, "\nServer name '" + name +
                                          "' leads out of the configuration directory: no batch file written for it\n"));
        EXPECT_TRUE(Contains(console, "\nServer name '" + name +
                                          "' leads out of the configuration directory: no agent configuration file "
                                          "written for it\n"));
    }
    auto files = FilesBelow(temp.path());
    std::vector<std::string> names;
    for (const auto& [name, text] : files) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"a/etc/Informix_GOOD/x..y.bat", "a/etc/TUIVMA_GOOD/x..y.ini",
                                               "a/etc/tuiinc.ini"}));
    EXPECT_EQ(files["a/etc/tuiinc.ini"], "\r\n[Include]\r\nAdd=" + etc + "\\TUIVMA_GOOD\\x..y.ini\r\n");
}

TEST(OutputFiles, WriterOnItsOwnStillAppendsTheLocalSettings) {
    Workspace w;
    WriteFile(w.temp.path().string() + "/tavtset.ini", "[Local Settings]\nA=%s\n");
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("M"), FAMILY_MSSQL);
    testing::internal::CaptureStdout();
    p.WriteMsSqlIni(1);
    testing::internal::GetCapturedStdout();
    const std::string ini = ReadFile(w.Native("TUMVMA_M.ini"));
    const std::string tail = "Action=NOStart\r\n[Local Settings]\r\nA=%s\r\n";
    ASSERT_GT(ini.size(), tail.size());
    EXPECT_EQ(ini.substr(ini.size() - tail.size()), tail);
}

#if !defined(_WIN32)
// The program is started directly: a script stands in for it natively.
TEST(OutputFiles, RegcopyRunsAfterEachInformixFile) {
    Workspace w;
    const fs::path home = w.temp.path() / "ifx";
    fs::create_directories(home / "bin");
    const std::string log = (w.temp.path() / "regcopy.log").string();
    WriteFile((home / "bin" / "regcopy").string(),
              "#!/bin/sh\nif [ -f \"$TAVTEST_ETC/TUIVMA_ol1.ini\" ]; then echo ini; else echo batch; fi >> \"$TAVTEST_LOG\"\n");
    fs::permissions(home / "bin" / "regcopy", fs::perms::owner_all);
    ScopedEnv e1("TAVTEST_ETC", w.etc.c_str()), e2("TAVTEST_LOG", log.c_str());
    CInstallParams p;
    p.SetStored("ETCPATH", w.etc.c_str());
    p.AddMonitored(NamedEntry("ol1", "", home.string().c_str()), FAMILY_INFORMIX);
    p.AddMonitored(NamedEntry("ol2", "", (w.temp.path() / "nothing").string().c_str()), FAMILY_INFORMIX);
    Generate(p);
    EXPECT_EQ(ReadFile(log), "batch\nini\n");
    EXPECT_TRUE(fs::exists(w.Native("TUIVMA_ol2.ini")));  // a missing program is no failure
}
#endif
