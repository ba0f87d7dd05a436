// Runtime settings, environment access, allocation and shell output.
#include "runtime/coll.h"

#include "platform/Process.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using tavtest::InFreshProcess;
using tavtest::RecordCapture;
using tavtest::ScopedEnv;
using tavtest::ScopedTrace;

namespace {

// Takes a coll_getenv result and releases it.
std::string Take(char* value) {
    std::string text = value ? value : "<null>";
    coll_free(value, __FILE__, __LINE__, "value");
    return text;
}

// The variables coll_init_settings reads, all removed: a known start.
void ClearSettingsEnvironment() {
    static const char* const NAMES[] = {
        "COLL_DEBUG", "HOMEDRIVE", "HOMEPATH", "TEMP", "USERNAME", "COLL_HOME", "COLL_CTL_HOME",
        "COLL_BINPATH", "COLL_HOSTNAME", "COMPUTERNAME", "COLL_SERVERID", "COLL_LOGON", "COLL_LOGONID",
        "COLL_PASSWORD", "COLL_VERSION", "COLL_VERSION_HOME", "COLL_PREFIX", "TAVLOGDIR",
        "COLL_PREFIX_LOCAL", "COLL_OUT", "COLL_ERRORLOG", "COLL_DBVERSION", "MAXREADSZ_ERRORLOG",
        "COLL_USESHM", "COLL_DBHOME", "COLL_NOSIGNALS", "COLL_NOSEC", "TAVCFGDIR"};
    for (const char* name : NAMES)
        tavtest::SetEnv(name, nullptr);
}

// Writes that the compiler may not drop although the block is freed next.
void Dirty(void* block, size_t size) {
    volatile unsigned char* bytes = static_cast<unsigned char*>(block);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = 0xAB;
}

std::vector<int> TraceLevels() {
    return std::vector<int>(coll_trace, coll_trace + COLL_TRACE_LEVELS);
}

}  // namespace

// ---- allocation -----------------------------------------------------------------

TEST(CollAlloc, RoundsToSixteenWithFourSpare) {
    EXPECT_EQ(coll_alloc_size(0), 16u);
    EXPECT_EQ(coll_alloc_size(12), 16u);
    EXPECT_EQ(coll_alloc_size(13), 32u);
    EXPECT_EQ(coll_alloc_size(28), 32u);
    EXPECT_EQ(coll_alloc_size(29), 48u);
    for (size_t n = 0; n < 100; ++n) {
        size_t rounded = coll_alloc_size(n);
        EXPECT_EQ(rounded % 16, 0u) << n;
        EXPECT_GE(rounded, n + 4) << n;
        EXPECT_LT(rounded, n + 4 + 16) << n;
    }
    EXPECT_EQ(coll_alloc_size(SIZE_MAX), 0u);
}

TEST(CollAlloc, FailureEndsTheProcessWithCodeFour) {
    EXPECT_EXIT(coll_alloc(SIZE_MAX / 2, "C:\\src\\site.cpp", 7, "huge+1"), ::testing::ExitedWithCode(4),
                "UTM5400S SITE.7. Memory allocation error at:C:.src.site.cpp.7 - huge.1 for "
                "9223372036854775807 bytes");
}

TEST(CollAlloc, ZeroFillSwitchOneClearsTheWholeBlock) {
    InFreshProcess([] {
        ScopedEnv zero("COLL_ZEROMEM", "1");
        // Dirty a block of the same size first, so that a reused block would show it.
        unsigned char* dirty = static_cast<unsigned char*>(coll_alloc(13, __FILE__, __LINE__, "13"));
        Dirty(dirty, 32);
        coll_free(dirty, __FILE__, __LINE__, "dirty");
        unsigned char* block = static_cast<unsigned char*>(coll_alloc(13, __FILE__, __LINE__, "13"));
        for (int i = 0; i < 32; ++i)
            EXPECT_EQ(block[i], 0) << i;
        coll_free(block, __FILE__, __LINE__, "block");
    });
}

// ---- coll_getenv ----------------------------------------------------------------

TEST(CollGetenv, PresentValueIsACopyInEveryMode) {
    ScopedEnv var("TAVT_PRESENT", "value 1");
    RecordCapture records;
    for (int mode : {COLL_ENV_TRACE, COLL_ENV_REPORT, COLL_ENV_EXPORT, COLL_ENV_QUIET, 7}) {
        char* value = coll_getenv("TAVT_PRESENT", mode, "default");
        ASSERT_NE(value, nullptr);
        EXPECT_NE(value, std::getenv("TAVT_PRESENT"));
        EXPECT_EQ(Take(value), "value 1") << mode;
    }
    EXPECT_EQ(records.Text(), "");
}

