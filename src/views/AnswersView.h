// The answers-file view: plays, from a plain text file the installer author
// writes, what the person installing would do in the two dialogs. Portable;
// used for unattended installs and tests on every platform.
#ifndef TAV_VIEWS_ANSWERSVIEW_H
#define TAV_VIEWS_ANSWERSVIEW_H

#include <string>
#include <string_view>
#include <vector>

#include "report/Report.h"
#include "views/SelectOutcome.h"

class CDbServer;
class CServerSelectDlg;

namespace tavview {

// Environment variable that names the answers file.
constexpr const char* ANSWERS_VARIABLE = "TAVNOVU_ANSWERS";

// Runs the selection dialog from the answers file at path. The properties
// dialog's message boxes go to the report's console. It fails when the file
// cannot be read or parsed or names a server that discovery did not find,
// with a line that names the file and the line in it.
SelectOutcome RunAnswersSelectDialog(CServerSelectDlg& dialog, const char* path, CReport& report);

// The same over answers already read; name stands for the file in messages.
SelectOutcome RunAnswersSelectText(CServerSelectDlg& dialog, const std::string& text, const char* name,
                                   CReport& report);

// Why a section header [monitor NAME] cannot carry name unchanged (blanks at
// either end are trimmed, control characters refused, "*" and "?" make a
// pattern), or null when it can.
const char* NameOutOfReach(std::string_view name);

// Why the discovered server cannot be monitored as discovery found it: it
// cannot be monitored at all (ServerRefusal), or a discovered value the answers do not replace (the
// properties dialog's controls in replaced) fails the value policy. Empty
// when it can.
std::string DiscoveredRefusal(const CDbServer& server, const std::vector<int>& replaced = {});

}  // namespace tavview

#endif
