// Where the selection dialog runs on POSIX: the answers file when
// TAVNOVU_ANSWERS names one, otherwise the console view on a terminal.
#include "views/DialogViews.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "views/AnswersView.h"
#include "views/ConsoleView.h"
#include "platform/Terminal.h"

namespace tavview {

int RunSelectDialog(CServerSelectDlg& dialog, long* lastError) {
    const char* answers = std::getenv(ANSWERS_VARIABLE);
    if (answers && *answers)
        return RunAnswersSelectDialog(dialog, answers, lastError);
    if (tavplat::StdinIsTerminal())
        return RunConsoleSelectDialog(dialog, stdin, stdout, lastError);
    std::fprintf(stderr,
                 "Cannot show \"Configure Database Agents\": standard input is not a terminal "
                 "and %s names no answers file\n",
                 ANSWERS_VARIABLE);
    std::fflush(stderr);
    if (lastError)
        *lastError = ENOTTY;
    return -1;
}

}  // namespace tavview
