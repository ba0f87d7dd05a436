// The Win32 dialogs over the handlers of the selection and properties dialogs:
// modal dialogs from templates 201 and 202 of the library's module.
#ifndef TAV_PLATFORM_WINDOWS_WIN32VIEW_H
#define TAV_PLATFORM_WINDOWS_WIN32VIEW_H

class CServerSelectDlg;
class CServerPropertiesDlg;

namespace tavplat {

// Caption of the properties dialog's message boxes: the application title.
constexpr const char* APPLICATION_TITLE = "TAVNOVU";

// Runs the selection dialog (template 201, no parent). Returns 1 (OK), 2
// (Cancel), or -1 when it could not be shown, with a non-zero system error
// code in *lastError.
int RunWin32SelectDialog(CServerSelectDlg& dialog, long* lastError);

// Runs the properties dialog (template 202) owned by the window parent (an
// HWND, may be null). Returns 1 (OK), 2 (Cancel) or -1 as above.
int RunWin32PropertiesDialog(CServerPropertiesDlg& dialog, void* parent, long* lastError);

}  // namespace tavplat

#endif
