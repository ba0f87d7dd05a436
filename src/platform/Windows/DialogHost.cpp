// Chooses the view of the selection dialog on Windows: the answers file when
// one is named, otherwise the Win32 dialogs.
#include "views/DialogViews.h"

#include <cstdlib>

#include "views/AnswersView.h"
#include "views/WindowedView.h"

namespace tavview {

int RunSelectDialog(CServerSelectDlg& dialog, CReport& report, Status* failure) {
    const char* answers = std::getenv(ANSWERS_VARIABLE);
    if (answers != nullptr && answers[0] != '\0')
        return RunAnswersSelectDialog(dialog, answers, report, failure);
    return RunWindowedSelectDialog(dialog, failure);
}

}  // namespace tavview
