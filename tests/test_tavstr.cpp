// String and time utilities of the collector runtime.
#include "runtime/coll.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <ctime>
#include <string>

namespace {

struct SplitParts {
    char dir[COLL_SPLIT_PATH_MAX + 1] = "unset";
    char dirSep[COLL_SPLIT_PATH_MAX + 1] = "unset";
    char base[COLL_SPLIT_PATH_MAX + 1] = "unset";
    char ext[COLL_SPLIT_PATH_MAX + 1] = "unset";
    char name[COLL_SPLIT_PATH_MAX + 1] = "unset";
    char* result = nullptr;

    explicit SplitParts(const char* path) { result = coll_split_path(path, dir, dirSep, base, ext, name); }
};

bool AllDigits(const std::string& text) {
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return !text.empty();
}

int CurrentYear() {
    std::time_t now = std::time(nullptr);
    return std::localtime(&now)->tm_year + 1900;
}

}  // namespace

TEST(CollStricmp, ComparesIgnoringCase) {
    EXPECT_EQ(coll_stricmp("Oracle", "ORACLE"), 0);
    EXPECT_EQ(coll_stricmp("", ""), 0);
    EXPECT_EQ(coll_stricmp("abc", "ABD"), 'c' - 'd');
    EXPECT_EQ(coll_stricmp("ab", "AB9"), -'9');
    EXPECT_EQ(coll_stricmp("AbC", "a"), 'b');
}

TEST(CollStricmp, NullArguments) {
    EXPECT_EQ(coll_stricmp(nullptr, nullptr), 0);
    EXPECT_EQ(coll_stricmp(nullptr, ""), 1);
    EXPECT_EQ(coll_stricmp("x", nullptr), 1);
}

TEST(CollStricmp, HighCharactersCompareWithoutFault) {
    // Bytes above 127 are taken as unsigned: equal bytes compare equal, order by value.
    EXPECT_EQ(coll_stricmp("\xE9t\xE9", "\xE9T\xE9"), 0);
    EXPECT_GT(coll_stricmp("\xE9", "a"), 0);
}

TEST(CollStrdup, CopiesAndKeepsNull) {
    const char* text = "C:\\dir\\file";
    char* copy = coll_strdup(text);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, text);
    EXPECT_STREQ(copy, text);
    coll_free(copy, __FILE__, __LINE__, "copy");
    EXPECT_EQ(coll_strdup(nullptr), nullptr);
}

TEST(CollStrupr, UpperCasesInPlace) {
    char text[] = "tavutil(12) x-y";
    EXPECT_EQ(coll_strupr(text), text);
    EXPECT_STREQ(text, "TAVUTIL(12) X-Y");
    EXPECT_EQ(coll_strupr(nullptr), nullptr);
}

TEST(CollTrim, ModesAndDefaultSet) {
    char t[] = "  ab ";
    EXPECT_STREQ(coll_trim(t, 'T', nullptr), "  ab");
    char b[] = "  ab ";
    EXPECT_STREQ(coll_trim(b, 'B', nullptr), "ab");
    char l[] = "  ab ";
    EXPECT_STREQ(coll_trim(l, 'l', ""), "ab ");
    char nul[] = "  ab ";
    EXPECT_STREQ(coll_trim(nul, '\0', nullptr), "  ab");
    char other[] = "  ab ";
    EXPECT_STREQ(coll_trim(other, 'Q', nullptr), "  ab ");
}

TEST(CollTrim, GivenSetAndEdges) {
    char quoted[] = "\"'x y'\"\t";
    EXPECT_STREQ(coll_trim(quoted, 'b', "\"'\t"), "x y");
    char all[] = "xxyx";
    char* trimmed = coll_trim(all, 'B', "xy");
    EXPECT_STREQ(trimmed, "");
    char empty[] = "";
    EXPECT_EQ(coll_trim(empty, 'B', nullptr), empty);
    EXPECT_EQ(coll_trim(nullptr, 'B', nullptr), nullptr);
    // Only the first 19 characters of the set count: 't' is the twentieth.
    char text[] = "tta";
    EXPECT_STREQ(coll_trim(text, 'B', "abcdefghijklmnopqrst"), "tt");
}

