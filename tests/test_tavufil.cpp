// Message records, the message output file with its backups, and wrapping.
#include "runtime/coll.h"

#include "platform/FileSystem.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using tavtest::InFreshProcess;
using tavtest::RecordCapture;
using tavtest::ScopedEnv;
using tavtest::ScopedTrace;

namespace {

constexpr const char* SETUP_FILE = "C:\\src\\setup\\tavixext.cpp";

// Runs with no output file: records go to standard output and the error stream.
class WithoutOutputFile {
public:
    WithoutOutputFile() : saved_(coll_output) { coll_output = nullptr; }
    ~WithoutOutputFile() { coll_output = saved_; }

private:
    FILE* saved_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Settings for a message file in dir: no host, version or server id in its name.
void UseOutputDirectory(const tavtest::TempDir& dir) {
    static std::string outDir;
    outDir = dir.str();
    coll_settings = CollSettings{};
    coll_settings.out_dir = outDir.data();
}

// Writes one information record naming its generation, and flushes it.
void WriteGeneration(int generation) {
    coll_message(nullptr, __FILE__, __LINE__, "i", "tst0001", "generation %d", generation);
    std::fflush(coll_output);
}

}  // namespace

// ---- record layout ---------------------------------------------------------------

TEST(CollMessage, ErrorRecordGoesToFileAndErrorStream) {
    RecordCapture records;
    testing::internal::CaptureStderr();
    int written = coll_message(nullptr, SETUP_FILE, 210, "e", "ixe0020", "Could not open logfile! %s.", "TAVNOVU");
    std::string errors = testing::internal::GetCapturedStderr();
    // Errors are flushed at once.
    const std::string line = "IXE0020E TAVIXEXT(210) Could not open logfile! TAVNOVU.\n";
    EXPECT_EQ(records.Unflushed(), line);
    EXPECT_EQ(errors, line);
    EXPECT_EQ(written, static_cast<int>(line.size()));
}

TEST(CollMessage, TraceRecordCarriesTheTimeAndIsFlushed) {
    RecordCapture records;
    coll_message(nullptr, SETUP_FILE, 12, "t", "ixe0005", "Passed parms from INI %s.", "a b c");
    std::string text = records.Unflushed();
    EXPECT_TRUE(tavtest::HasTimeHeader(text, "IXE0005T ", "TAVIXEXT(12) Passed parms from INI a b c.\n")) << text;
}

TEST(CollMessage, IdForms) {
    RecordCapture records;
    coll_message(nullptr, SETUP_FILE, 1, "i", ".abc0001", "dot");
    coll_message(nullptr, SETUP_FILE, 2, "w", "", "no id");
    coll_message(nullptr, SETUP_FILE, 3, "w", nullptr, "null id");
    coll_message(nullptr, SETUP_FILE, 4, "w", " x0001", "blank id");
    coll_message(nullptr, nullptr, 5, "w", "abc0002", "no file\n");
    EXPECT_EQ(records.Text(),
              "ABC0001I TAVIXEXT(1) dot\n"
              "no id\n"
              "null id\n"
              "blank id\n"
              "ABC0002W no file\n");
}

TEST(CollMessage, EmptyOrBadFormatGivesTheErrorText) {
    RecordCapture records;
    EXPECT_GT(coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "%s", ""), 0);
    coll_message(nullptr, SETUP_FILE, 2, "i", "abc0001", nullptr);
    EXPECT_EQ(records.Text(),
              "ABC0001I TAVIXEXT(1)  *** vsprintf error **** \n"
              "ABC0001I TAVIXEXT(2)  *** vsprintf error **** \n");
}

TEST(CollMessage, LongTextAndHeaderAreWrittenWhole) {
    RecordCapture records;
    std::string longText(20000, 'x');
    std::string longId = "abc0001" + std::string(200, 'y');
    coll_message(nullptr, SETUP_FILE, 1, "i", longId.c_str(), "%s", longText.c_str());
    std::string expectedId = "ABC0001" + std::string(200, 'Y');
    EXPECT_EQ(records.Text(), expectedId + "I TAVIXEXT(1) " + longText + "\n");
}

