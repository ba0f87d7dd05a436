// The escaping of values for cmd.exe: every class of character, outside and
// inside quotes. What cmd makes of the results is checked by the hostile-values
// script under Wine and by the batch-escaping fuzz target.
#include "generate/BatchEscaping.h"

#include <gtest/gtest.h>

using tavgen::BatchQuoting;
using tavgen::EscapeForBatch;

namespace {

struct EscapeCase {
    const char* value;
    const char* outside;  // SET NAME=value
    const char* inside;   // -hkey "...\value"
};

const EscapeCase CASES[] = {
    {"", "", ""},
    {"C:\\oracle\\ora92", "C:\\oracle\\ora92", "C:\\oracle\\ora92"},
    {"plain text, blanks; = # ! ~ * ? : / @ $", "plain text, blanks; = # ! ~ * ? : / @ $",
     "plain text, blanks; = # ! ~ * ? : / @ $"},
    // Each character cmd acts on outside quotes.
    {"a&b", "a^&b", "a&b"},
    {"a|b", "a^|b", "a|b"},
    {"a<b", "a^<b", "a<b"},
    {"a>b", "a^>b", "a>b"},
    {"(2 135 1918)", "^(2 135 1918^)", "(2 135 1918)"},
    {"a^b", "a^^b", "a^b"},
    {"ends in ^", "ends in ^^", "ends in ^"},
    {"&&||", "^&^&^|^|", "&&||"},
    // % expands a variable in either place.
    {"%PATH%", "%%PATH%%", "%%PATH%%"},
    {"100%", "100%%", "100%%"},
    {"C:\\log%PATH%^&x", "C:\\log%%PATH%%^^^&x", "C:\\log%%PATH%%^&x"},
    // A quote outside quotes is text; inside it ends them, and the rest is escaped as outside.
    {"a\"b&c", "a^\"b^&c", "a\"b^&c"},
    {"Y\"&calc&\"", "Y^\"^&calc^&^\"", "Y\"^&calc^&^\""},
    {"\"", "^\"", "\""},
    // Bytes of the ANSI code page pass as they are.
    {"caf\xE9 \xC4", "caf\xE9 \xC4", "caf\xE9 \xC4"},
};

}  // namespace

TEST(BatchEscaping, EveryCharacterClassOutsideAndInsideQuotes) {
    for (const EscapeCase& row : CASES) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(EscapeForBatch(row.value, BatchQuoting::Outside), row.outside);
        EXPECT_EQ(EscapeForBatch(row.value, BatchQuoting::Inside), row.inside);
    }
}
