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

SelectOutcome RunSelectDialog(CServerSelectDlg& dialog, CReport& report) {
    const std::optional<std::string> answers = tavplat::EnvironmentValue(ANSWERS_VARIABLE);
    if (answers && !answers->empty())
        return RunAnswersSelectDialog(dialog, answers->c_str(), report);
    if (tavplat::WindowedDialogsAvailable())
        return RunWindowedSelectDialog(dialog);
    if (tavplat::StdinIsTerminal())
        return SelectOutcome::Ended(RunConsoleSelectDialog(dialog, stdin, stdout));
    return SelectOutcome::Failed(Status::Failure(
        ENOTTY, tavtext::Format("Cannot show \"Configure Database Agents\": standard input is not a "
                                "terminal and %s names no answers file",
                                ANSWERS_VARIABLE)));
}

}  // namespace tavview