TEST(CollGetenv, ReportUnsetWithoutDefault) {
    ScopedEnv var("TAVT_UNSET", nullptr);
    RecordCapture records;
    EXPECT_EQ(coll_getenv("TAVT_UNSET", COLL_ENV_REPORT, nullptr), nullptr);
    std::string text = records.Text();
    EXPECT_EQ(text.rfind("UEN0015W TAVUTIL(", 0), 0u) << text;
    EXPECT_NE(text.find(") Environment variable \"TAVT_UNSET\" not set\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("UEN0020"), std::string::npos);
}

TEST(CollGetenv, ReportUnsetWithDefault) {
    ScopedEnv var("TAVT_UNSET", nullptr);
    RecordCapture records;
    EXPECT_EQ(Take(coll_getenv("TAVT_UNSET", COLL_ENV_REPORT, "C:\\dflt")), "C:\\dflt");
    std::string text = records.Text();
    size_t notSet = text.find("UEN0015I TAVUTIL(");
    size_t usingDefault = text.find("UEN0020I TAVUTIL(");
    ASSERT_NE(notSet, std::string::npos) << text;
    ASSERT_NE(usingDefault, std::string::npos) << text;
    EXPECT_LT(notSet, usingDefault);
    EXPECT_NE(text.find(") Using default of C:\\dflt\n"), std::string::npos) << text;
}

TEST(CollGetenv, ReportEmptyIsNotAvailable) {
    if (!tavtest::EmptyValuesSupported())
        GTEST_SKIP() << "the C runtime here cannot hold an empty value";
    ScopedEnv var("TAVT_EMPTY", "");
    RecordCapture records;
    EXPECT_EQ(coll_getenv("TAVT_EMPTY", COLL_ENV_REPORT, nullptr), nullptr);
    std::string text = records.Text();
    EXPECT_EQ(text.rfind("UEN0010W TAVUTIL(", 0), 0u) << text;
    EXPECT_NE(text.find(") Environment variable \"TAVT_EMPTY\" is not available\n"), std::string::npos);
    // Otherwise an empty value is a missing one: the default applies.
    EXPECT_EQ(Take(coll_getenv("TAVT_EMPTY", COLL_ENV_QUIET, "d")), "d");
}

TEST(CollGetenv, EmptyDefaultCountsAsNone) {
    ScopedEnv var("TAVT_UNSET", nullptr);
    RecordCapture records;
    EXPECT_EQ(coll_getenv("TAVT_UNSET", COLL_ENV_REPORT, ""), nullptr);
    std::string text = records.Text();
    EXPECT_EQ(text.rfind("UEN0015W", 0), 0u) << text;
    EXPECT_EQ(text.find("UEN0020"), std::string::npos) << text;
}

TEST(CollGetenv, TraceRecordsOnlyWithCategoryThree) {
    ScopedEnv set("TAVT_SET", "v");
    ScopedEnv unset("TAVT_UNSET", nullptr);
    RecordCapture records;
    coll_free(coll_getenv("TAVT_SET", COLL_ENV_TRACE, nullptr), __FILE__, __LINE__, "v");
    EXPECT_EQ(records.Text(), "");
    {
        ScopedTrace trace(3, 1);
        coll_free(coll_getenv("TAVT_SET", COLL_ENV_TRACE, nullptr), __FILE__, __LINE__, "v");
        EXPECT_EQ(coll_getenv("TAVT_UNSET", 7, nullptr), nullptr);
        EXPECT_EQ(Take(coll_getenv("TAVT_UNSET", COLL_ENV_TRACE, "dd")), "dd");
        EXPECT_EQ(coll_getenv("TAVT_UNSET", COLL_ENV_QUIET, nullptr), nullptr);
        EXPECT_EQ(Take(coll_getenv("TAVT_UNSET", COLL_ENV_REPORT, "x")), "x");
    }
    std::string text = records.Text();
    EXPECT_TRUE(tavtest::HasTimeHeader(text, "UEN0025T ", "TAVUTIL(")) << text;
    EXPECT_NE(text.find(") Env var TAVT_SET=v.\n"), std::string::npos) << text;
    EXPECT_NE(text.find(") Env var TAVT_UNSET was not set.\n"), std::string::npos) << text;
    EXPECT_NE(text.find(") Env var TAVT_UNSET=dd.\n"), std::string::npos) << text;
    // One record per traced call; the quiet and report calls trace nothing.
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    EXPECT_EQ(lines, 3u + 2u) << text;  // three traces, then uen0015 and uen0020 of the report call
}

// The buffers coll_setenv hands to the environment stay there for good: these
// run in a fresh process, so that no test puts the variables back behind them.
TEST(CollGetenv, ExportPutsTheDefaultIntoTheEnvironment) {
    InFreshProcess([] {
        tavtest::SetEnv("TAVT_EXPORTED", nullptr);
        char* value = coll_getenv("TAVT_EXPORTED", COLL_ENV_EXPORT, "exported");
        ASSERT_NE(value, nullptr);
        EXPECT_STREQ(value, "exported");
        const char* seen = std::getenv("TAVT_EXPORTED");
        ASSERT_NE(seen, nullptr);
        EXPECT_STREQ(seen, "exported");
        // Without a default there is nothing to export.
        tavtest::SetEnv("TAVT_NOT_EXPORTED", nullptr);
        EXPECT_EQ(coll_getenv("TAVT_NOT_EXPORTED", COLL_ENV_EXPORT, nullptr), nullptr);
        EXPECT_EQ(std::getenv("TAVT_NOT_EXPORTED"), nullptr);
    });
}

// ---- coll_setenv ----------------------------------------------------------------

TEST(CollSetenv, SetsAndReturnsTheValuePart) {
    InFreshProcess([] {
        tavtest::SetEnv("TAVT_SETENV", nullptr);
        RecordCapture records;
        coll_trace[0] = 1;
        char* value = coll_setenv("TAVT_SETENV", "C:\\x y");
        ASSERT_NE(value, nullptr);
        EXPECT_STREQ(value, "C:\\x y");
        EXPECT_STREQ(value - std::strlen("TAVT_SETENV="), "TAVT_SETENV=C:\\x y");
        ASSERT_NE(std::getenv("TAVT_SETENV"), nullptr);
        EXPECT_STREQ(std::getenv("TAVT_SETENV"), "C:\\x y");
        std::string text = records.Text();
        EXPECT_NE(text.find(") Set environment variable \"TAVT_SETENV=C:\\x y\".\n"), std::string::npos) << text;
        EXPECT_EQ(text.rfind("UEN0046T (", 0), 0u) << text;
        // Replaced by a later call; without trace category 0 nothing is recorded.
        coll_trace[0] = 0;
        EXPECT_STREQ(coll_setenv("TAVT_SETENV", "second"), "second");
        EXPECT_STREQ(std::getenv("TAVT_SETENV"), "second");
        EXPECT_EQ(records.Text(), text);
    });
}

TEST(CollSetenv, RefusedNamesAreReported) {
    RecordCapture records;
    testing::internal::CaptureStderr();
    EXPECT_EQ(coll_setenv("", "x"), nullptr);
    EXPECT_EQ(coll_setenv("TAVT_A=B", "x"), nullptr);
    std::string errors = testing::internal::GetCapturedStderr();
    std::string text = records.Text();
    EXPECT_EQ(text.rfind("UEN0045E TAVUTIL(", 0), 0u) << text;
    EXPECT_NE(text.find(") Environment variable \"=x\" could not be set.\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"TAVT_A=B=x\" could not be set.\n"), std::string::npos) << text;
    EXPECT_EQ(errors, text);
    EXPECT_EQ(std::getenv("TAVT_A"), nullptr);
}

// ---- coll_shell_output ----------------------------------------------------------

TEST(CollShellOutput, JoinsLinesWithOneBlank) {
#ifdef _WIN32
    const char* command = "echo a& echo.& echo b  & echo c";
#else
    const char* command = "printf 'a\\n\\nb  \\nc\\n'";
#endif
    EXPECT_EQ(Take(coll_shell_output(command)), "a b c");
#ifdef _WIN32
    EXPECT_EQ(Take(coll_shell_output("rem")), "");
#else
    EXPECT_EQ(Take(coll_shell_output("true")), "");
#endif
    EXPECT_EQ(Take(coll_shell_output("")), "");
}

TEST(CollShellOutput, AtMostFiveHundredLines) {
#ifdef _WIN32
    const char* command = "for /L %i in (1,1,600) do @echo %i";
#else
    const char* command = "i=1; while [ $i -le 600 ]; do echo $i; i=$((i+1)); done";
#endif
    std::string joined = Take(coll_shell_output(command));
    ASSERT_GE(joined.size(), 6u);
    EXPECT_EQ(joined.substr(0, 6), "1 2 3 ");
    EXPECT_EQ(joined.substr(joined.size() - 8), " 499 500") << joined.substr(joined.size() - 20);
}

TEST(CollShellOutput, OverLongCommandIsRefusedNotCut) {
    tavtest::TempDir dir;
    std::filesystem::path marker = dir.path() / "ran";
    std::string command = "echo x >\"" + marker.string() + "\"" + std::string(9000, ' ');
    RecordCapture records;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Take(coll_shell_output(command.c_str())), "");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(marker));
    std::string text = records.Text();
    EXPECT_EQ(text.rfind("UEN0050E TAVUTIL(", 0), 0u) << text;
    EXPECT_NE(text.find("not run: longer than 8191 characters"), std::string::npos) << text;
    EXPECT_EQ(errors, text);
}

