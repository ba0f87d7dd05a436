// The entry point: the parameter string, the setup log, the settings copy and the results.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "setup/tavixext.h"
#include "tav_testutil.h"

using tavtest::FileExists;
using tavtest::ReadFile;
using tavtest::ScopedCwd;
using tavtest::ScopedEnv;
using tavtest::TempDir;
using tavtest::WriteFile;

namespace {

struct RunResult {
    int result;
    std::string out;
    std::string err;
};

// Calls TavSetUp as a host does, with a writable copy of the parameter string.
RunResult CallTavSetUp(const std::string& parms, int skip = 0, const char* ini = "") {
    std::vector<char> buffer(parms.begin(), parms.end());
    buffer.push_back('\0');
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = TavSetUp(skip, ini, 0, buffer.data());
    std::string out = testing::internal::GetCapturedStdout();
    std::string err = testing::internal::GetCapturedStderr();
    return {result, out, err};
}

// The run never reaches a dialog in these tests, and never reads a snapshot.
class EntryPoint : public testing::Test {
protected:
    TempDir dir;
    ScopedCwd cwd{dir.path()};
    ScopedEnv registry{"TAVNOVU_REGISTRY", nullptr};
    ScopedEnv answers{"TAVNOVU_ANSWERS", nullptr};
};

TEST_F(EntryPoint, SkipReturnsZeroAndOpensNoLog) {
    RunResult run = CallTavSetUp("setup.log oracle 9.2", 1);
    EXPECT_EQ(run.result, 0);
    EXPECT_FALSE(FileExists("setup.log"));
    EXPECT_EQ(run.out, "");
}

TEST_F(EntryPoint, MissingTokensAreRefusedWithIxe0015AndNoLog) {
    for (const char* parms : {"", "   ", "setup.log", "setup.log oracle", "setup.log  oracle  "}) {
        RunResult run = CallTavSetUp(parms);
        EXPECT_EQ(run.result, 1) << '"' << parms << '"';
        EXPECT_NE(run.err.find("IXE0015E TAVIXEXT("), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("tavsetup logfile product version description. TAVNOVU."),
                  std::string::npos) << run.err;
        EXPECT_FALSE(FileExists("setup.log")) << '"' << parms << '"';
    }
}

TEST_F(EntryPoint, NoParameterStringAtAllIsRefused) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(TavSetUp(0, "", 0, nullptr), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("IXE0015E"), std::string::npos);
}

#ifndef _WIN32
// A snapshot that cannot be read is named on the error stream, one line each.
TEST_F(EntryPoint, ASnapshotThatCannotBeReadIsReported) {
    const std::string missing = dir.file("missing.reg");
    ScopedEnv snapshot{"TAVNOVU_REGISTRY", (missing + ":" + missing).c_str()};
    RunResult run = CallTavSetUp("");
    const std::string line = missing + ": cannot open: No such file or directory\n";
    EXPECT_TRUE(run.err.starts_with(line + line + "IXE0015E")) << run.err;
}
#endif

TEST_F(EntryPoint, ALogThatCannotBeOpenedGivesTwoWithIxe0020) {
    RunResult run = CallTavSetUp(dir.file("missing/dir/setup.log") + " oracle 9.2");
    EXPECT_EQ(run.result, 2);
    EXPECT_NE(run.err.find("IXE0020E TAVIXEXT("), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Could not open logfile! TAVNOVU."), std::string::npos);
}

TEST_F(EntryPoint, UnknownKeywordIsReportedOnTheConsoleAndInTheLog) {
    WriteFile("setup.log", "before\n");
    RunResult run = CallTavSetUp("setup.log Oracle8 9.2");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.out.substr(0, 2), "\n\n");
    const std::string line = "oracle8 is not a supported product\n";
    ASSERT_GE(run.out.size(), line.size());
    EXPECT_EQ(run.out.substr(run.out.size() - line.size()), line) << run.out;
    std::string log = ReadFile("setup.log");
    std::string eol = tavtest::TEXT_EOL;
    EXPECT_EQ(log.rfind("before\n" + eol + eol + eol, 0), 0u) << log;
    EXPECT_NE(log.find("Starting Database Monitor Installation" + eol), std::string::npos);
    size_t tail = log.size() - ("oracle8 is not a supported product" + eol).size();
    EXPECT_EQ(log.substr(tail), "oracle8 is not a supported product" + eol);
    EXPECT_EQ(log.find("Finished"), std::string::npos);
}

TEST_F(EntryPoint, KeywordsMatchWholeAfterLowerCasing) {
    for (const char* keyword : {"orac", "oracle9", "sqlserver", "informix7"}) {
        RunResult run = CallTavSetUp(std::string("setup.log ") + keyword + " 1.0");
        EXPECT_EQ(run.result, 1) << keyword;
        EXPECT_NE(run.out.find(" is not a supported product"), std::string::npos) << keyword;
    }
}

TEST_F(EntryPoint, LongTokensAreHeldWhole) {
    std::string longName(150, 'L');
    longName += ".log";
    std::string keyword(80, 'k');
    RunResult run = CallTavSetUp(longName + " " + keyword + " 1.0 some description");
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(FileExists(longName));
    EXPECT_NE(run.out.find(keyword + " is not a supported product\n"), std::string::npos);
}

TEST_F(EntryPoint, TheRunCopiesTheLocalSettings) {
    WriteFile("installer.ini", "[Local Settings]\nA=1\n");
    RunResult run = CallTavSetUp("setup.log nothing 1.0", 0, "installer.ini");
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(ReadFile("tavtset.ini"), std::string("[Local Settings]") + tavtest::TEXT_EOL + "A=1" +
                                           tavtest::TEXT_EOL);
}

