// The entry point: the parameter string, the setup log, the results, and the settings copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "setup/SetupRun.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace tavtest;

namespace {

// What a row prepares before the run: nothing, or a configuration directory
// "etc" with the dialog played by the row's answers, and then a full disk at
// the third generated write, or a file name held by a directory; or no such
// directory, which ends the process.
enum Etc { NONE, READY, FULL, HELD, MISSING };

// True when the parts of pattern between its "*"s appear in text in that order.
bool Matches(const std::string& text, const std::string& pattern) {
    size_t at = 0;
    for (size_t start = 0, star; start <= pattern.size(); start = star + 1) {
        star = std::min(pattern.find('*', start), pattern.size());
        if ((at = text.find(pattern.substr(start, star - start), at)) == std::string::npos) return false;
    }
    return true;
}

}  // namespace

// Each row is one call as a host makes it, in a directory of its own where the
// setup log holds an earlier run. log: what the log holds after the call (empty:
// the log is left alone); out and err: what standard output and the error stream
// hold; "*" stands for any text. There is no settings file. Of the two registry
// snapshots one cannot be read, and is named; the other holds the maker's paths,
// which the variables repeat, as the registry of a Windows test machine has none.
TEST(EntryPoint, ParameterStringLogAndResults) {
    struct Row { const char* parms; int skip; Etc etc; const char* answers; int result; std::string out, err, log; };
    const std::string REFUSED = "IXE0015E TAVIXEXT(*) tavsetup logfile product version description. TAVNOVU.\n";
    const std::string FULL_DISK = "Can't write 'etc\\Oracle_DB.bat': " + std::string(std::strerror(ENOSPC));
    const std::string keyword(80, 'k'), longParms = std::string(150, 'L') + ".log " + keyword + " 1.0 some description";
    const Row ROWS[] = {
        {"setup.log oracle 9.2", 1, NONE, nullptr, 0, "", "", ""},
        {"", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"   ", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"setup.log", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"setup.log oracle", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"setup.log  oracle  ", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {nullptr, 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"missing/dir/setup.log oracle 9.2", 0, NONE, nullptr, 2, "", "IXE0020E TAVIXEXT(*) Could not open logfile! TAVNOVU.", ""},
        {"setup.log Oracle8 9.2", 0, NONE, nullptr, 1, "\n\n*oracle8 is not a supported product\n", "",
         "\n\n\n*\nStarting Database Monitor Installation\n*oracle8 is not a supported product\n"},
        {"setup.log orac 9.2", 0, NONE, nullptr, 1, "orac is not a supported product\n", "", "*orac is not"},
        {"setup.log oracle9 9.2", 0, NONE, nullptr, 1, "oracle9 is not a supported product\n", "", "*oracle9 is not"},
        {longParms.c_str(), 0, NONE, nullptr, 1, keyword + " is not a supported product\n", "", "*" + keyword + " is not"},
        {"setup.log oracle 1.0", 0, READY, "[new DB]\n[ok]\n", 0, "", "", "*Finished generating etc\\Oracle_DB.bat file\n"},
        {"setup.log oracle 1.0", 0, READY, "[cancel]\n", 1, "", "", "*Starting Database Monitor Installation\n"},
        {"setup.log oracle 1.0", 0, READY, "[frob]\n", 1, "*Unable to display dialog: RC=13\n", "*answers.txt:1: unknown", "*"},
        {"setup.log oracle 1.0", 0, FULL, "[new DB]\n[ok]\n", 1, "", "", "*" + FULL_DISK + "; nothing was configured\n"},
        {"setup.log oracle 1.0", 0, HELD, "[new DB]\n[ok]\n", 1, "", "", "*Can't replace 'etc\\TUOVMA_DB.ini': "},
        {"setup.log oracle 1.0", 0, MISSING, "[new DB]\n[ok]\n", 100, "", "", ""},  // the process ends
    };
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.parms ? row.parms : "no parameter string");
        TempDir dir;
        ScopedCwd cwd(dir.path());
        ScopedEnv registry("TAVNOVU_REGISTRY", "missing.reg:paths.reg"), etc("ETCPATH", "etc"), logs("LOGPATH", "L:\\logs");
        WriteFile("paths.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration]\n"
                               "\"EtcPath\"=\"etc\"\n\"LogPath\"=\"L:\\\\logs\"\n");
        ScopedEnv answers("TAVNOVU_ANSWERS", row.answers ? "answers.txt" : nullptr);
        const std::string log = row.parms ? std::string(row.parms, std::strcspn(row.parms, " ")) : "setup.log";
        WriteFile(log, "earlier run\n");  // not made in a directory that is missing
        if (row.answers) WriteFile("answers.txt", row.answers);
        if (row.etc != NONE && row.etc != MISSING) fs::create_directory("etc");
        if (row.etc == HELD) fs::create_directory("etc/TUOVMA_DB.ini");
        tavplat::FailGeneratedWrite(row.etc == FULL ? 3 : 0, ENOSPC);  // the batch file, after the include file's two lines
        std::string parms = row.parms ? row.parms : "";  // writable, as the host's
        if (row.etc == MISSING) {
            EXPECT_EXIT(TavSetUp(0, nullptr, 0, parms.data()), testing::ExitedWithCode(row.result), "");
            continue;
        }
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(row.result, TavSetUp(row.skip, nullptr, 0, row.parms ? parms.data() : nullptr));
        const std::string written = ReadText(log);  // before anything flushes what the run left unwritten
        const std::string out = testing::internal::GetCapturedStdout(), err = testing::internal::GetCapturedStderr();
        tavplat::FailGeneratedWrite(0, 0);
        EXPECT_TRUE(Matches(out, row.out)) << out;
        EXPECT_TRUE(Matches(err, row.err)) << err;
#ifndef _WIN32
        EXPECT_TRUE(row.skip || err.starts_with("missing.reg: cannot open: No such file or directory\n")) << err;
#endif
        if (row.log.empty()) {
            EXPECT_TRUE(written == "earlier run\n" || !std::filesystem::exists(log)) << written;
        } else {
            EXPECT_TRUE(Matches(written, "earlier run\n" + row.log)) << written;
            EXPECT_EQ(row.result == 0, Matches(written, "Finished Database Monitor Configuration")) << written;
            EXPECT_TRUE(row.result != 0 || Matches(ReadBinary("etc/Oracle_DB.bat"), "SET COLL_HOME=L:\\logs\r\n"));
        }
    }
}

