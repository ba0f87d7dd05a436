// Values written into the start-up batch files, escaped so that cmd.exe reads
// back exactly the value and never a command.
#ifndef TAV_GENERATE_BATCHESCAPING_H
#define TAV_GENERATE_BATCHESCAPING_H

#include <string>
#include <string_view>

namespace tavgen {

// Where a value stands in its batch line.
enum class BatchQuoting {
    Outside,  // SET NAME=value
    Inside,   // -hkey "TUO\301\value"
};

// The value as cmd.exe must read it to give the value back. Outside quotes
// ^ & | < > ( ) and " take a caret; in either place % is doubled. A " inside
// quotes ends them, and what follows it is escaped as outside: server names
// refuse the character, so that an argument in quotes stays one argument.
// Control characters are kept: the value policy keeps them out.
[[nodiscard]] std::string EscapeForBatch(std::string_view value, BatchQuoting where);

}  // namespace tavgen

#endif
