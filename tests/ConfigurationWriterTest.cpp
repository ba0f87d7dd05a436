// The install-parameter table and the generated agent files, whose tables are
// tests/golden/generate/*/ (scenarios) and tests/fixtures/generate/rules.txt.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "generate/ConfigurationWriter.h"
#include "generate/InstallParams.h"
#include "monitor/MonitoredSet.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace tavtest;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
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
        if (item.is_regular_file()) files[fs::relative(item.path(), root).generic_string()] = ReadBinary(item.path().string());
    return files;
}

// The parameters, the set and a writer of them that speaks on standard output.
struct Generation {
    CInstallParams p;
    CMonitoredSet set;
    CReport console;
    CConfigurationWriter writer{p, set, console};
};

// What a generation says, and what it came to.
std::string Generate(CConfigurationWriter& writer, GenerationResult* result = nullptr) {
    GenerationResult ignored;
    testing::internal::CaptureStdout();
    (result ? *result : ignored) = writer.GenerateConfiguration();
    return testing::internal::GetCapturedStdout();
}

// A generation whose configuration directory "etc" lies in a temporary current directory.
struct Workspace : Generation {
    TempDir temp;
    ScopedCwd cwd{temp.path()};
    std::string etc = temp.file("etc");
    explicit Workspace(std::initializer_list<const char*> oracle = {}) {
        fs::create_directory(etc);
        p.SetStored("ETCPATH", etc.c_str());
        for (const char* name : oracle) set.Add(Entry(name), Family::Oracle);
    }
    std::string EtcFile(const std::string& name) const { return etc + "\\" + name; }
    std::string Native(const std::string& name) const { return (fs::path(etc) / name).string(); }
};

}  // namespace

// A path from the maker's registry keys wins over its variable; an empty one leaves the variable.
TEST(InstallParameters, RegistryPathsWinOverTheVariables) {
    ScopedEnv e1("ETCPATH", "E:\\etc"), e2("LOGPATH", "E:\\log"), e3("BINPATH", "E:\\bin");
    CInstallParams p;
    p.SetEtcPath("ETCPATH", "R:\\etc");
    p.SetLogPath("LOGPATH", "");
    p.SetBinPath("BINPATH", "R:\\bin");
    EXPECT_EQ(p.GetEtcPath(PARAM_RAW) + "|" + p.GetLogPath(PARAM_RAW) + "|" + p.GetBinPath(PARAM_RAW), "R:\\etc|E:\\log|R:\\bin");
}

// A scenario: "setup.txt" (NAME=value parameters, COMMON_COLLECTOR, FAMILY for the ENTRY lines after it), the
// files "given" before, "console.txt" and the files "expected" after; <ETC>: the temporary directory, <CWD>: current.
TEST(GoldenFiles, EveryScenarioByteForByte) {
    ScopedEnv machine("COMPUTERNAME", "HostA");
    int scenarios = 0;
    for (const auto& scenario : fs::directory_iterator(fs::path(TAV_TEST_DATA) / "golden" / "generate")) {
        if (!scenario.is_directory()) continue;
        ++scenarios;
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
        Generation g;
        Family family = Family::None;
        for (const std::string& line : DataLines(source / "setup.txt")) {
            const size_t eq = line.find('=');
            ASSERT_NE(eq, std::string::npos) << line;
            const std::string key = line.substr(0, eq), value = fill(line.substr(eq + 1));
            if (key == "FAMILY") family = FamilyAtSlot(std::stoi(value));
            else if (key == "COMMON_COLLECTOR") g.writer.SetCommonCollector(std::stoi(value) == 1);
            else if (key == "ENTRY") g.set.Add(Entry(value), family);
            else g.p.SetStored(key.c_str(), value.c_str());
        }
        EXPECT_EQ(Generate(g.writer), fill(ReadBinary((source / "console.txt").string())));
        auto actual = FilesBelow(temp.path());
        for (const auto& [name, text] : expected) EXPECT_EQ(actual[name], text) << name;
        EXPECT_EQ(actual.size(), expected.size());
    }
    EXPECT_GT(scenarios, 0) << "no scenario under golden/generate";
}

TEST(GenerationRules, OracleVersionSybaseOcsAndNamedInstance) {
    const std::vector<std::string> rules = DataLines(fs::path(TAV_TEST_DATA) / "fixtures" / "generate" / "rules.txt");
    EXPECT_FALSE(rules.empty()) << "no rule in rules.txt";
    for (const std::string& rule : rules) {
        SCOPED_TRACE(rule);
        const std::vector<std::string> f = Split(rule, '|');
        ASSERT_GT(f.size(), 4u) << "a rule names at least one line it expects";
        ScopedEnv computer("COMPUTERNAME", f.at(3) == "-" ? nullptr : f[3].c_str());
        Workspace w;
        w.set.Add(Entry(f[1] + "||H:\\syb|" + f[2]), FamilyAtSlot(std::stoi(f[0])));
        Generate(w.writer);
        std::string files;
        for (const auto& [name, text] : FilesBelow(w.etc)) files += text;
        for (size_t i = 4; i < f.size(); ++i) EXPECT_TRUE(Contains(files, "\r\n" + f[i] + "\r\n")) << f[i];
    }
}

