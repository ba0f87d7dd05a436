// The entry point: the parameter string, the setup log, the results, and the settings copy.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <string_view>
#include <tuple>

#include "setup/SetupRun.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace tavtest;

namespace {

// What a row prepares: nothing; a configuration directory "etc" for the row's answers, with a generated file's
// name held by a directory or not; or no "etc", which ends the process. Every run that does not put all its
// files in place returns 1; the writer's tests and native-full-disk.sh cover the full disk.
enum Etc { NONE, READY, HELD, MISSING };

// True when pattern spells the whole of text, each "*" in it standing for any
// text, also none; an empty pattern matches only an empty text.
bool Matches(std::string_view text, std::string_view pattern) {
    size_t star = pattern.find('*');
    if (star == std::string_view::npos) return text == pattern;
    if (!text.starts_with(pattern.substr(0, star))) return false;
    text.remove_prefix(star);
    for (pattern.remove_prefix(star + 1); (star = pattern.find('*')) != std::string_view::npos;
         pattern.remove_prefix(star + 1)) {
        const size_t at = text.find(pattern.substr(0, star));  // the earliest place leaves the most for the rest
        if (at == std::string_view::npos) return false;
        text.remove_prefix(at + star);
    }
    return text.ends_with(pattern);
}

}  // namespace

TEST(EntryPointTable, PatternsMatchTheWholeText) {
    const std::tuple<const char*, const char*, bool> CASES[] = {
        {"", "", true},          {"x", "", false},        {"abc", "abc", true},   {"abcd", "abc", false},
        {"xabc", "abc", false},  {"abc", "*", true},      {"", "*", true},        {"abc", "a*", true},
        {"abc", "*c", true},     {"abc", "*b", false},    {"abcabc", "*bc", true}, {"abc", "a*b*c", true},
        {"ac", "a*b*c", false},  {"aXbXc", "a*c", true},  {"aba", "ab*ba", false}, {"abba", "ab*ba", true},
    };
    for (const auto& [text, pattern, matches] : CASES)
        EXPECT_EQ(matches, Matches(text, pattern)) << '"' << text << "\" vs \"" << pattern << '"';
}