// ---- coll_init_settings ---------------------------------------------------------

TEST(CollInitSettings, DebugLevels) {
    struct Case {
        const char* debug;
        std::vector<int> levels;
    };
    const Case cases[] = {
        {"-xd", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"d", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"-xdeA9", {1, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"xzZdddddddddd", {23, 23, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"-", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.debug);
        InFreshProcess([&c] {
            ClearSettingsEnvironment();
            tavtest::SetEnv("COLL_DEBUG", c.debug);
            RecordCapture quiet;  // category 3 traces every variable
            CollSettings settings = {};
            EXPECT_EQ(coll_init_settings(&settings), 1);
            EXPECT_EQ(TraceLevels(), c.levels);
        });
    }
}

TEST(CollInitSettings, DefaultsFromTempAndCurrentDirectory) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("TEMP", "C:\\Temp dir");
        std::filesystem::current_path(dir.path());
        CollSettings settings = {};
        ASSERT_EQ(coll_init_settings(&settings), 1);
        std::string current = tavplat::CurrentDirectory();
        EXPECT_STREQ(settings.username, "sys");
        EXPECT_STREQ(settings.prefix, "C:\\Temp dir\\sys");
        EXPECT_EQ(settings.prefix_local, settings.prefix);
        EXPECT_EQ(settings.out_dir, settings.home);
        EXPECT_EQ(settings.home, current);
        EXPECT_EQ(settings.ctl_home, current);
        EXPECT_EQ(settings.cfgdir, current);
        EXPECT_NE(settings.cfgdir, settings.ctl_home);
        EXPECT_STREQ(settings.version, "tav");
        EXPECT_EQ(settings.maxreadsz_errorlog, 20480000);
        EXPECT_EQ(settings.nosignals, 0);
        for (char* field : {settings.binpath, settings.hostname, settings.server_id, settings.logon,
                            settings.password, settings.errorlog, settings.useshm, settings.nosec,
                            settings.dbhome, settings.dbversion})
            EXPECT_EQ(field, nullptr);
    });
}

