// The install-parameter table, the monitored set and the generated agent files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "generate/tavixdcl.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "setup/tavixext.h"
#include "tav_testutil.h"

namespace fs = std::filesystem;
using namespace tavtest;

namespace {

// Counts destructions, to see that the set destroys each entry exactly once.
struct CountedEntry : CMonitoredServer {
    explicit CountedEntry(int* counter) : counter_(counter) {}
    ~CountedEntry() override { ++*counter_; }
    int* counter_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text + separator);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// An entry from "name|errorlog|home|version|login|password|cluster"; fields left out are empty.
std::unique_ptr<CMonitoredServer> Entry(const std::string& fields) {
    using Setter = void (CMonitoredServer::*)(const char*);
    const std::vector<Setter> SETTERS = {&CMonitoredServer::SetServerName, &CMonitoredServer::SetErrorlogName,
        &CMonitoredServer::SetDollarServer, &CMonitoredServer::SetServerVersion, &CMonitoredServer::SetLogin,
        &CMonitoredServer::SetPassword, &CMonitoredServer::SetClusterServer};
    const std::vector<std::string> values = Split(fields, '|');
    auto entry = std::make_unique<CMonitoredServer>();
    for (size_t i = 0; i < values.size(); ++i) ((*entry).*SETTERS.at(i))(values[i].c_str());  // throws on too many
    return entry;
}

// The lines of a data file but its comments and blank lines.
std::vector<std::string> DataLines(const fs::path& file) {
    std::ifstream in(file);
    EXPECT_TRUE(in.is_open()) << file;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

// Every regular file below a directory, by its path relative to it.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file())
            files[fs::relative(item.path(), root).generic_string()] = ReadFile(item.path().string());
    return files;
}

template <typename Run>
std::string Console(Run run) {
    testing::internal::CaptureStdout();
    run();
    return testing::internal::GetCapturedStdout();
}

std::string Generate(CInstallParams& p) { return Console([&] { p.GenerateConfiguration(); }); }

// A table whose configuration directory "etc" lies in a temporary current directory.
struct Workspace {
    TempDir temp;
    ScopedCwd cwd{temp.path()};
    std::string etc = temp.file("etc");
    CInstallParams p;
    Workspace() {
        fs::create_directory(etc);
        p.SetStored("ETCPATH", etc.c_str());
    }
    std::string EtcFile(const std::string& name) const { return etc + "\\" + name; }
    std::string Native(const std::string& name) const { return (fs::path(etc) / name).string(); }
};

// Makes a directory read-only; false, and the directory as it was, if files still get in (root, Windows).
bool MakeReadOnly(const fs::path& dir) {
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    if (!std::ofstream((dir / "probe.tmp").string()).is_open()) return true;
    fs::permissions(dir, fs::perms::owner_all);
    return false;
}

}  // namespace

TEST(MonitoredSet, FindMatchesTheFiveFieldsWithCaseAndReturnsTheFirst) {
    CSybaseServer server;
    server.SetServerName("SYB");
    server.SetServiceName("SYBSQL_SYB");
    CInstallParams params;
    params.AddMonitored(Entry("SYB"), FAMILY_SYBASE);  // typed in: no service name
    CMonitoredServer* copies[2];
    for (CMonitoredServer*& copy : copies) {
        auto entry = Entry("old||||sa");
        entry->AssignFromServer(server);
        copy = params.AddMonitored(std::move(entry), FAMILY_SYBASE);
    }
    EXPECT_EQ(copies[0]->GetLogin(), "");  // a record carries no login
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_SYBASE), copies[0]);
    EXPECT_EQ(params.FindMonitored(&server, FAMILY_ORACLE), nullptr);
    using Setter = void (CDbServer::*)(const char*);
    for (Setter set : {&CDbServer::SetServerName, &CDbServer::SetServiceName, &CDbServer::SetErrorlogName,
                       &CDbServer::SetDollarServer, &CDbServer::SetServerVersion}) {
        CSybaseServer other = server;
        (other.*set)("syb");
        EXPECT_EQ(params.FindMonitored(&other, FAMILY_SYBASE), nullptr);
    }
}