// Each row is one call as a host makes it, in a directory of its own where the setup log holds an earlier run.
// log: what the log holds after the call (empty: left alone); out and err: the two streams; "*": any text.
// No settings file. Of two registry snapshots one cannot be read, and is named; the other holds the maker's
// paths, which the variables repeat, as the registry of a Windows test machine has none.
TEST(EntryPoint, EachCallGivesItsResultItsOutputAndItsSetupLog) {
    struct Row {
        const char* name;
        const char* parms;
        int skip;
        Etc etc;
        const char* answers;
        int result;
        std::string out, err, log;
    };
    const std::string REFUSED = "IXE0015E TAVIXEXT(*) tavsetup logfile product version description. TAVNOVU.\n";
    const std::string HELD_FILE = "Finished generating etc\\Oracle_DB.bat file\n"
                                  "Can't replace 'etc\\TUOVMA_DB.ini': *; the configuration is incomplete: "
                                  "the files finished above are in place, these are not:\n"
                                  "  etc\\TUOVMA_DB.ini\n  etc\\tuoinc.ini\n";
    const std::string GENERATED = "Finished generating etc\\Oracle_DB.bat file\n"
                                  "Finished generating etc\\TUOVMA_DB.ini file\n";
    // Standard output of a run past the parameter string: its two line ends, then
    // what the install-path lookup and the runtime's settings say (the machine's own).
    const std::string RUN = "\n\n*";
    // The log of such a run: the same two line ends, then the stamped start line.
    const std::string STARTED = "\n\n\n*\nStarting Database Monitor Installation\n";
    const std::string FINISHED = "\n*\nFinished Database Monitor Configuration\n";
    const std::string keyword(80, 'k'), longParms = std::string(150, 'L') + ".log " + keyword + " 1.0 some description";
    const std::string UNSUPPORTED = keyword + " is not a supported product\n";
    const Row ROWS[] = {
        {"skip set: only the runtime set-up", "setup.log oracle 9.2", 1, NONE, nullptr, 0, "", "", ""},
        {"empty parameter string", "", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"blanks only", "   ", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"log alone", "setup.log", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"no version", "setup.log oracle", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"blanks around two words", "setup.log  oracle  ", 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"no parameter string", nullptr, 0, NONE, nullptr, 1, "", REFUSED, ""},
        {"log in a missing directory", "missing/dir/setup.log oracle 9.2", 0, NONE, nullptr, 2, "",
         "IXE0020E TAVIXEXT(*) Could not open logfile! TAVNOVU.\n", ""},
        {"keyword with a version in it", "setup.log Oracle8 9.2", 0, NONE, nullptr, 1,
         RUN + "\noracle8 is not a supported product\n", "", STARTED + "oracle8 is not a supported product\n"},
        {"long log name and long keyword", longParms.c_str(), 0, NONE, nullptr, 1, RUN + "\n" + UNSUPPORTED, "",
         STARTED + UNSUPPORTED},
        {"OK in the dialog", "setup.log oracle 1.0", 0, READY, "[new DB]\n[ok]\n", 0, RUN + "\n\n\n" + GENERATED, "",
         STARTED + "\n\n" + GENERATED + FINISHED},
        {"cancel in the dialog", "setup.log oracle 1.0", 0, READY, "[cancel]\n", 1, RUN + "\n", "", STARTED},
        {"unknown answer", "setup.log oracle 1.0", 0, READY, "[frob]\n", 1, RUN + "\nUnable to display dialog: RC=13\n",
         "answers.txt:1: unknown section \"frob\"; *\n", STARTED},
        {"generated file held by a directory", "setup.log oracle 1.0", 0, HELD, "[new DB]\n[ok]\n", 1,
         RUN + "\n\n\n" + HELD_FILE, "", STARTED + "\n\n" + HELD_FILE},
        // The include file cannot be opened: the process ends.
        {"no configuration directory", "setup.log oracle 1.0", 0, MISSING, "[new DB]\n[ok]\n", 100, "", "", ""},
    };
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        ScopedCwd cwd(dir.path());
        ScopedEnv registry("TAVNOVU_REGISTRY", "missing.reg:paths.reg"), etc("ETCPATH", "etc"), logs("LOGPATH", "L:\\logs");
        WriteFile("paths.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration]\n"
                               "\"EtcPath\"=\"etc\"\n\"LogPath\"=\"L:\\\\logs\"\n");
        ScopedEnv answers("TAVNOVU_ANSWERS", row.answers ? "answers.txt" : nullptr);
        const std::string log = row.parms ? std::string(row.parms, std::strcspn(row.parms, " ")) : "setup.log";
        WriteFile(log, "earlier run\n");  // not made in a directory that is missing
        const std::string before = ReadText(log);
        if (row.answers) WriteFile("answers.txt", row.answers);
        if (row.etc != NONE && row.etc != MISSING) fs::create_directory("etc");
        if (row.etc == HELD) fs::create_directory("etc/TUOVMA_DB.ini");
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
        EXPECT_TRUE(Matches(out, row.out)) << out;
        std::string_view errors = err;
#ifndef _WIN32
        // Off Windows the unreadable snapshot is named first, before anything of the row's own.
        const std::string_view unreadable = "missing.reg: cannot open: No such file or directory\n";
        EXPECT_EQ(!row.skip, errors.starts_with(unreadable)) << err;
        if (errors.starts_with(unreadable)) errors.remove_prefix(unreadable.size());
#endif
        EXPECT_TRUE(Matches(errors, row.err)) << err;
        if (row.log.empty()) {
            EXPECT_EQ(before, written);
        } else {
            EXPECT_TRUE(Matches(written, "earlier run\n" + row.log)) << written;
            EXPECT_EQ(row.result == 0, written.find("Finished Database Monitor Configuration") != std::string::npos)
                << written;
            if (row.result == 0) {
                EXPECT_NE(std::string::npos, ReadBinary("etc/Oracle_DB.bat").find("SET COLL_HOME=L:\\logs\r\n"));
            }
        }
    }
}

// Every "[Local Settings]" section up to its first empty line or the next header, copied as written to
// tavtset.ini, which replaces an earlier copy whole; a settings file that is missing or cannot be read to its
// end (a directory, "/" below) leaves the earlier copy.
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
        EXPECT_TRUE(CopyLocalSettings("installer.ini").Ok()) << settings;
        EXPECT_EQ(copy, ReadText("tavtset.ini")) << settings;
        for (const auto& file : fs::directory_iterator(".")) EXPECT_NE(".tmp", file.path().extension().string()) << "left behind";
    }
}

// A copy that cannot be put in place is a failure that names the file, and leaves nothing of ours behind.
TEST(LocalSettings, ACopyThatCannotBePutInPlaceIsAFailure) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    WriteFile("installer.ini", "[Local Settings]\nA=1\n");
    fs::create_directory("tavtset.ini");
    const Status copied = CopyLocalSettings("installer.ini");
    EXPECT_FALSE(copied.Ok());
    EXPECT_TRUE(copied.text.starts_with("Can't replace 'tavtset.ini': ")) << copied.text;
    EXPECT_TRUE(fs::is_directory("tavtset.ini"));
    for (const auto& file : fs::directory_iterator(".")) EXPECT_NE(".tmp", file.path().extension().string()) << "left behind";
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
    EXPECT_TRUE(Matches(expected.at("etc/Oracle_DB.bat"), "*SET COLL_LOGON=third\r\nSET COLL_PASSWORD=third\r\n*"));
    EXPECT_TRUE(Matches(expected.at("DBHOST_av_S3_ixcfg.out"), "*IXE0005T (hhmmss) TAVIXEXT(*) Passed parms*"));
}
