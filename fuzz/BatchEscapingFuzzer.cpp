// Fuzz target: any value the policy lets through, escaped for a batch line
// outside quotes and inside them, must come back whole from cmd.exe's reading
// of the line, modelled here: %% becomes %, any other % expands a variable; a
// quote toggles quoting; outside quotes a caret makes the next character
// text, and & | < > ( ) act as commands, redirections or blocks.
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "generate/BatchEscaping.h"
#include "machine/ValuePolicy.h"

namespace {

constexpr std::string_view OPERATORS = "&|<>()";

// The line as a command sees it after cmd's two reading phases; none when
// cmd would expand a variable or act on a character.
std::optional<std::string> ReadAsCmd(const std::string& line) {
    std::string expanded;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '%') {
            expanded += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '%') {
            expanded += '%';
            ++i;
        } else {
            return std::nullopt;  // %NAME% or a lone % that cmd removes
        }
    }
    std::string read;
    bool quoted = false;
    for (size_t i = 0; i < expanded.size(); ++i) {
        const char c = expanded[i];
        if (c == '"') {
            quoted = !quoted;
            read += c;
        } else if (quoted) {
            read += c;
        } else if (c == '^') {
            if (i + 1 == expanded.size()) return std::nullopt;  // a caret at the end joins the next line
            read += expanded[++i];
        } else if (OPERATORS.find(c) != std::string_view::npos) {
            return std::nullopt;
        } else {
            read += c;
        }
    }
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string value = tavfuzz::Text(data, size);
    if (tavmachine::ValueRefusal(value)) return 0;  // never reaches a batch file

    const std::string set = "SET COLL_LOGON=";
    const std::optional<std::string> outside =
        ReadAsCmd(set + tavgen::EscapeForBatch(value, tavgen::BatchQuoting::Outside));
    FUZZ_CHECK(outside && *outside == set + value, "outside quotes \"%s\" reads back as \"%s\"", value.c_str(),
               outside ? outside->c_str() : "(a command or a variable)");

    const std::string hkey = "START /MIN TUOAGENT -console -hkey \"TUO\\301\\";
    const std::optional<std::string> inside =
        ReadAsCmd(hkey + tavgen::EscapeForBatch(value, tavgen::BatchQuoting::Inside) + "\"");
    FUZZ_CHECK(inside && *inside == hkey + value + "\"", "inside quotes \"%s\" reads back as \"%s\"", value.c_str(),
               inside ? inside->c_str() : "(a command or a variable)");
    return 0;
}
