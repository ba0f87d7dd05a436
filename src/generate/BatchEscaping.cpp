// The one escaping of values for cmd.exe, used by every batch file layout.
#include "generate/BatchEscaping.h"

namespace tavgen {

namespace {

// Characters that cmd.exe acts on outside quotes; a caret makes each one text.
constexpr std::string_view OUTSIDE_QUOTES_SPECIAL = "^&|<>()\"";

}  // namespace

std::string EscapeForBatch(std::string_view value, BatchQuoting where) {
    std::string escaped;
    escaped.reserve(value.size() + 8);
    bool inQuotes = where == BatchQuoting::Inside;
    for (const char c : value) {
        if (c == '%') {
            // A batch file reads %% as one %, before anything else; a single
            // one would start a variable's expansion.
            escaped += "%%";
        } else if (inQuotes) {
            if (c == '"') inQuotes = false;  // the quote ends here, as cmd sees it
            escaped += c;
        } else {
            if (OUTSIDE_QUOTES_SPECIAL.find(c) != std::string_view::npos) escaped += '^';
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace tavgen