TEST(MonitoredSet, RemoveDestroysExactlyThePointerGivenAndTheTableTheRest) {
    int deleted = 0;
    CountedEntry stranger(&deleted);
    {
        CInstallParams params;
        CMonitoredServer* e[3];
        for (auto*& entry : e) entry = params.AddMonitored(std::make_unique<CountedEntry>(&deleted), FAMILY_ORACLE);  // all alike
        params.RemoveMonitored(e[1], FAMILY_ORACLE);
        params.RemoveMonitored(&stranger, FAMILY_ORACLE);
        params.RemoveMonitored(e[0], FAMILY_SYBASE);  // not in that family's sequence
        EXPECT_EQ(deleted, 1);
        ASSERT_EQ(params.GetMonitoredCount(FAMILY_ORACLE), 2);
        EXPECT_TRUE(params.GetMonitoredAt(0, FAMILY_ORACLE) == e[0] && params.GetMonitoredAt(1, FAMILY_ORACLE) == e[2]);
        EXPECT_TRUE(!params.GetMonitoredAt(-1, FAMILY_ORACLE) && !params.GetMonitoredAt(2, FAMILY_ORACLE));
        for (int family : {0, 15, 16}) params.AddMonitored(std::make_unique<CountedEntry>(&deleted), family);
        EXPECT_EQ(deleted, 2);  // there is no slot 16: not kept, and not leaked
    }
    EXPECT_EQ(deleted, 6);
}

TEST(InstallParameters, SettersReadTheirOwnVariableButRegistryPathsWin) {
    ScopedEnv e1("CELLNAME", "cell1"), e2("ETCPATH", "E:\\etc"), e3("COMPUTERNAME", "HOST1"),
        e4("LOGPATH", "E:\\log"), e5("DLLPATH", "E:\\dll"), e6("BINPATH", "E:\\bin"), e7("PORTNUMBER", "2001");
    for (const std::string drive : {"E:\\", "R:\\"}) {
        // The registry's paths are given for the second pass only.
        InstallPaths registry;
        if (drive == "R:\\") registry = {drive + "bin", drive + "dll", drive + "etc", drive + "log"};
        CInstallParams p;
        p.SetCellName("CELLNAME");
        p.SetEtcPath("ETCPATH", registry.etc);
        p.SetComputerName("COMPUTERNAME");
        p.SetLogPath("LOGPATH", registry.log);
        p.SetDllPath("DLLPATH", registry.dll);
        p.SetBinPath("BINPATH", registry.bin);
        p.SetPortNumber("PORTNUMBER");
        EXPECT_EQ(p.GetEtcPath(PARAM_RAW) + p.GetLogPath(PARAM_RAW) + p.GetDllPath() +
                      p.GetBinPath(PARAM_RAW) + p.GetCellName() + p.GetComputerName() +
                      p.GetPortNumber(PARAM_RAW),
                  drive + "etc" + drive + "log" + drive + "dll" + drive + "bin" + "cell1HOST12001");
    }
}

TEST(InstallParameters, PercentTokensThenTheResolvedFallbackChain) {
    CInstallParams p;
    EXPECT_EQ(p.GetEtcPath(PARAM_PERCENT_TOKEN) + p.GetLogPath(PARAM_PERCENT_TOKEN) +
                  p.GetPortNumber(PARAM_PERCENT_TOKEN) + p.GetBinPath(PARAM_PERCENT_TOKEN),
              "%ETCPATH%%LOGPATH%%PORTNUMBER%%BINPATH%");
    TempDir temp;
    ScopedCwd cwd(temp.path());
    const std::string current = fs::current_path().string();
    const auto resolved = [&] {
        return p.GetEtcPath(PARAM_RESOLVED) + "|" + p.GetLogPath(PARAM_RESOLVED) + "|" + p.GetBinPath(PARAM_RESOLVED) +
               "|" + p.GetPortNumber(PARAM_RESOLVED);
    };
    EXPECT_EQ(resolved(), current + "|\\log|" + current + "|1999");  // the log not below the current directory
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW), "");                           // the fallback is not stored
    p.SetStored("ETCPATH", "E:\\veltra");
    EXPECT_EQ(resolved(), "E:\\veltra|E:\\veltra\\log|E:\\veltra|1999");
    for (const char* name : {"LOGPATH", "BINPATH", "PORTNUMBER"}) p.SetStored(name, name);
    EXPECT_EQ(resolved(), "E:\\veltra|LOGPATH|BINPATH|PORTNUMBER");
}