// Every "[Local Settings]" section up to its first empty line or the next
// header, copied as written to tavtset.ini, which replaces an earlier copy
// whole; a settings file that is missing or cannot be read to its end (a
// directory, "/" below) leaves the earlier copy.
TEST(LocalSettings, SectionsAreCopiedAsWritten) {
    const std::string v(10000, 'v');
    const std::pair<std::string, std::string> ROWS[] = {
        {"[other]\nX=0\n[local settings]\nA=1\nB=2\nC=3\n[Next]\nD=4\n", "[local settings]\nA=1\nB=2\nC=3\n"},
        {"[Local Settings]\nA=1\n\nB=2\n", "[Local Settings]\nA=1\n"},
        {"[Local Settings]\nA=1\n[Other]\nX=1\n[LOCAL SETTINGS]\nB=2\n", "[Local Settings]\nA=1\n[LOCAL SETTINGS]\nB=2\n"},
        {"[Local Settings]\nA=1\n[Local Settings]\nB=2\n", "[Local Settings]\nA=1\n[Local Settings]\nB=2\n"},
        {"[Local Settings]\r\nP=%s %d\r\n", "[Local Settings]\nP=%s %d\n"},
        {"[Local Settings] \nA=1\n[Local Settings] ;c\nB=2\n", ""},  // trailing text: no header
        {"[Other]\nA=1\n", ""},
        {"[Local Settings]\nV=" + v + "\n", "[Local Settings]\nV=" + v + "\n"},
        {std::string("[Local Settings]\nN=a\0b\n", 23), std::string("[Local Settings]\nN=a\0b\n", 23)},
        {"", "earlier copy\n"},
        {"/", "earlier copy\n"},
    };
    for (const auto& [settings, copy] : ROWS) {
        TempDir dir;
        ScopedCwd cwd(dir.path());
        WriteFile("tavtset.ini", std::string("earlier copy") + TEXT_EOL);
        if (settings == "/") fs::create_directory("installer.ini");
        else if (!settings.empty()) WriteFile("installer.ini", settings);
        CopyLocalSettings("installer.ini");
        EXPECT_EQ(copy, ReadText("tavtset.ini")) << settings;
        for (const auto& file : fs::directory_iterator(".")) EXPECT_NE(".tmp", file.path().extension().string()) << "left behind";
    }
}

