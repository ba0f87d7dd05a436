// The windowed view: the two dialogs as the platform's modal dialogs 201 and 202.
#ifndef TAV_VIEWS_WINDOWEDVIEW_H
#define TAV_VIEWS_WINDOWEDVIEW_H

#include "views/SelectOutcome.h"

class CServerSelectDlg;

namespace tavview {

// Runs the selection dialog over the installer's active window, if it has
// one. A failure carries the system's error code and no text.
SelectOutcome RunWindowedSelectDialog(CServerSelectDlg& dialog);

}  // namespace tavview

#endif
