// Runtime settings, environment access, allocation and shell output.
#include "runtime/RuntimeState.h"

#include "platform/Process.h"
#include "TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <utility>

using namespace tavtest;

namespace {

// Takes a coll_getenv result and releases it.
std::string Take(char* value) {
    std::string text = value ? value : "~";
    coll_free(value, "tests", __LINE__, "value");
    return text;
}

}  // namespace

TEST(CollAlloc, RoundsFailsAndZeroFills) {
    for (auto [request, rounded] : {std::pair<size_t, size_t>{0, 16}, {12, 16}, {13, 32}, {28, 32}, {29, 48},
                                    {SIZE_MAX, 0}})
        EXPECT_EQ(coll_alloc_size(request), rounded) << request;
    EXPECT_EXIT(coll_alloc(SIZE_MAX / 2, "C:\\src\\site.cpp", 7, "huge+1"), ::testing::ExitedWithCode(4),
                "UTM5400S SITE.7. Memory allocation error at:site.7 - huge.1 for "
                "9223372036854775807 bytes");
    // COLL_ZEROMEM is read by a session's first allocation.
    ScopedEnv zero("COLL_ZEROMEM", "1");
    tavrun::Session session;
    // A block of the same size dirtied and freed first: a block handed out again, or the
    // sanitizer's filled fresh one, shows a missing fill.
    void* dirty = coll_alloc(13, "tests", __LINE__, "13");
    std::memset(dirty, 0xAB, 32);
    coll_free(dirty, "tests", __LINE__, "dirty");
    unsigned char* block = static_cast<unsigned char*>(coll_alloc(13, "tests", __LINE__, "13"));
    EXPECT_EQ(std::count(block, block + 32, 0), 32);
    coll_free(block, "tests", __LINE__, "block");
}

// The variables are the table's own (TAVT_), and those put into the environment stay there.
TEST(CollGetenv, CallTable) {
    tavrun::Session session;
    for (const std::vector<std::string>& r : Rows("runtime/getenv.txt")) {
        SCOPED_TRACE(r.at(0) + " mode " + r.at(1));
        ASSERT_EQ(r.size(), 7u);
        if (r[2].empty() && !EMPTY_VALUES_SUPPORTED)
            continue;  // the C runtime here cannot hold an empty value
        if (r[2] != "~")
            SetEnv(r[0].c_str(), r[2].c_str());
        const int mode = std::stoi(r[1]);
        if (r[4] != "-")
            coll_trace[std::stoi(r[4])] = static_cast<int16_t>(std::stoi(r[4].substr(2)));
        RecordCapture records;
        char* result = coll_getenv(r[0].c_str(), mode, OrNull(r[3]));
        coll_trace[0] = coll_trace[3] = 0;
        EXPECT_EQ(result ? std::string(result) : "~", r[5]);
        if (mode == COLL_ENV_EXPORT) {
            const char* value = std::getenv(r[0].c_str());  // the environment holds the result
            EXPECT_EQ(value ? std::string(value) : "~", r[5]);
        }
        // A value found is a copy of the caller's own; a default exported belongs to the environment.
        if (mode != COLL_ENV_EXPORT || (r[2] != "~" && !r[2].empty()))
            Take(result);
        EXPECT_EQ(Normalized(records.Text()), r[6]);
    }
}

TEST(CollShellOutput, JoinsLinesUpToFiveHundredAndRefusesOverLongCommands) {
#ifdef _WIN32
    const char* lines = "echo a& echo.& echo b  & echo c";
    const char* many = "for /L %i in (1,1,600) do @echo %i";
#else
    const char* lines = "printf 'a\\n\\nb  \\nc\\n'";
    const char* many = "i=1; while [ $i -le 600 ]; do echo $i; i=$((i+1)); done";
#endif
    EXPECT_EQ(Take(coll_shell_output(lines)), "a b c");
    EXPECT_EQ(Take(coll_shell_output("")), "");
    const std::string joined = " " + Take(coll_shell_output(many));
    EXPECT_EQ(joined.substr(0, 7), " 1 2 3 ");
    EXPECT_EQ(joined.substr(joined.size() - 8), " 499 500");

    TempDir dir;
    const std::string command = "echo x >\"" + dir.file("ran") + "\"" + std::string(9000, ' ');
    RecordCapture records;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Take(coll_shell_output(command.c_str())), "");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(dir.file("ran")));
    EXPECT_EQ(Normalized(errors), "UEN0050E TAVUTIL(n) Command of " + std::to_string(command.size()) +
                                      " characters not run: longer than 8191 characters.\n");
    EXPECT_EQ(records.Text(), errors);
#ifndef _WIN32
    // The longest command still runs (cmd.exe would add its own words to it).
    const std::string longest = "echo y" + std::string(8191 - 6, ' ');
    EXPECT_EQ(Take(coll_shell_output(longest.c_str())), "y");
#endif
}

