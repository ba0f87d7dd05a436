// The shared text helpers whose edge cases no caller's table reaches.
#include "text/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

long FormatIntoBuffer(std::string& buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const long length = tavtext::FormatInto(buffer, format, args);
    va_end(args);
    return length;
}

}  // namespace

// atoi's reading, held to 32 bits where atoi would overflow.
TEST(LeadingInteger, ReadsAsAtoiAndHoldsTheRangeOfAnInt) {
    const struct { const char* text; int value; } CASES[] = {
        {nullptr, 0},         {"", 0},          {"abc", 0},           {"  \t42x", 42},
        {"-7", -7},           {"+12.5", 12},    {"0012", 12},         {"2147483647", INT_MAX},
        {"2147483648", INT_MAX}, {"-2147483649", INT_MIN}, {"99999999999999999999999", INT_MAX},
        {"- 3", 0},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(tavtext::LeadingInteger(c.text), c.value) << (c.text ? c.text : "(null)");
}

// The buffer keeps its room; a text longer than the room is whole; the text is
// the buffer's first bytes whatever an earlier, longer text left behind.
TEST(FormatInto, GrowsOnlyWhenATextDoesNotFitAndKeepsTheTextWhole) {
    std::string buffer;
    const std::string longText(1000, 'x');
    EXPECT_EQ(FormatIntoBuffer(buffer, "%s|", longText.c_str()), 1001);
    EXPECT_EQ(buffer.substr(0, 1001), longText + "|");
    const size_t room = buffer.size();
    EXPECT_EQ(FormatIntoBuffer(buffer, "%d-%s", 7, "ab"), 4);
    EXPECT_EQ(buffer.substr(0, 4), "7-ab");
    EXPECT_EQ(buffer.size(), room);
    EXPECT_EQ(FormatIntoBuffer(buffer, nullptr), -1);
    EXPECT_EQ(tavtext::Format("%s", ""), "");
    EXPECT_EQ(tavtext::Format("%s=%d", longText.c_str(), 5), longText + "=5");
}