TEST_F(EntryPoint, AnIncludeFileThatCannotBeOpenedEndsTheProcessWithItsFamilysCode) {
    WriteFile("answers.txt", "[new DB]\n[ok]\n");
    ScopedEnv played("TAVNOVU_ANSWERS", "answers.txt");
    ScopedEnv etc("ETCPATH", dir.file("no-such-dir").c_str());
    for (const auto& [keyword, code] : {std::pair{"oracle", 100}, std::pair{"sybase", 110}}) {
        const std::string parms = std::string("setup.log ") + keyword + " 1.0";
        EXPECT_EXIT(CallTavSetUp(parms), testing::ExitedWithCode(code), "") << keyword;
    }
    EXPECT_EQ(ReadFile("setup.log").find("Finished"), std::string::npos);
}

// A full disk: the result says nothing was configured, and the log says why; no finish stamp.
TEST_F(EntryPoint, AFileThatCannotBeWrittenConfiguresNothingAndGivesOne) {
    WriteFile("answers.txt", "[new DB]\n[ok]\n");
    ScopedEnv played("TAVNOVU_ANSWERS", "answers.txt");
    std::filesystem::create_directory("etc");
    ScopedEnv etc("ETCPATH", dir.file("etc").c_str());
    tavplat::FailGeneratedWrite(3, ENOSPC);  // the batch file, after the include file's two lines
    RunResult run = CallTavSetUp("setup.log oracle 1.0");
    tavplat::FailGeneratedWrite(0, 0);
    EXPECT_EQ(run.result, 1);
    const std::string log = ReadFile("setup.log");
    EXPECT_NE(log.find("Can't write '" + dir.file("etc") + "\\Oracle_DB.bat': " + std::strerror(ENOSPC) +
                       "; nothing was configured" + tavtest::TEXT_EOL),
              std::string::npos) << log;
    EXPECT_EQ(log.find("Finished"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty("etc"));
}

// ---- the test-settings copy ----

class LocalSettings : public testing::Test {
protected:
    TempDir dir;
    ScopedCwd cwd{dir.path()};
    std::string Copy(const std::string& ini) {
        WriteFile("installer.ini", ini);
        CopyLocalSettings("installer.ini");
        const auto files = std::distance(std::filesystem::directory_iterator("."), {});
        EXPECT_EQ(files, 2) << "a temporary file left behind";
        return ReadFile("tavtset.ini");
    }
    static std::string Lines(std::initializer_list<const char*> lines) {
        std::string text;
        for (const char* line : lines) text += std::string(line) + tavtest::TEXT_EOL;
        return text;
    }
};

TEST_F(LocalSettings, CopiesTheSectionAsWrittenUpToTheNextHeader) {
    EXPECT_EQ(Copy("[other]\nX=0\n[local settings]\nA=1\nB=2\nC=3\n[Next]\nD=4\n"),
              Lines({"[local settings]", "A=1", "B=2", "C=3"}));
}

TEST_F(LocalSettings, StopsAtTheFirstEmptyLine) {
    EXPECT_EQ(Copy("[Local Settings]\nA=1\n\nB=2\n"), Lines({"[Local Settings]", "A=1"}));
}

TEST_F(LocalSettings, CopiesEverySectionInFileOrder) {
    EXPECT_EQ(Copy("[Local Settings]\nA=1\n[Other]\nX=1\n[LOCAL SETTINGS]\nB=2\n"),
              Lines({"[Local Settings]", "A=1", "[LOCAL SETTINGS]", "B=2"}));
    EXPECT_EQ(Copy("[Local Settings]\nA=1\n[Local Settings]\nB=2\n"),
              Lines({"[Local Settings]", "A=1", "[Local Settings]", "B=2"}));
}

TEST_F(LocalSettings, AcceptsCrLfLinesAndKeepsPercentSigns) {
    EXPECT_EQ(Copy("[Local Settings]\r\nP=%s %d\r\n"), Lines({"[Local Settings]", "P=%s %d"}));
}

TEST_F(LocalSettings, HeadersWithTrailingTextDoNotCount) {
    EXPECT_EQ(Copy("[Local Settings] \nA=1\n[Local Settings] ;c\nB=2\n"), "");
}

TEST_F(LocalSettings, AFileWithoutTheSectionEmptiesAnEarlierCopy) {
    WriteFile("tavtset.ini", "old\n");
    EXPECT_EQ(Copy("[Other]\nA=1\n"), "");
    EXPECT_TRUE(FileExists("tavtset.ini"));
}

// A directory opens on POSIX, but cannot be read: it counts as missing.
TEST_F(LocalSettings, AMissingOrUnreadableFileOrPathLeavesAnEarlierCopyAlone) {
    std::filesystem::create_directory("settings.d");
    CopyLocalSettings("settings.d");
    EXPECT_FALSE(FileExists("tavtset.ini"));
    WriteFile("tavtset.ini", "old\n");
    for (const char* path : {"no-such.ini", "", static_cast<const char*>(nullptr), "settings.d"})
        CopyLocalSettings(path);
    EXPECT_EQ(ReadFile("tavtset.ini"), "old\n");
}

TEST_F(LocalSettings, VeryLongLinesAreCopiedWhole) {
    std::string value(10000, 'v');
    EXPECT_EQ(Copy("[Local Settings]\nV=" + value + "\n"),
              Lines({"[Local Settings]"}) + "V=" + value + tavtest::TEXT_EOL);
}

}  // namespace