TEST(CollMessage, TypeRows) {
    RecordCapture records;
    testing::internal::CaptureStderr();
    coll_message(nullptr, SETUP_FILE, 1, "a", "abc0001", "a-type");
    coll_message(nullptr, SETUP_FILE, 2, "s", "abc0002", "severe");
    coll_message(nullptr, SETUP_FILE, 3, "q", "abc0003", "other");
    coll_message(nullptr, SETUP_FILE, 4, "-", "abc0004", "no header");
    coll_message(nullptr, SETUP_FILE, 5, "W", "abc0005", "warning");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(records.Text(),
              "ABC0001I TAVIXEXT(1) a-type\n"
              "ABC0002S TAVIXEXT(2) severe\n"
              "ABC0003Q TAVIXEXT(3) other\n"
              "no header\n"
              "ABC0005W TAVIXEXT(5) warning\n");
    EXPECT_EQ(errors,
              "ABC0001I TAVIXEXT(1) a-type\n"
              "ABC0002S TAVIXEXT(2) severe\n"
              "ABC0003Q TAVIXEXT(3) other\n");
}

TEST(CollMessage, EmptyTypeIsATrace) {
    RecordCapture records;
    coll_message(nullptr, SETUP_FILE, 1, "", "abc0001", "x");
    coll_message(nullptr, SETUP_FILE, 2, nullptr, "abc0002", "y");
    std::vector<std::string> lines = Lines(records.Unflushed());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(tavtest::HasTimeHeader(lines[0], "ABC0001T ", "TAVIXEXT(1) x")) << lines[0];
    EXPECT_TRUE(tavtest::HasTimeHeader(lines[1], "ABC0002T ", "TAVIXEXT(2) y")) << lines[1];
}

TEST(CollMessage, Flags) {
    RecordCapture records;
    testing::internal::CaptureStderr();
    coll_message(nullptr, SETUP_FILE, 1, "iP", "abc0001", "no position");
    coll_message(nullptr, SETUP_FILE, 2, "tT", "abc0002", "trace without time");
    coll_message(nullptr, SETUP_FILE, 3, "iH", "abc0003", "no header");
    coll_message(nullptr, "Mod.cpp", 4, "iu", "abc0004", "own case");
    coll_message(nullptr, SETUP_FILE, 5, "eL", "abc0005", "error not echoed");
    coll_message(nullptr, SETUP_FILE, 6, "il", "abc0006", "echoed");
    EXPECT_EQ(coll_message(nullptr, SETUP_FILE, 7, "e-", "abc0007", "skipped"), 0);
    coll_message(nullptr, SETUP_FILE, 8, "Ih9", "abc0008", "header back on");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(records.Text(),
              "ABC0001I no position\n"
              "ABC0002T TAVIXEXT(2) trace without time\n"
              "no header\n"
              "abc0004I Mod(4) own case\n"
              "ABC0005E TAVIXEXT(5) error not echoed\n"
              "ABC0006I TAVIXEXT(6) echoed\n"
              "ABC0008I TAVIXEXT(8) header back on\n");
    EXPECT_EQ(errors, "ABC0006I TAVIXEXT(6) echoed\n");
}

TEST(CollMessage, FlushFlags) {
    RecordCapture records;
    coll_message(nullptr, SETUP_FILE, 1, "tF", "abc0001", "trace kept in the buffer");
    EXPECT_EQ(records.Unflushed(), "");
    coll_message(nullptr, SETUP_FILE, 2, "iTf", "abc0002", "information flushed");
    EXPECT_NE(records.Unflushed().find("ABC0002I TAVIXEXT(2) information flushed\n"), std::string::npos);
}

TEST(CollMessage, StarFlagAborts) {
    EXPECT_DEATH(coll_message(nullptr, SETUP_FILE, 1, "i*", "abc0001", "never written"), "");
}

TEST(CollMessage, HTypeFollowsItsTraceCategory) {
    RecordCapture records;
    ScopedTrace off(3, 0);
    EXPECT_EQ(coll_message(nullptr, SETUP_FILE, 1, "h3", "abc0001", "off"), 1);
    EXPECT_EQ(coll_message(nullptr, SETUP_FILE, 2, "H12", "abc0002", "no such category"), 1);
    EXPECT_EQ(records.Text(), "");
    {
        ScopedTrace on(3, 2);
        coll_message(nullptr, SETUP_FILE, 3, "h3", "abc0003", "on");
    }
    {
        ScopedTrace zero(0, 1);
        coll_message(nullptr, SETUP_FILE, 4, "H", "abc0004", "category zero");
    }
    std::vector<std::string> lines = Lines(records.Unflushed());
    ASSERT_EQ(lines.size(), 2u) << records.Text();
    EXPECT_TRUE(tavtest::HasTimeHeader(lines[0], "ABC0003T ", "TAVIXEXT(3) on")) << lines[0];
    EXPECT_TRUE(tavtest::HasTimeHeader(lines[1], "ABC0004T ", "TAVIXEXT(4) category zero")) << lines[1];
}