TEST(CollInitSettings, SystemDriveRootWithoutTemp) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("USERNAME", "pat");
        CollSettings settings = {};
        coll_init_settings(&settings);
        EXPECT_EQ(std::string(settings.prefix), tavplat::SystemDriveRoot() + "\\pat");
        EXPECT_STREQ(settings.username, "pat");
    });
}

TEST(CollInitSettings, VariablesAndFallbacks) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("TAVLOGDIR", "D:\\logs");
        tavtest::SetEnv("USERNAME", "dba");
        tavtest::SetEnv("COLL_PREFIX_LOCAL", "E:\\local");
        tavtest::SetEnv("COLL_HOME", "F:\\home");
        tavtest::SetEnv("COMPUTERNAME", "BOX");
        tavtest::SetEnv("COLL_LOGONID", "scott");
        tavtest::SetEnv("COLL_VERSION_HOME", "tu9");
        tavtest::SetEnv("MAXREADSZ_ERRORLOG", "123");
        tavtest::SetEnv("COLL_NOSIGNALS", "3");
        tavtest::SetEnv("TAVCFGDIR", "G:\\cfg");
        CollSettings settings = {};
        coll_init_settings(&settings);
        EXPECT_STREQ(settings.prefix, "D:\\logs\\dba");
        EXPECT_STREQ(settings.prefix_local, "E:\\local");
        EXPECT_EQ(settings.out_dir, settings.prefix_local);
        EXPECT_STREQ(settings.home, "F:\\home");
        EXPECT_STREQ(settings.hostname, "BOX");
        EXPECT_STREQ(settings.logon, "scott");
        EXPECT_STREQ(settings.version, "tu9");
        EXPECT_EQ(settings.maxreadsz_errorlog, 123);
        EXPECT_EQ(settings.nosignals, 3);
        EXPECT_STREQ(settings.cfgdir, "G:\\cfg");
    });
}

