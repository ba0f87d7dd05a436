// Runs the selection dialog in the view this machine offers.
#ifndef TAV_VIEWS_DIALOGVIEWS_H
#define TAV_VIEWS_DIALOGVIEWS_H

#include "report/Report.h"

class CServerSelectDlg;

namespace tavview {

// The answers file named by TAVNOVU_ANSWERS; otherwise the windowed dialogs
// where the platform has them, else the console view on a terminal. Returns
// the modal result: 1 (OK), 2 (Cancel), or -1 when the dialog could not be
// shown or run. Then *failure holds the code (a Windows error code or an
// errno, never 0) and the line to show the person, empty when the code says
// it all. Notes for the person along the way go to the report's console.
int RunSelectDialog(CServerSelectDlg& dialog, CReport& report, Status* failure);

}  // namespace tavview

#endif