namespace {

// Every file under dir, by its path relative to dir, with what varies from run to run put aside:
// the setup log's time stamps and the time in trace records.
std::map<std::string, std::string> RunFiles(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::string text = std::regex_replace(ReadBinary(entry.path()),
            std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] \\d\\d:\\d\\d:\\d\\d \\d{4}"), "<TIME>");
        files[fs::relative(entry.path(), dir).generic_string()] = Normalized(text);
    }
    return files;
}

std::string Names(const std::map<std::string, std::string>& files) {
    std::string names;
    for (const auto& file : files) names += (names.empty() ? "" : " ") + file.first;
    return names;
}

}  // namespace

// A host that calls TavSetUp three times in one process gets what three processes of tavsetup
// leave in the same directory: each call starts with the runtime as a fresh process has it and
// ends with its message file closed. The calls differ in their trace levels, server id and answers.
TEST(EntryPoint, ThreeCallsInOneProcessLeaveWhatThreeProcessesLeave) {
    const char* bin = std::getenv("TAV_BIN_DIR");
    if (!bin) GTEST_SKIP() << "TAV_BIN_DIR names the directory of tavsetup";
    struct Call { const char* debug; const char* serverId; const char* answers; };
    const Call CALLS[] = {
        {"-xd", nullptr, "[new DB]\nlogin = mon\npassword = ~first\n[ok]\n"},
        {nullptr, nullptr, "[new DB]\npassword = ~second\n[new OTHER]\npassword = ~other\n[ok]\n"},
        {"-xdd", "S3", "[new DB]\nlogin = third\npassword = ~third\n[ok]\n"},
    };
#ifdef _WIN32
    // cmd /c drops the first and the last quote of a line that starts with one: a pair around it all.
    const std::string program = std::string("Z:") + bin + "/tavsetup.exe", outer = "\"";
#else
    const std::string program = std::string(bin) + "/tavsetup", outer;
#endif
    TempDir processes, inProcess, consoles;
    for (const TempDir* dir : {&processes, &inProcess}) {
        ScopedCwd cwd(dir->path());
        WriteFile("paths.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n");
        fs::create_directory("etc");
        ScopedEnv registry("TAVNOVU_REGISTRY", "paths.reg"), etc("ETCPATH", "etc"), logs("LOGPATH", "L:\\logs");
        ScopedEnv answers("TAVNOVU_ANSWERS", "answers.txt"), home("COLL_HOME", "."), computer("COMPUTERNAME", "DBHOST");
        for (const Call& call : CALLS) {
            ScopedEnv debug("COLL_DEBUG", call.debug), server("COLL_SERVERID", call.serverId);
            WriteFile("answers.txt", call.answers);
            std::string parms = "setup.log oracle 1.0";
            if (dir == &processes) {
                const std::string command =
                    outer + "\"" + program + "\" --output \"" + consoles.file("console.txt") + "\" " + parms + outer;
                EXPECT_EQ(std::system(command.c_str()), 0) << command << "\n" << ReadText(consoles.file("console.txt"));
                continue;
            }
            testing::internal::CaptureStdout();
            testing::internal::CaptureStderr();
            EXPECT_EQ(TavSetUp(0, nullptr, 0, parms.data()), 0);
            testing::internal::GetCapturedStdout();
            testing::internal::GetCapturedStderr();
        }
    }
    const std::map<std::string, std::string> expected = RunFiles(processes.path()), actual = RunFiles(inProcess.path());
    EXPECT_EQ(Names(actual), Names(expected));
    for (const auto& [name, text] : expected)
        EXPECT_EQ(actual.count(name) ? actual.at(name) : "(missing)", text) << name;
    // Not a comparison of nothing: the traced calls' message files, and the files of every answers.
    EXPECT_EQ(Names(expected), "DBHOST_av_S3_ixcfg.out DBHOST_av_ixcfg.out answers.txt etc/Oracle_DB.bat "
                               "etc/Oracle_OTHER.bat etc/TUOVMA_DB.ini etc/TUOVMA_OTHER.ini etc/tuoinc.ini paths.reg setup.log");
    EXPECT_TRUE(Matches(expected.at("etc/Oracle_DB.bat"), "SET COLL_LOGON=third\r\nSET COLL_PASSWORD=third\r\n"));
    EXPECT_TRUE(Matches(expected.at("DBHOST_av_S3_ixcfg.out"), "IXE0005T (hhmmss) TAVIXEXT(*) Passed parms"));
}
