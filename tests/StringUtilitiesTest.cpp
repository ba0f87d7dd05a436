// String and time utilities of the collector runtime.
#include "runtime/RuntimeState.h"

#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <ctime>

using namespace tavtest;

TEST(CollStrings, CompareCopyUpperCase) {
    struct Case { const char *a, *b; int result; };
    // Bytes above 127 are taken as unsigned: equal bytes compare equal, order by value.
    for (const Case& c : {Case{"Oracle", "ORACLE", 0}, {"", "", 0}, {"abc", "ABD", 'c' - 'd'}, {"ab", "AB9", -'9'},
                          {"AbC", "a", 'b'}, {nullptr, nullptr, 0}, {nullptr, "", 1}, {"x", nullptr, 1},
                          {"\xE9t\xE9", "\xE9T\xE9", 0}, {"\xE9", "a", 0xE9 - 'a'}})
        EXPECT_EQ(coll_stricmp(c.a, c.b), c.result) << (c.a ? c.a : "~") << " " << (c.b ? c.b : "~");
    char* copy = coll_strdup("C:\\dir\\file");
    EXPECT_EQ(coll_strupr(copy), copy);
    EXPECT_STREQ(copy, "C:\\DIR\\FILE");
    coll_free(copy, "tests", __LINE__, "copy");
    EXPECT_EQ(coll_strdup(nullptr), nullptr);
    EXPECT_EQ(coll_strupr(nullptr), nullptr);
}

TEST(CollTrim, Modes) {
    struct Case { const char* text; char mode; const char *set, *result; };
    // Only the first 19 characters of a set count: "t" is the twentieth of the last one.
    for (const Case& c : {Case{"  ab ", 'T', nullptr, "  ab"}, {"  ab ", 'B', nullptr, "ab"}, {"  ab ", 'l', "", "ab "},
                          {"  ab ", '\0', nullptr, "  ab"}, {"  ab ", 'Q', nullptr, "  ab "},
                          {"\"'x y'\"\t", 'b', "\"'\t", "x y"}, {"xxyx", 'B', "xy", ""}, {"   ", 'T', nullptr, ""}, {"", 'B', nullptr, ""},
                          {"tta", 'B', "abcdefghijklmnopqrst", "tt"}}) {
        std::string text = c.text;
        EXPECT_STREQ(coll_trim(text.data(), c.mode, c.set), c.result) << c.text << " " << c.mode;
    }
    EXPECT_EQ(coll_trim(nullptr, 'B', nullptr), nullptr);
}

TEST(CollTimestamp, Styles) {
    const std::time_t now = std::time(nullptr);
    const int year = std::localtime(&now)->tm_year;  // a run at the turn of a year may see the next one
    const std::string full = std::to_string(year + 1900), since1900 = std::to_string(year);
    const std::string time = "\\d\\d:\\d\\d:\\d\\d";
    char buffer[COLL_TIMESTAMP_SIZE];
    for (const auto& [style, pattern] : {std::pair<int, std::string>{1, full + "/\\d\\d/\\d\\d " + time},
                                         {3, since1900 + "\\d{10}"}, {4, since1900 + "\\d{10}000"},
                                         {0, full + "\\d{10}"}, {99, full + "\\d{10}"}}) {
        const std::string stamp = tavrun::Timestamp(style);
        EXPECT_TRUE(std::regex_match(stamp, std::regex(pattern))) << stamp;
        EXPECT_TRUE(std::regex_match(coll_timestamp(buffer, style), std::regex(pattern))) << buffer;
    }
    const size_t length = std::strlen(coll_timestamp(buffer, 2));
    EXPECT_TRUE(length > 0 && length < COLL_TIMESTAMP_SIZE);
    EXPECT_EQ(tavrun::Timestamp(2).size(), length);
    // Without a buffer of the caller's, one buffer that each call overwrites.
    EXPECT_EQ(coll_timestamp(nullptr, 1), coll_timestamp(nullptr, 3));
}

TEST(CollSplitPath, Table) {
    const std::string NAMES[] = {"dir", "dir_sep", "base", "ext", "name"};
    static char parts[5][COLL_SPLIT_PATH_MAX + 1];
    for (const std::vector<std::string>& r : Rows("runtime/split_path.txt")) {
        SCOPED_TRACE(r.at(0));
        ASSERT_EQ(r.size(), 7u);
        char* given[5];
        for (int i = 0; i < 5; ++i)
            given[i] = r[i + 1] == "-" ? nullptr : std::strcpy(parts[i], "unset");
        char* result = coll_split_path(OrNull(r[0]), given[0], given[1], given[2], given[3], given[4]);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(given[i] ? given[i] : "-", r[i + 1]) << NAMES[i];
        const std::string* named = std::find(NAMES, NAMES + 5, r[6]);
        EXPECT_EQ(result, named == NAMES + 5 ? nullptr : given[named - NAMES]);
    }
    // The longest path fits whole; a longer one is refused rather than cut.
    std::string path = "C:\\" + std::string(COLL_SPLIT_PATH_MAX - 3, 'a');
    EXPECT_EQ(coll_split_path(path.c_str(), nullptr, nullptr, nullptr, nullptr, parts[4]), parts[4]);
    EXPECT_EQ(std::strlen(parts[4]), COLL_SPLIT_PATH_MAX - 3u);
    path += "b";
    EXPECT_EQ(coll_split_path(path.c_str(), nullptr, nullptr, nullptr, nullptr, std::strcpy(parts[4], "unset")),
              nullptr);
    EXPECT_STREQ(parts[4], "unset");
}
