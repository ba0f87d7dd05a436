// What the dialog handlers need of a view. The windowed view, the answers-file
// view and the console view implement these; tests use a recording fake. The
// lists are the platform's list box or an in-memory one that sorts alike.
#ifndef TAV_DIALOGS_DIALOGVIEW_H
#define TAV_DIALOGS_DIALOGVIEW_H

#include <string>

#include "platform/Dialog.h"

// Control ids of template 201 (selection).
constexpr int IDC_MONITOR_LIST = 1000;
constexpr int IDC_ADD_TO_MONITOR = 1001;      // "<<"
constexpr int IDC_NEW_SERVER = 1002;          // "&New"
constexpr int IDC_REMOVE_FROM_MONITOR = 1003; // ">>"
constexpr int IDC_AVAILABLE_LIST = 1005;
constexpr int IDC_EDIT_SERVER = 1006;         // "&Edit"
constexpr int IDC_SERVICE_TEXT = 1008;        // the selected available server's service
// Control ids of template 202 (properties).
constexpr int IDC_SERVER_NAME = 1004;
constexpr int IDC_LOGIN = 1005;
constexpr int IDC_PASSWORD = 1006;
constexpr int IDC_VERSION = 1007;
constexpr int IDC_HOME_DIRECTORY = 1008;
constexpr int IDC_ERROR_LOG = 1009;
// Template ids and modal results.
constexpr int IDD_SERVER_SELECT = 201;
constexpr int IDD_SERVER_PROPERTIES = 202;
constexpr int DIALOG_OK = 1;      // IDOK
constexpr int DIALOG_CANCEL = 2;  // IDCANCEL
// The OK and Cancel buttons of both templates end with their own ids.
constexpr int IDC_OK = DIALOG_OK;
constexpr int IDC_CANCEL = DIALOG_CANCEL;

class CServerPropertiesDlg;

class ISelectView {
public:
    virtual ~ISelectView() = default;
    virtual tavplat::ListBox& List(int id) = 0;   // IDC_MONITOR_LIST or IDC_AVAILABLE_LIST
    virtual void EnableButton(int id, bool enable) = 0;
    virtual int RunProperties(CServerPropertiesDlg& dialog) = 0;  // modal result
    virtual void SetFocusToDialog() = 0;
    // Why a click was refused; the dialog stays as it is.
    virtual void MessageBox(const std::string& text) = 0;
    // The line at the dialog's foot that tells the service of the server selected
    // in "Database Servers Available"; empty when none is selected.
    virtual void SetServiceText(const std::string& text) = 0;
};

class IPropertiesView {
public:
    virtual ~IPropertiesView() = default;
    virtual void SetControlText(int id, const std::string& text) = 0;
    virtual std::string GetControlText(int id) = 0;
    virtual void MessageBox(const std::string& text) = 0;
    virtual void EndDialog(int result) = 0;
};

#endif