TEST(CollInitSettings, OwnVariablesWinOverFallbacks) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("COLL_HOSTNAME", "host1");
        tavtest::SetEnv("COMPUTERNAME", "BOX");
        tavtest::SetEnv("COLL_LOGON", "sa");
        tavtest::SetEnv("COLL_LOGONID", "scott");
        tavtest::SetEnv("COLL_VERSION", "tu8");
        tavtest::SetEnv("COLL_VERSION_HOME", "tu9");
        tavtest::SetEnv("COLL_PREFIX", "P:\\pre");
        tavtest::SetEnv("COLL_OUT", "O:\\out");
        CollSettings settings = {};
        coll_init_settings(&settings);
        EXPECT_STREQ(settings.hostname, "host1");
        EXPECT_STREQ(settings.logon, "sa");
        EXPECT_STREQ(settings.version, "tu8");
        EXPECT_STREQ(settings.prefix, "P:\\pre");
        EXPECT_EQ(settings.prefix_local, settings.prefix);
        EXPECT_STREQ(settings.out_dir, "O:\\out");
    });
}

TEST(CollInitSettings, SetFieldsStayAndSecondCallChangesNothing) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("COLL_DEBUG", "-xd");
        char home[] = "H:\\mine";
        CollSettings settings = {};
        settings.home = home;
        settings.maxreadsz_errorlog = 5;
        coll_init_settings(&settings);
        EXPECT_EQ(settings.home, home);
        EXPECT_EQ(settings.out_dir, home);
        EXPECT_EQ(settings.maxreadsz_errorlog, 5);
        CollSettings before = settings;
        tavtest::SetEnv("COLL_DEBUG", "-xe");
        tavtest::SetEnv("COLL_HOME", "X:\\other");
        tavtest::SetEnv("COLL_BINPATH", "B:\\bin");
        coll_init_settings(&settings);
        // Only the field that was still empty is filled.
        EXPECT_STREQ(settings.binpath, "B:\\bin");
        settings.binpath = nullptr;
        for (auto field : {&CollSettings::home, &CollSettings::ctl_home, &CollSettings::out_dir,
                           &CollSettings::username, &CollSettings::version, &CollSettings::prefix,
                           &CollSettings::prefix_local, &CollSettings::cfgdir, &CollSettings::hostname})
            EXPECT_EQ(settings.*field, before.*field);
        EXPECT_EQ(settings.maxreadsz_errorlog, 5);
        // The trace levels are read once per process.
        EXPECT_EQ(coll_trace[0], 1);
    });
}

TEST(CollInitSettings, MaxReadSizeDefaultIsReportedWithCategorySix) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("COLL_DEBUG", "-xaaaaaad");
        RecordCapture records;
        CollSettings settings = {};
        coll_init_settings(&settings);
        EXPECT_EQ(coll_trace[6], 1);
        std::string text = records.Text();
        EXPECT_NE(text.find("UEN0021T ("), std::string::npos) << text;
        EXPECT_NE(text.find(") 'MAXREADSZ_ERRORLOG' not set, using default of 20480000\n"), std::string::npos)
            << text;
    });
}

TEST(CollInitSettings, EnvironmentTraceWithCategoryThree) {
    InFreshProcess([] {
        ClearSettingsEnvironment();
        tavtest::SetEnv("COLL_DEBUG", "-xaaad");
        tavtest::SetEnv("COLL_SERVERID", "ORCL");
        RecordCapture records;
        CollSettings settings = {};
        coll_init_settings(&settings);
        std::string text = records.Text();
        EXPECT_NE(text.find(") Env var COLL_SERVERID=ORCL.\n"), std::string::npos) << text;
        EXPECT_NE(text.find(") Env var COLL_BINPATH was not set.\n"), std::string::npos) << text;
        // Quiet lookups are not traced.
        EXPECT_EQ(text.find("USERNAME"), std::string::npos) << text;
    });
}
