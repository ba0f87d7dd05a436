// The windowed view: the two dialogs as the platform's modal dialogs 201 and 202.
#ifndef TAV_VIEWS_WINDOWEDVIEW_H
#define TAV_VIEWS_WINDOWEDVIEW_H

#include "report/Report.h"

class CServerSelectDlg;

namespace tavview {

// Runs the selection dialog (no owner). Returns 1 (OK), 2 (Cancel), or -1
// when it could not be shown or a handler failed; then *failure holds the
// system's error code and no text.
int RunWindowedSelectDialog(CServerSelectDlg& dialog, Status* failure);

}  // namespace tavview

#endif