// A scenario: "setup.txt" (NAME=value parameters, COMMON_COLLECTOR, FAMILY for the ENTRY lines after it), the
// files "given" before, "console.txt" and the files "expected" after; <ETC>: the temporary directory, <CWD>: current.
TEST(GoldenFiles, EveryScenarioByteForByte) {
    ScopedEnv machine("COMPUTERNAME", "HostA");
    for (const auto& scenario : fs::directory_iterator(fs::path(TAV_TEST_DATA) / "golden" / "generate")) {
        if (!scenario.is_directory()) continue;
        const fs::path source = scenario.path();
        SCOPED_TRACE(source.filename().string());
        TempDir temp;
        ScopedCwd cwd(temp.path());
        const auto fill = [&](const std::string& text) {
            return Replace(Replace(text, "<ETC>", temp.str()), "<CWD>", tavplat::CurrentDirectory());
        };
        if (fs::exists(source / "given")) fs::copy(source / "given", temp.path());
        auto expected = FilesBelow(temp.path());
        if (fs::exists(source / "expected"))
            for (const auto& [name, text] : FilesBelow(source / "expected")) expected[name] = fill(text);
        CInstallParams p;
        int family = 0;
        for (const std::string& line : DataLines(source / "setup.txt")) {
            const size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << line;
            const std::string key = line.substr(0, eq), value = fill(line.substr(eq + 1));
            if (key == "FAMILY") family = std::stoi(value);
            else if (key == "COMMON_COLLECTOR") p.use_common_collector = std::stoi(value);
            else if (key == "ENTRY") p.AddMonitored(Entry(value), family);
            else p.SetStored(key.c_str(), value.c_str());
        }
        EXPECT_EQ(Generate(p), fill(ReadFile((source / "console.txt").string())));
        auto actual = FilesBelow(temp.path());
        for (const auto& [name, text] : expected) EXPECT_EQ(actual[name], text) << name;
        EXPECT_EQ(actual.size(), expected.size());
    }
}

TEST(GenerationRules, OracleVersionSybaseOcsAndNamedInstance) {
    for (const std::string& rule : DataLines(fs::path(TAV_TEST_DATA) / "fixtures" / "generate" / "rules.txt")) {
        SCOPED_TRACE(rule);
        const std::vector<std::string> f = Split(rule, '|');
        ScopedEnv computer("COMPUTERNAME", f.at(3) == "-" ? nullptr : f[3].c_str());
        Workspace w;
        w.p.AddMonitored(Entry(f[1] + "||H:\\syb|" + f[2]), std::stoi(f[0]));
        Generate(w.p);
        std::string files;
        for (const auto& [name, text] : FilesBelow(w.etc)) files += text;
        for (size_t i = 4; i < f.size(); ++i) EXPECT_TRUE(Contains(files, "\r\n" + f[i] + "\r\n")) << f[i];
    }
}

TEST(Generation, MissingConfigurationDirectoryAsksToEndTheProcess) {
    const std::string missing = (fs::temp_directory_path() / "tavtest-generate-no-such-dir").string();
    ASSERT_FALSE(fs::exists(missing));
    for (int family : {FAMILY_ORACLE, FAMILY_SYBASE, FAMILY_MSSQL, FAMILY_INFORMIX}) {
        CInstallParams p;
        p.SetStored("ETCPATH", missing.c_str());
        p.AddMonitored(Entry("DB"), family);
        const int code = family == FAMILY_ORACLE ? 100 : 110;
        const char* include = std::map<int, const char*>{{FAMILY_ORACLE, "tuoinc.ini"}, {FAMILY_SYBASE, "tusinc.ini"},
                                                          {FAMILY_MSSQL, "tuminc.ini"}, {FAMILY_INFORMIX, "tuiinc.ini"}}
                                  .at(family);
        GenerationResult result;
        EXPECT_EQ(Console([&] { result = p.GenerateConfiguration(); }),
                  "Can't open '" + missing + "\\" + include + "' for write\n");
        EXPECT_TRUE(result.outcome == GenerationResult::END_PROCESS && result.process_exit == code) << family;
    }
    EXPECT_FALSE(fs::exists(missing));
}

