// Message records, the message output file with its backups, and wrapping.
#include "runtime/RuntimeState.h"

#include "TestSupport.h"

#include <algorithm>
#include <sstream>

using namespace tavtest;
namespace fs = std::filesystem;

namespace {

constexpr const char* SETUP_FILE = "C:\\src\\setup\\tavixext.cpp";

// No message file for the life of the object: records go to standard output.
struct NoMessageFile {
    FILE* saved = coll_output;
    NoMessageFile() { coll_output = nullptr; }
    ~NoMessageFile() { coll_output = saved; }
};

// A message file as a list: "W" for the wrap record, the number of each other record; "-" no file.
std::string Records(const fs::path& file) {
    std::string list = fs::exists(file) ? "" : "-";
    std::istringstream in(ReadText(file));
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, std::regex("CGN5000I TAVUFIL\\(\\d+\\)        File wrapped -- .+")))
            line = "TST0001I record W";
        list += (list.empty() ? "" : " ") + (line.rfind("TST0001I record ", 0) == 0 ? line.substr(16) : "?" + line);
    }
    return list;
}

}  // namespace

TEST(CollMessage, RecordTable) {
    for (const std::vector<std::string>& r : Rows("runtime/messages.txt")) {
        SCOPED_TRACE(r.at(4) + " " + r.at(5) + " " + r.at(6));
        ASSERT_EQ(r.size(), 12u);
        // The row's trace level ("-": none), set back at its end.
        const int category = r[1] == "-" ? 0 : std::stoi(r[1]);
        coll_trace[category] = r[1] == "-" ? 0 : static_cast<int16_t>(std::stoi(r[1].substr(2)));
        NoMessageFile none;
        std::optional<RecordCapture> records;
        if (r[0] == "file")
            records.emplace();
        else
            testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int result = coll_message(OrNull(r[2]), OrNull(r[3]), 210, OrNull(r[4]), OrNull(r[5]), OrNull(r[6]),
                                        r[7].c_str());
        // Taking a capture flushes every stream: what reached the file is read first.
        std::string written = records ? records->Unflushed() : testing::internal::GetCapturedStdout();
        const std::string errors = testing::internal::GetCapturedStderr();
        if (r[8] == "n") {
            EXPECT_EQ(written, "") << "flushed";
            written = records->Text();
        }
        EXPECT_EQ(Normalized(written), r[10]);
        EXPECT_EQ(Normalized(errors), r[11] == "=" ? r[10] : r[11]);
        EXPECT_EQ(result, r[9] == "=" ? static_cast<int>(written.size()) : std::stoi(r[9]));
        coll_trace[category] = 0;
    }
}

TEST(CollMessage, LongRecordsWholeFailedWritesToTheErrorStreamAndStarAborts) {
    RecordCapture records;
    const std::string text(20000, 'x'), id = "abc0001" + std::string(200, 'y');
    coll_message(nullptr, SETUP_FILE, 1, "i", id.c_str(), "%s", text.c_str());
    EXPECT_EQ(records.Text(), "ABC0001" + std::string(200, 'Y') + "I TAVIXEXT(1) " + text + "\n");
    EXPECT_DEATH(coll_message(nullptr, SETUP_FILE, 1, "i*", "abc0001", "never written"), "");

    FILE* readOnly = std::fopen(TAV_TEST_DATA "/fixtures/runtime/messages.txt", "r");
    ASSERT_NE(readOnly, nullptr);
    NoMessageFile none;
    coll_output = readOnly;
    testing::internal::CaptureStderr();
    const int result = coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "lost?");
    const std::string errors = testing::internal::GetCapturedStderr();
    std::fclose(readOnly);
    EXPECT_EQ(errors, "+ ABC0001I TAVIXEXT(1) lost?\n");
    EXPECT_EQ(result, static_cast<int>(errors.size()));
}

TEST(CollOutputPath, JoinsTheSettings) {
    const CollSettings saved = coll_settings;
    for (std::vector<std::string> r : Rows("runtime/output_path.txt")) {
        SCOPED_TRACE(r.at(0) + "|" + r.at(1) + "|" + r.at(2) + "|" + r.at(3));
        auto field = [&r](size_t i) { return r.at(i) == "~" ? nullptr : r[i].data(); };
        coll_settings.out_dir = field(0);
        coll_settings.hostname = field(1);
        coll_settings.version = field(2);
        coll_settings.server_id = field(3);
        char buffer[64];
        EXPECT_STREQ(coll_output_path(buffer, "ixcfg.out"), r.at(4).c_str());
        EXPECT_STREQ(coll_output_path(nullptr, "ixcfg.out"), r[4].c_str());
    }
    coll_settings = saved;
}