TEST(CollMessage, ContextOnlyWithCategorySix) {
    RecordCapture records;
    ScopedTrace off(6, 0);
    coll_message("ctx", SETUP_FILE, 1, "i", "abc0001", "without");
    {
        ScopedTrace on(6, 1);
        coll_message("Ctx", SETUP_FILE, 2, "i", "abc0002", "with");
    }
    EXPECT_EQ(records.Text(),
              "ABC0001I TAVIXEXT(1) without\n"
              "ABC0002I TAVIXEXT(2) Ctx with\n");
}

TEST(CollMessage, PassThroughWritesAFinishedRecord) {
    RecordCapture records;
    testing::internal::CaptureStderr();
    // Not a format: the record is written as it is.
    const char* finished = "abc0001W kept 100%s as it is";
    coll_message(nullptr, SETUP_FILE, 1, "x", ".", finished);
    coll_message(nullptr, SETUP_FILE, 2, "x", ".", "abc0002E echoed");
    coll_message(nullptr, SETUP_FILE, 3, "xH", ".", "abc0003I body only");
    coll_message(nullptr, SETUP_FILE, 4, "xu", ".", "abc0004I own case");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(records.Text(),
              "ABC0001W kept 100%s as it is\n"
              "ABC0002E echoed\n"
              "body only\n"
              "abc0004I own case\n");
    EXPECT_EQ(errors, "ABC0002E echoed\n");
}

TEST(CollMessage, FailedWriteGoesToTheErrorStream) {
    tavtest::TempDir dir;
    std::filesystem::path path = dir.path() / "readonly.out";
    std::fclose(std::fopen(path.string().c_str(), "w"));
    FILE* readOnly = std::fopen(path.string().c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    FILE* saved = coll_output;
    coll_output = readOnly;
    testing::internal::CaptureStderr();
    int result = coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "lost?");
    std::string errors = testing::internal::GetCapturedStderr();
    coll_output = saved;
    std::fclose(readOnly);
    EXPECT_EQ(errors, "+ ABC0001I TAVIXEXT(1) lost?\n");
    EXPECT_EQ(result, static_cast<int>(errors.size()));
}

// ---- without an output file --------------------------------------------------------

TEST(CollMessage, WithoutFileRecordsGoToStandardOutput) {
    WithoutOutputFile none;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int written = coll_message(nullptr, SETUP_FILE, 1, "w", "abc0001", "to stdout");
    int echoed = coll_message(nullptr, SETUP_FILE, 2, "e", "abc0002", "only to stderr");
    std::string errors = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "ABC0001W TAVIXEXT(1) to stdout\n");
    EXPECT_EQ(errors, "ABC0002E TAVIXEXT(2) only to stderr\n");
    EXPECT_EQ(written, static_cast<int>(out.size()));
    EXPECT_EQ(echoed, 1);
}

TEST(CollMessage, AtTypeSetsTheStandardOutputPrefix) {
    WithoutOutputFile none;
    testing::internal::CaptureStdout();
    EXPECT_EQ(coll_message(nullptr, SETUP_FILE, 1, "@", "[setup] ", nullptr), 0);
    coll_message(nullptr, SETUP_FILE, 2, "i", "abc0001", "prefixed");
    EXPECT_EQ(coll_message(nullptr, SETUP_FILE, 3, "@", nullptr, nullptr), 0);
    coll_message(nullptr, SETUP_FILE, 4, "i", "abc0002", "plain");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "[setup] ABC0001I TAVIXEXT(2) prefixed\n"
              "ABC0002I TAVIXEXT(4) plain\n");
    // The prefix is for standard output only.
    RecordCapture records;
    coll_message(nullptr, SETUP_FILE, 5, "@", "> ", nullptr);
    coll_message(nullptr, SETUP_FILE, 6, "i", "abc0003", "in the file");
    coll_message(nullptr, SETUP_FILE, 7, "@", "", nullptr);
    EXPECT_EQ(records.Text(), "ABC0003I TAVIXEXT(6) in the file\n");
}

// ---- output path and file ------------------------------------------------------------

