// Where the selection dialog runs on POSIX: the answers file when
// TAVNOVU_ANSWERS names one, otherwise the console view on a terminal.
#include "views/DialogViews.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "views/AnswersView.h"
#include "views/ConsoleView.h"
#include "platform/Terminal.h"
#include "text/Text.h"

namespace tavview {

int RunSelectDialog(CServerSelectDlg& dialog, CReport& report, Status* failure) {
    const char* answers = std::getenv(ANSWERS_VARIABLE);
    if (answers && *answers)
        return RunAnswersSelectDialog(dialog, answers, report, failure);
    if (tavplat::StdinIsTerminal())
        return RunConsoleSelectDialog(dialog, stdin, stdout);
    *failure = Status::Failure(
        ENOTTY, tavtext::Format("Cannot show \"Configure Database Agents\": standard input is not a "
                                "terminal and %s names no answers file",
                                ANSWERS_VARIABLE));
    return -1;
}

}  // namespace tavview