// The backup count, the wrap limit and the record count live for a runtime session: one a row.
TEST(CollOpenOutput, BackupsAndWrapping) {
    for (const std::vector<std::string>& r : Rows("runtime/message_files.txt")) {
        SCOPED_TRACE(r.at(0) + "|" + r.at(1) + "|" + r.at(2) + "|" + r.at(3));
        TempDir dir;
        std::string outDir = dir.str();
        ScopedEnv backups("COLL_NUMOUTBAK", OrNull(r[0])), wrap("COLL_WRAPLINES", OrNull(r[2]));
        tavrun::Session session;
        coll_trace[4] = static_cast<int16_t>(std::stoi(r[1]));
        coll_settings = CollSettings{};  // no host, version or server id in the file's name
        coll_settings.out_dir = outDir.data();
        int record = 0;
        for (const std::string& count : Split(r[3], ' ')) {
            ASSERT_NE(coll_open_output(nullptr), nullptr);
            for (int i = std::stoi(count); i > 0; --i)
                coll_message(nullptr, nullptr, 0, "i", "tst0001", "record %d", ++record);
        }
        std::fflush(coll_output);
        // A text file: the platform's line end.
        EXPECT_TRUE(ReadBinary(dir.path() / "col.out").ends_with(std::to_string(record) + TEXT_EOL));
        for (const std::string& file : Split(r.at(4), ';'))
            EXPECT_EQ(Records(dir.path() / file.substr(0, file.find('='))), file.substr(file.find('=') + 1));
    }
    int counter = 99;
    FILE* none = nullptr;
    EXPECT_EQ(coll_check_wrap(&none, "x.out", &counter) + coll_check_wrap(nullptr, "x.out", &counter), 0);
    EXPECT_EQ(counter, 99);
}

// A message file that cannot be opened is tried once more as "colx.out"; then records go to standard output.
TEST(CollOpenOutput, FailureRetriesOnceWithColxThenGivesUp) {
    for (const bool retryOpens : {true, false}) {
        SCOPED_TRACE(retryOpens ? "colx.out can be made" : "nothing can be made");
        TempDir dir;
        std::string outDir = retryOpens ? dir.str() : dir.file("missing");
        ScopedEnv backups("COLL_NUMOUTBAK", "0");
        tavrun::Session session;
        coll_settings = CollSettings{};
        coll_settings.out_dir = outDir.data();
        fs::create_directory(dir.path() / "col.out");  // a directory where the file should be
        testing::internal::CaptureStdout();
        EXPECT_EQ(coll_open_output(nullptr) != nullptr, retryOpens);
        coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "record");
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "CAT1995E - Can't open message ouput file: " + outDir + "\\col.out\n" +
                      (retryOpens ? "" : "ABC0001I TAVIXEXT(1) record\n"));
        EXPECT_EQ(coll_output_file_name(), retryOpens ? dir.str() + "\\colx.out" : "");
    }
}

// A session ends as it began: the file it opened closed, its name, backup count and failures forgotten.
TEST(RuntimeSession, EndsAsItBegan) {
    TempDir dir;
    std::string outDir = dir.str();
    ScopedEnv backups("COLL_NUMOUTBAK", "0");
    for (const char* round : {"first", "second"}) {
        SCOPED_TRACE(round);
        tavrun::Session session;
        EXPECT_EQ(coll_output, nullptr);
        EXPECT_EQ(coll_output_file_name(), std::string());
        EXPECT_EQ(std::count(coll_trace, coll_trace + COLL_TRACE_LEVELS, 0), COLL_TRACE_LEVELS);
        coll_settings = CollSettings{};
        coll_settings.out_dir = outDir.data();
        ASSERT_NE(coll_open_output(round), nullptr);
        coll_trace[0] = 1;
        coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "%s", round);  // not flushed: closing writes it
        coll_message(nullptr, SETUP_FILE, 1, "@", "to the console: ", "%s", "unused");
    }
    EXPECT_EQ(coll_output, nullptr);
    EXPECT_EQ(ReadText(dir.path() / "first"), "ABC0001I TAVIXEXT(1) first\n");
    EXPECT_EQ(ReadText(dir.path() / "second"), "ABC0001I TAVIXEXT(1) second\n");
    NoMessageFile none;
    testing::internal::CaptureStdout();
    coll_message(nullptr, SETUP_FILE, 1, "i", "abc0001", "plain");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ABC0001I TAVIXEXT(1) plain\n") << "the prefix is forgotten";
}