TEST(CollOutputPath, JoinsTheSettings) {
    CollSettings saved = coll_settings;
    coll_settings = CollSettings{};
    char outDir[] = "C:\\OUT", host[] = "HOST", version[] = "TU9", server[] = "ORCL", empty[] = "";
    coll_settings.out_dir = outDir;
    coll_settings.hostname = host;
    coll_settings.version = version;
    char buffer[256];
    EXPECT_STREQ(coll_output_path(buffer, "ixcfg.out"), "C:\\OUT\\HOST_U9_ixcfg.out");
    coll_settings.server_id = server;
    EXPECT_STREQ(coll_output_path(buffer, "ixcfg.out"), "C:\\OUT\\HOST_U9_ORCL_ixcfg.out");
    coll_settings.out_dir = empty;
    coll_settings.hostname = nullptr;
    coll_settings.server_id = nullptr;
    char* shared = coll_output_path(nullptr, "col.out");
    EXPECT_STREQ(shared, "U9_col.out");
    EXPECT_EQ(coll_output_path(nullptr, "x"), shared);
    coll_settings = saved;
}

TEST(CollOpenOutput, NamesTheFileAndWritesRecords) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv backups("COLL_NUMOUTBAK", nullptr);
        UseOutputDirectory(dir);
        EXPECT_STREQ(coll_output_file_name(), "");
        FILE* stream = coll_open_output("ixcfg.out");
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream, coll_output);
        EXPECT_EQ(std::string(coll_output_file_name()), dir.str() + "\\ixcfg.out");
        coll_message(nullptr, SETUP_FILE, 3, "i", "abc0001", "line one");
        std::fflush(coll_output);
        std::filesystem::path native = tavplat::NativePath(coll_output_file_name());
        // The message file is a text file: the line end is the platform's.
#ifdef _WIN32
        EXPECT_EQ(tavtest::ReadBinary(native), "ABC0001I TAVIXEXT(3) line one\r\n");
#else
        EXPECT_EQ(tavtest::ReadBinary(native), "ABC0001I TAVIXEXT(3) line one\n");
#endif
    });
}

TEST(CollOpenOutput, OneBackupByDefault) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv backups("COLL_NUMOUTBAK", nullptr);
        UseOutputDirectory(dir);
        for (int generation = 1; generation <= 3; ++generation) {
            ASSERT_NE(coll_open_output(nullptr), nullptr);
            WriteGeneration(generation);
        }
        EXPECT_NE(tavtest::ReadText(dir.path() / "col.out").find("generation 3\n"), std::string::npos);
        EXPECT_NE(tavtest::ReadText(dir.path() / "col.ou1").find("generation 2\n"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "col.ou2"));
    });
}

TEST(CollOpenOutput, TwelveBackupsRotate) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv backups("COLL_NUMOUTBAK", "-12");
        UseOutputDirectory(dir);
        for (int generation = 1; generation <= 14; ++generation) {
            ASSERT_NE(coll_open_output("col.out"), nullptr);
            WriteGeneration(generation);
        }
        EXPECT_NE(tavtest::ReadText(dir.path() / "col.out").find("generation 14\n"), std::string::npos);
        for (int k = 1; k <= 12; ++k) {
            std::string expected = "generation " + std::to_string(14 - k) + "\n";
            std::filesystem::path backup = dir.path() / ("col.ou" + std::to_string(k));
            EXPECT_NE(tavtest::ReadText(backup).find(expected), std::string::npos) << backup;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "col.ou13"));
    });
}

TEST(CollOpenOutput, BackupCountRules) {
    struct Case {
        const char* value;
        int16_t category4;
        int expectedBackups;
    };
    const Case cases[] = {{"0", 0, 0}, {"-5", 0, 0}, {"3", 0, 3}, {"15", 0, 9}, {nullptr, 1, 5}, {"-10", 1, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        tavtest::TempDir dir;
        InFreshProcess([&dir, &c] {
            ScopedEnv backups("COLL_NUMOUTBAK", c.value);
            coll_trace[4] = c.category4;
            UseOutputDirectory(dir);
            for (int generation = 1; generation <= c.expectedBackups + 2; ++generation)
                ASSERT_NE(coll_open_output(nullptr), nullptr);
            if (c.expectedBackups > 0) {
                EXPECT_TRUE(std::filesystem::exists(dir.path() / ("col.ou" + std::to_string(c.expectedBackups))));
            }
            EXPECT_FALSE(std::filesystem::exists(dir.path() / ("col.ou" + std::to_string(c.expectedBackups + 1))));
        });
    }
}

TEST(CollOpenOutput, FailureRetriesOnceWithColx) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv backups("COLL_NUMOUTBAK", "0");
        // A directory where the file should be: it cannot be opened for writing.
        std::filesystem::create_directory(dir.path() / "col.out");
        UseOutputDirectory(dir);
        testing::internal::CaptureStdout();
        FILE* stream = coll_open_output(nullptr);
        std::string out = testing::internal::GetCapturedStdout();
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(out, "CAT1995E - Can't open message ouput file: " + dir.str() + "\\col.out\n");
        EXPECT_EQ(std::string(coll_output_file_name()), dir.str() + "\\colx.out");
    });
}