TEST(CollTimestamp, StylesHaveTheirShapes) {
    char buffer[COLL_TIMESTAMP_SIZE];
    int yearBefore = CurrentYear();
    std::string style1 = coll_timestamp(buffer, 1);
    int yearAfter = CurrentYear();
    ASSERT_EQ(style1.size(), 19u);
    EXPECT_EQ(style1[4], '/');
    EXPECT_EQ(style1[7], '/');
    EXPECT_EQ(style1[10], ' ');
    EXPECT_EQ(style1[13], ':');
    int year = std::stoi(style1.substr(0, 4));
    EXPECT_TRUE(year == yearBefore || year == yearAfter) << style1;

    std::string style3 = coll_timestamp(buffer, 3);
    ASSERT_EQ(style3.size(), 13u);
    EXPECT_TRUE(AllDigits(style3)) << style3;
    int shortYear = std::stoi(style3.substr(0, 3));
    EXPECT_TRUE(shortYear == yearBefore - 1900 || shortYear == yearAfter - 1900) << style3;

    std::string style4 = coll_timestamp(buffer, 4);
    ASSERT_EQ(style4.size(), 16u);
    EXPECT_TRUE(AllDigits(style4)) << style4;
    EXPECT_EQ(style4.substr(13), "000");

    std::string other = coll_timestamp(buffer, 0);
    EXPECT_EQ(other.size(), 14u);
    EXPECT_TRUE(AllDigits(other)) << other;
    EXPECT_EQ(std::string(coll_timestamp(buffer, 99)).size(), 14u);

    std::string style2 = coll_timestamp(buffer, 2);
    EXPECT_FALSE(style2.empty());
    EXPECT_LT(style2.size(), static_cast<size_t>(COLL_TIMESTAMP_SIZE));
}

TEST(CollTimestamp, NullBufferIsTheSharedOne) {
    char* first = coll_timestamp(nullptr, 1);
    char* second = coll_timestamp(nullptr, 3);
    EXPECT_EQ(first, second);
    EXPECT_EQ(std::strlen(second), 13u);
}

TEST(CollSplitPath, DriveDirectoriesAndFile) {
    SplitParts parts("C:\\src\\runtime\\module.cpp");
    EXPECT_STREQ(parts.dir, "C:\\src\\runtime");
    EXPECT_STREQ(parts.dirSep, "C:\\src\\runtime\\");
    EXPECT_STREQ(parts.base, "module");
    EXPECT_STREQ(parts.ext, "cpp");
    EXPECT_STREQ(parts.name, "module.cpp");
    EXPECT_EQ(parts.result, parts.dir);
}

TEST(CollSplitPath, ResultIsTheLastPartFilled) {
    char base[32] = {};
    char name[32] = {};
    EXPECT_EQ(coll_split_path("/work/src/tavutil.cpp", nullptr, nullptr, base, nullptr, nullptr), base);
    EXPECT_STREQ(base, "tavutil");
    EXPECT_EQ(coll_split_path("a\\b.c", nullptr, nullptr, nullptr, nullptr, name), name);
    EXPECT_STREQ(name, "b.c");
    char ext[32] = {};
    EXPECT_EQ(coll_split_path("a\\b.c", nullptr, nullptr, base, ext, name), base);
    EXPECT_EQ(coll_split_path("a\\b.c", nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(CollSplitPath, NamesWithoutDirectoryOrDot) {
    SplitParts plain("readme");
    EXPECT_STREQ(plain.dir, "");
    EXPECT_STREQ(plain.dirSep, "");
    EXPECT_STREQ(plain.base, "readme");
    EXPECT_STREQ(plain.ext, "");

    SplitParts dotFile(".profile");
    EXPECT_STREQ(dotFile.base, "");
    EXPECT_STREQ(dotFile.ext, "profile");

    SplitParts dots("dir.d\\a.b.c");
    EXPECT_STREQ(dots.base, "a.b");
    EXPECT_STREQ(dots.ext, "c");
    SplitParts dirDot("dir.d\\file");
    EXPECT_STREQ(dirDot.base, "file");
    EXPECT_STREQ(dirDot.ext, "");
}

TEST(CollSplitPath, LeadingSeparatorAndQuotes) {
    // A separator in the very first position is not one.
    SplitParts rooted("\\file.txt");
    EXPECT_STREQ(rooted.name, "\\file.txt");
    EXPECT_STREQ(rooted.dir, "");

    SplitParts quoted(" \"C:\\a b\\x.log\"\n");
    EXPECT_STREQ(quoted.dir, "C:\\a b");
    EXPECT_STREQ(quoted.name, "x.log");
}

TEST(CollSplitPath, NullEmptyAndOverLongPaths) {
    EXPECT_EQ(SplitParts(nullptr).result, nullptr);
    SplitParts empty("");
    EXPECT_EQ(empty.result, nullptr);
    EXPECT_STREQ(empty.name, "unset");

    std::string longest = "C:\\" + std::string(COLL_SPLIT_PATH_MAX - 3, 'a');
    SplitParts fits(longest.c_str());
    EXPECT_EQ(fits.result, fits.dir);
    EXPECT_EQ(std::strlen(fits.name), static_cast<size_t>(COLL_SPLIT_PATH_MAX - 3));

    std::string tooLong = longest + "b";
    SplitParts refused(tooLong.c_str());
    EXPECT_EQ(refused.result, nullptr);
    EXPECT_STREQ(refused.name, "unset");
}
