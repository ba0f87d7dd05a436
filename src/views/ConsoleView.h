// The console view of the two dialogs, for a terminal where no windowed
// dialogs run: both lists with numbers, a command per button, and the
// properties asked field by field with the password read without echo.
#ifndef TAV_VIEWS_CONSOLEVIEW_H
#define TAV_VIEWS_CONSOLEVIEW_H

#include <cstdio>

class CServerSelectDlg;

namespace tavview {

// Runs the selection dialog reading commands from in and writing to out.
// Returns 1 (OK) or 2 (Cancel; also at the end of the input).
int RunConsoleSelectDialog(CServerSelectDlg& dialog, FILE* in, FILE* out);

}  // namespace tavview

#endif