TEST(CollInitSettings, VariableTable) {
    static const std::map<std::string, char* CollSettings::*> TEXTS = {
        {"home", &CollSettings::home}, {"ctl_home", &CollSettings::ctl_home}, {"binpath", &CollSettings::binpath},
        {"out_dir", &CollSettings::out_dir}, {"hostname", &CollSettings::hostname}, {"logon", &CollSettings::logon},
        {"username", &CollSettings::username}, {"server_id", &CollSettings::server_id}, {"nosec", &CollSettings::nosec},
        {"password", &CollSettings::password}, {"errorlog", &CollSettings::errorlog}, {"cfgdir", &CollSettings::cfgdir},
        {"version", &CollSettings::version}, {"prefix", &CollSettings::prefix}, {"useshm", &CollSettings::useshm},
        {"prefix_local", &CollSettings::prefix_local}, {"dbhome", &CollSettings::dbhome},
        {"dbversion", &CollSettings::dbversion}};
    static const char* const READ[] = {"COLL_DEBUG", "HOMEDRIVE", "HOMEPATH", "TEMP", "USERNAME", "COMPUTERNAME",
        "COLL_LOGONID", "COLL_VERSION_HOME", "TAVLOGDIR", "COLL_OUT", "MAXREADSZ_ERRORLOG", "COLL_NOSIGNALS",
        "TAVCFGDIR", "COLL_HOME", "COLL_CTL_HOME", "COLL_BINPATH", "COLL_HOSTNAME", "COLL_SERVERID", "COLL_LOGON",
        "COLL_PASSWORD", "COLL_VERSION", "COLL_PREFIX", "COLL_PREFIX_LOCAL", "COLL_ERRORLOG", "COLL_DBVERSION",
        "COLL_USESHM", "COLL_DBHOME", "COLL_NOSEC"};
    for (const std::vector<std::string>& r : Rows("runtime/settings.txt")) {
        SCOPED_TRACE(r.at(0));
        TempDir dir;  // before TEMP changes
        ScopedCwd cwd(dir.path());
        tavrun::Session session;  // the texts it frees at its end are in s
        RecordCapture records;
        std::deque<ScopedEnv> variables;
        for (const char* name : READ)
            variables.emplace_back(name, nullptr);
        for (const std::string& set : Split(r.at(0), ';'))
            SetEnv(set.substr(0, set.find('=')).c_str(), set.substr(set.find('=') + 1).c_str());
        CollSettings s = {};
        EXPECT_EQ(coll_init_settings(&s), 1);
        for (std::string field : Split(r.at(1), ';')) {
            field = std::regex_replace(field, std::regex("<cwd>"), tavplat::CurrentDirectory());
            field = std::regex_replace(field, std::regex("<root>"), tavplat::SystemDriveRoot());
            const size_t mark = field.find_first_of("=~@");
            const std::string name = field.substr(0, mark);
            const std::string value = field[mark] == '~' ? "~" : field.substr(mark + 1);
            std::string actual;
            if (name == "trace") {
                for (int16_t level : coll_trace)
                    actual += (actual.empty() ? "" : " ") + std::to_string(level);
            } else if (name == "nosignals" || name == "maxreadsz_errorlog") {
                actual = std::to_string(name == "nosignals" ? s.nosignals : s.maxreadsz_errorlog);
            } else if (field[mark] == '@') {
                actual = s.*TEXTS.at(name) == s.*TEXTS.at(value) ? value : "another pointer";
            } else {
                actual = s.*TEXTS.at(name) ? s.*TEXTS.at(name) : "~";
            }
            EXPECT_EQ(actual, value) << name;
        }
        const std::string text = Normalized(records.Text());
        // An empty cell names no record to look for.
        if (!r.at(2).empty()) for (const std::string& needle : Split(r.at(2), ';')) {
            const bool absent = needle[0] == '!';
            EXPECT_EQ(text.find(needle.substr(absent)) == std::string::npos, absent) << needle << " in " << text;
        }
        // A second call fills only what is still empty, and the trace levels are read once.
        const CollSettings before = s;
        const std::vector<int16_t> levels(coll_trace, coll_trace + COLL_TRACE_LEVELS);
        for (const char* name : READ)
            SetEnv(name, "2nd");
        coll_init_settings(&s);
        for (const auto& [name, field] : TEXTS)
            EXPECT_TRUE(before.*field ? s.*field == before.*field : s.*field != nullptr) << name;
        EXPECT_EQ(s.maxreadsz_errorlog, before.maxreadsz_errorlog);
        EXPECT_EQ(std::vector<int16_t>(coll_trace, coll_trace + COLL_TRACE_LEVELS), levels);
    }
}

// The texts a caller put in stay the caller's when the session ends, even where a filled field
// points at one (out_dir at home); those the fill made are freed, the shared prefix once.
TEST(CollInitSettings, SessionFreesOnlyWhatTheFillMade) {
    std::string home = "C:\\callers\\home";
    ScopedEnv out("COLL_OUT", nullptr), prefix("COLL_PREFIX", "P"), local("COLL_PREFIX_LOCAL", nullptr);
    CollSettings s = {};
    {
        tavrun::Session session;
        s.home = home.data();
        coll_init_settings(&s);
        EXPECT_EQ(s.out_dir, home.data());
        EXPECT_EQ(s.prefix_local, s.prefix);
        EXPECT_STREQ(s.prefix, "P");
    }
    EXPECT_EQ(home, "C:\\callers\\home");
}
