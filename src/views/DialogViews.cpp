// Chooses the view the selection dialog runs in.
#include "views/DialogViews.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/Dialog.h"
#include "platform/Process.h"
#include "platform/Terminal.h"
#include "text/Text.h"
#include "views/AnswersView.h"
#include "views/ConsoleView.h"
#include "views/WindowedView.h"

namespace tavview {

int RunSelectDialog(CServerSelectDlg& dialog, CReport& report, Status* failure) {
    const std::optional<std::string> answers = tavplat::EnvironmentValue(ANSWERS_VARIABLE);
    if (answers && !answers->empty())
        return RunAnswersSelectDialog(dialog, answers->c_str(), report, failure);
    if (tavplat::WindowedDialogsAvailable())
        return RunWindowedSelectDialog(dialog, failure);
    if (tavplat::StdinIsTerminal())
        return RunConsoleSelectDialog(dialog, stdin, stdout);
    *failure = Status::Failure(
        ENOTTY, tavtext::Format("Cannot show \"Configure Database Agents\": standard input is not a "
                                "terminal and %s names no answers file",
                                ANSWERS_VARIABLE));
    return -1;
}

}  // namespace tavview