// An include file that cannot be made asks to end the process with the family's code; nothing is made.
TEST(Generation, MissingConfigurationDirectoryAsksToEndTheProcess) {
    const std::string missing = (fs::temp_directory_path() / "tavtest-generate-no-such-dir").string();
    ASSERT_FALSE(fs::exists(missing));
    const std::map<Family, std::pair<const char*, int>> FAMILIES = {{Family::Oracle, {"tuoinc.ini", 100}},
        {Family::Sybase, {"tusinc.ini", 110}}, {Family::MsSql, {"tuminc.ini", 110}}, {Family::Informix, {"tuiinc.ini", 110}}};
    for (const auto& [family, include] : FAMILIES) {
        Generation g;
        g.p.SetStored("ETCPATH", missing.c_str());
        g.set.Add(Entry("DB"), family);
        GenerationResult result;
        EXPECT_EQ(Generate(g.writer, &result), "Can't open '" + missing + "\\" + include.first + "' for write\n");
        EXPECT_TRUE(result.outcome == GenerationResult::END_PROCESS && result.process_exit == include.second) << SlotOf(family);
    }
    EXPECT_FALSE(fs::exists(missing));
}

// A server name with backslashes makes its directories top down, whatever the path's length (the messages
// naming it are longer than the writer's first buffer); a drive that cannot be made is named.
TEST(OutputFiles, ParentDirectoriesAreMadeTopDownLongPathsWholeAndAMissingRootReported) {
    const std::string d(60, 'd');  // four of these make a path longer than 256
    for (const std::string& name : {std::string("a\\b\\c\\f"), d + "\\" + d + "\\" + d + "\\" + d + "\\f"}) {
        Workspace w;
        w.set.Add(Entry(name), Family::MsSql);
        const std::string path = w.EtcFile("MSMSQL_" + name + ".bat");
        const std::string console = Generate(w.writer);
#if defined(_WIN32)
        if (Contains(console, "nothing was configured") && path.size() > 260) continue;  // the C runtime is held to MAX_PATH
#endif
        EXPECT_TRUE(Contains(console, "\nCan't open file '" + path + "'\nFinished generating " + path + " file\n"))
            << console;
        EXPECT_TRUE(Contains(ReadBinary(w.Native(Replace("MSMSQL_" + name + ".bat", "\\", "/"))), "\r\nSET INST="));
    }
    // "Q:" is no drive under Wine; natively it lands below a drives directory that does not exist.
    Workspace w;
    ScopedEnv drives("TAVNOVU_DRIVES", w.temp.file("no-drives").c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(w.writer.MakeParentDirectories("Q:\\veltra\\f.ini"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nERROR: can't create 'Q:\\'\n");
}

// The nth generated write fails as on a full disk, on a first run and on a re-run
// over the files of an earlier one: the row names the file it hits.
TEST(StagedGeneration, AFailedWriteConfiguresNothingAndLeavesTheEarlierFiles) {
    const std::pair<int, const char*> ROWS[] = {{1, "tuoinc.ini"}, {3, "Oracle_A.bat"}, {4, "Oracle_B.bat"},
                                                {6, "TUOVMA_A.ini"}, {15, "tuoinc.ini"}, {16, "TUOVMA_B.ini"}};
    for (const auto& [nth, name] : ROWS) {
        for (const bool rerun : {false, true}) {
            SCOPED_TRACE(std::to_string(nth) + (rerun ? " re-run" : " first run"));
            Workspace w{"A", "B"};
            if (rerun) {
                w.p.SetStored("PORTNUMBER", "1111");
                Generate(w.writer);
                w.p.SetStored("PORTNUMBER", "2222");
            }
            const auto before = FilesBelow(w.etc);
            GenerationResult result;
            tavplat::FailGeneratedWrite(nth, ENOSPC);
            const std::string console = Generate(w.writer, &result);
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
    Workspace w{"A", "B"};
    fs::create_directory(w.Native("TUOVMA_A.ini"));
    GenerationResult result;
    const std::string console = Generate(w.writer, &result);
    EXPECT_EQ(result.outcome, GenerationResult::PARTLY_CONFIGURED);
    const std::string moved = "Finished generating " + w.EtcFile("Oracle_A.bat") + " file\nFinished generating " +
                              w.EtcFile("Oracle_B.bat") + " file\nCan't replace '" + w.EtcFile("TUOVMA_A.ini") + "': ";
    const std::string notMoved = "; the configuration is incomplete: the files finished above are in place, these are "
                                 "not:\n  " + w.EtcFile("TUOVMA_A.ini") + "\n  " + w.EtcFile("TUOVMA_B.ini") + "\n  " +
                                 w.EtcFile("tuoinc.ini") + "\n";
    EXPECT_TRUE(console.starts_with(moved) && console.ends_with(notMoved)) << console;
    EXPECT_EQ(FilesBelow(w.etc).size(), 2u);  // the two batch files
    EXPECT_TRUE(fs::is_directory(w.Native("TUOVMA_A.ini")));
}

#if !defined(_WIN32)
// regcopy runs from the entry's home after each Informix file is in place; the
// program is started directly, so a script stands in for it natively.
TEST(OutputFiles, RegcopyRunsAfterEachInformixFile) {
    Workspace w;
    const fs::path program = w.temp.path() / "ifx" / "bin" / "regcopy";
    fs::create_directories(program.parent_path());
    WriteFile(program.string(), "#!/bin/sh\nif [ -f TUIVMA_ol1.ini ]; then echo ini; else echo batch; fi >> ../log\n");
    fs::permissions(program, fs::perms::owner_all);
    const ScopedCwd inEtc(w.etc);
    w.set.Add(Entry("ol1||" + w.temp.file("ifx")), Family::Informix);
    w.set.Add(Entry("ol2||" + w.temp.file("nothing")), Family::Informix);
    Generate(w.writer);
    EXPECT_EQ(ReadBinary(w.temp.file("log")), "batch\nini\n");
    EXPECT_TRUE(fs::exists(w.Native("TUIVMA_ol2.ini")));  // a missing program is no failure
}
#endif