TEST(CollOpenOutput, SecondFailureGivesUp) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv backups("COLL_NUMOUTBAK", "0");
        std::string missing = (dir.path() / "missing").string();
        coll_settings = CollSettings{};
        coll_settings.out_dir = missing.data();
        testing::internal::CaptureStdout();
        EXPECT_EQ(coll_open_output("ixcfg.out"), nullptr);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "CAT1995E - Can't open message ouput file: " + missing + "\\ixcfg.out\n");
        EXPECT_EQ(coll_output, nullptr);
        EXPECT_STREQ(coll_output_file_name(), "");
        // Records still reach standard output.
        testing::internal::CaptureStdout();
        coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "still here");
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "ABC0001I TAVIXEXT(1) still here\n");
    });
}

// ---- wrapping --------------------------------------------------------------------------

TEST(CollCheckWrap, WrapsAfterTheLimit) {
    tavtest::TempDir dir;
    InFreshProcess([&dir] {
        ScopedEnv limit("COLL_WRAPLINES", "3");
        ScopedEnv backups("COLL_NUMOUTBAK", nullptr);
        UseOutputDirectory(dir);
        ASSERT_NE(coll_open_output(nullptr), nullptr);
        for (int record = 1; record <= 4; ++record)
            WriteGeneration(record);
        std::vector<std::string> first = Lines(tavtest::ReadText(dir.path() / "col.ou1"));
        std::vector<std::string> second = Lines(tavtest::ReadText(dir.path() / "col.out"));
        ASSERT_EQ(first.size(), 3u);
        EXPECT_NE(first[2].find("generation 3"), std::string::npos);
        ASSERT_EQ(second.size(), 2u);
        EXPECT_EQ(second[0].rfind("CGN5000I TAVUFIL(", 0), 0u) << second[0];
        EXPECT_NE(second[0].find(")        File wrapped -- "), std::string::npos) << second[0];
        EXPECT_NE(second[1].find("generation 4"), std::string::npos);

        // Every later file: the wrap record and at most three more.
        for (int record = 5; record <= 7; ++record)
            WriteGeneration(record);
        std::vector<std::string> third = Lines(tavtest::ReadText(dir.path() / "col.out"));
        second = Lines(tavtest::ReadText(dir.path() / "col.ou1"));
        ASSERT_EQ(second.size(), 4u);
        EXPECT_NE(second[3].find("generation 6"), std::string::npos);
        ASSERT_EQ(third.size(), 2u);
        EXPECT_NE(third[0].find("File wrapped"), std::string::npos);
        EXPECT_NE(third[1].find("generation 7"), std::string::npos);
    });
}

TEST(CollCheckWrap, ZeroOrNegativeLimitNeverWraps) {
    for (const char* value : {"0", "-4"}) {
        SCOPED_TRACE(value);
        tavtest::TempDir dir;
        InFreshProcess([&dir, value] {
            ScopedEnv limit("COLL_WRAPLINES", value);
            UseOutputDirectory(dir);
            ASSERT_NE(coll_open_output(nullptr), nullptr);
            for (int record = 1; record <= 10; ++record)
                WriteGeneration(record);
            EXPECT_EQ(Lines(tavtest::ReadText(dir.path() / "col.out")).size(), 10u);
            EXPECT_FALSE(std::filesystem::exists(dir.path() / "col.ou1"));
        });
    }
}

TEST(CollCheckWrap, NoStreamIsLeftAlone) {
    int counter = 99;
    FILE* none = nullptr;
    EXPECT_EQ(coll_check_wrap(&none, "x.out", &counter), 0);
    EXPECT_EQ(coll_check_wrap(nullptr, "x.out", &counter), 0);
    EXPECT_EQ(counter, 99);
    EXPECT_EQ(none, nullptr);
}
