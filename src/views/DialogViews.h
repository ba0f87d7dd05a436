// Runs the selection dialog modally in the view this platform offers:
// the answers file named by TAVNOVU_ANSWERS on every platform; otherwise the
// Win32 dialogs on Windows, and the console view on a POSIX terminal.
#ifndef TAV_VIEWS_DIALOGVIEWS_H
#define TAV_VIEWS_DIALOGVIEWS_H

class CServerSelectDlg;

namespace tavview {

// The modal result: 1 (OK), 2 (Cancel), or -1 when the dialog could not be
// shown or run, with the system's error code in *lastError (never 0 then).
int RunSelectDialog(CServerSelectDlg& dialog, long* lastError);

}  // namespace tavview

#endif
