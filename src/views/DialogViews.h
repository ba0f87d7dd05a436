// Runs the selection dialog in the view this machine offers.
#ifndef TAV_VIEWS_DIALOGVIEWS_H
#define TAV_VIEWS_DIALOGVIEWS_H

#include "report/Report.h"
#include "views/SelectOutcome.h"

class CServerSelectDlg;

namespace tavview {

// The answers file named by TAVNOVU_ANSWERS; otherwise the windowed dialogs
// where the platform has them, else the console view on a terminal. Notes
// for the person along the way go to the report's console.
SelectOutcome RunSelectDialog(CServerSelectDlg& dialog, CReport& report);

}  // namespace tavview

#endif