// No file can be staged there, so none is replaced either: the old ones stay as they were.
TEST(Generation, ReadOnlyConfigurationDirectoryAsksToEndTheProcessAndKeepsTheOldFiles) {
    Workspace w;
    w.p.AddMonitored(Entry("SYB"), FAMILY_SYBASE);
    for (const char* name : {"tusinc.ini", "Sybase_SYB.bat", "TUSVMA_SYB.ini"}) WriteFile(w.Native(name), "old\r\n");
    const auto old = FilesBelow(w.etc);
    if (!MakeReadOnly(w.etc)) GTEST_SKIP() << "a read-only directory still takes files here (root, or Windows)";
    GenerationResult result;
    EXPECT_EQ(Console([&] { result = w.p.GenerateConfiguration(); }),
              "Can't open '" + w.EtcFile("tusinc.ini") + "' for write\n");
    fs::permissions(w.etc, fs::perms::owner_all);
    EXPECT_TRUE(result.outcome == GenerationResult::END_PROCESS && result.process_exit == 110);
    EXPECT_EQ(FilesBelow(w.etc), old);
}

TEST(OutputFiles, ParentDirectoriesAreMadeTopDownLongPathsWholeAndAMissingRootReported) {
    const std::string d(60, 'd');  // four of these make a path longer than 256
    for (const std::string& name : {std::string("a\\b\\c\\f"), d + "\\" + d + "\\" + d + "\\" + d + "\\f"}) {
        Workspace w;
        w.p.AddMonitored(Entry(name), FAMILY_MSSQL);
        const std::string path = w.EtcFile("MSMSQL_" + name + ".bat");
        const std::string console = Generate(w.p);
#if defined(_WIN32)
        if (Contains(console, "nothing was configured") && path.size() > 260) continue;  // the C runtime is held to MAX_PATH
#endif
        EXPECT_TRUE(Contains(console, "\nCan't open file '" + path + "'\nFinished generating " + path + " file\n"))
            << console;
        EXPECT_TRUE(Contains(ReadFile(w.Native(Replace("MSMSQL_" + name + ".bat", "\\", "/"))), "\r\nSET INST="));
    }
    // "Q:" is no drive under Wine; natively it lands below a drives directory that does not exist.
    Workspace w;
    ScopedEnv drives("TAVNOVU_DRIVES", w.temp.file("no-drives").c_str());
    int made = -1;
    EXPECT_EQ(Console([&] { made = w.p.MakeParentDirectories("Q:\\veltra\\f.ini"); }), "\nERROR: can't create 'Q:\\'\n");
    EXPECT_EQ(made, 0);
}

TEST(OutputFiles, OldFilesAreReplacedWholeNotRewrittenInPlace) {
    Workspace w;
    for (const char* name : {"A", "B"}) w.p.AddMonitored(Entry(name), FAMILY_ORACLE);
    for (const char* name : {"Oracle_A.bat", "TUOVMA_A.ini"}) WriteFile(w.Native(name), "old\r\n");
    fs::permissions(w.Native("Oracle_A.bat"), fs::perms::none);  // replaced without being read
    std::error_code linkError;  // a second name shows whether the old file was replaced or only rewritten
    fs::create_hard_link(w.Native("TUOVMA_A.ini"), w.temp.file("keep.ini"), linkError);
    EXPECT_FALSE(Contains(Generate(w.p), "Can't"));
    EXPECT_EQ(linkError ? "old\r\n" : ReadFile(w.temp.file("keep.ini")), "old\r\n");
    const auto fresh = FilesBelow(w.etc);  // include, batch and configuration files, and no temporary one
    EXPECT_EQ(fresh.size(), 5u);
    EXPECT_TRUE(Contains(fresh.at("Oracle_A.bat"), "REM BATCH FOR STARTING UP TUO AGENT\r\n"));
}

// The nth generated write fails as on a full disk, on a first run and on a re-run
// over the files of an earlier one: the row names the file it hits.
TEST(StagedGeneration, AFailedWriteConfiguresNothingAndLeavesTheEarlierFiles) {
    const std::pair<int, const char*> ROWS[] = {{1, "tuoinc.ini"}, {3, "Oracle_A.bat"}, {4, "Oracle_B.bat"},
                                                {6, "TUOVMA_A.ini"}, {15, "tuoinc.ini"}, {16, "TUOVMA_B.ini"}};
    for (const auto& [nth, name] : ROWS) {
        for (const bool rerun : {false, true}) {
            SCOPED_TRACE(std::to_string(nth) + (rerun ? " re-run" : " first run"));
            Workspace w;
            for (const char* server : {"A", "B"}) w.p.AddMonitored(Entry(server), FAMILY_ORACLE);
            if (rerun) {
                w.p.SetStored("PORTNUMBER", "1111");
                Generate(w.p);
                w.p.SetStored("PORTNUMBER", "2222");
            }
            const auto before = FilesBelow(w.etc);
            GenerationResult result;
            tavplat::FailGeneratedWrite(nth, ENOSPC);
            const std::string console = Console([&] { result = w.p.GenerateConfiguration(); });
            tavplat::FailGeneratedWrite(0, 0);
            EXPECT_EQ(result.outcome, GenerationResult::NOTHING_CONFIGURED);
            EXPECT_EQ(console, "Can't write '" + w.EtcFile(name) + "': " + std::strerror(ENOSPC) +
                                   "; nothing was configured\n");
            EXPECT_EQ(FilesBelow(w.etc), before);
            EXPECT_EQ(before.size(), rerun ? 5u : 0u);
        }
    }
}

// A directory holds the name of TUOVMA_A.ini, as a running agent's open file would
// on Windows: the moves stop there, and what is not in place is named.
TEST(StagedGeneration, AFileThatCannotBePutInPlaceStopsTheMovesAndTheRestIsNamed) {
    Workspace w;
    for (const char* server : {"A", "B"}) w.p.AddMonitored(Entry(server), FAMILY_ORACLE);
    fs::create_directory(w.Native("TUOVMA_A.ini"));
    GenerationResult result;
    const std::string console = Console([&] { result = w.p.GenerateConfiguration(); });
    EXPECT_EQ(result.outcome, GenerationResult::PARTLY_CONFIGURED);
    const std::string moved = "Finished generating " + w.EtcFile("Oracle_A.bat") + " file\nFinished generating " +
                              w.EtcFile("Oracle_B.bat") + " file\nCan't replace '" + w.EtcFile("TUOVMA_A.ini") + "': ";
    const std::string notMoved = "; the configuration is incomplete: the files finished above are in place, these are "
                                 "not:\n  " + w.EtcFile("TUOVMA_A.ini") + "\n  " + w.EtcFile("TUOVMA_B.ini") + "\n  " +
                                 w.EtcFile("tuoinc.ini") + "\n";
    EXPECT_TRUE(console.starts_with(moved) && console.ends_with(notMoved)) << console;
    std::vector<std::string> names;
    for (const auto& [name, text] : FilesBelow(w.etc)) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Oracle_A.bat", "Oracle_B.bat"}));
    EXPECT_TRUE(fs::is_directory(w.Native("TUOVMA_A.ini")));
}

TEST(OutputFiles, WriterOnItsOwnStillAppendsTheLocalSettings) {
    Workspace w;
    WriteFile(w.temp.file("tavtset.ini"), "[Local Settings]\nA=%s\n");
    w.p.AddMonitored(Entry("M"), FAMILY_MSSQL);
    Console([&] { w.p.WriteMsSqlIni(1); });
    const std::string ini = ReadFile(w.Native("TUMVMA_M.ini"));
    EXPECT_EQ(ini.substr(std::min(ini.size(), ini.rfind("NOStart"))), "NOStart\r\n[Local Settings]\r\nA=%s\r\n");
}

#if !defined(_WIN32)
// The program is started directly: a script stands in for it natively.
TEST(OutputFiles, RegcopyRunsAfterEachInformixFile) {
    Workspace w;
    const fs::path program = w.temp.path() / "ifx" / "bin" / "regcopy";
    fs::create_directories(program.parent_path());
    WriteFile(program.string(), "#!/bin/sh\nif [ -f TUIVMA_ol1.ini ]; then echo ini; else echo batch; fi >> ../log\n");
    fs::permissions(program, fs::perms::owner_all);
    const ScopedCwd inEtc(w.etc);
    w.p.AddMonitored(Entry("ol1||" + w.temp.file("ifx")), FAMILY_INFORMIX);
    w.p.AddMonitored(Entry("ol2||" + w.temp.file("nothing")), FAMILY_INFORMIX);
    Generate(w.p);
    EXPECT_EQ(ReadFile(w.temp.file("log")), "batch\nini\n");
    EXPECT_TRUE(fs::exists(w.Native("TUIVMA_ol2.ini")));  // a missing program is no failure
}
#endif
