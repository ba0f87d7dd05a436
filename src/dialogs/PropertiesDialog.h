// The properties dialog "Database Server Properties" (template 202).
#ifndef TAV_DIALOGS_PROPERTIESDIALOG_H
#define TAV_DIALOGS_PROPERTIESDIALOG_H

#include <string>

#include "dialogs/DialogView.h"

constexpr const char* DEFAULT_LOGIN = "wicket";
constexpr const char* DEFAULT_PASSWORD = "wicket";

class CServerPropertiesDlg {
public:
    CServerPropertiesDlg() = default;
    virtual ~CServerPropertiesDlg() = default;

    // The six fields, exchanged with controls 1009, 1008, 1005, 1006, 1004, 1007.
    std::string error_log;
    std::string home_directory;
    std::string login;
    std::string password;
    std::string server_name;
    std::string database_version;

    // The control of the field OK refused last (0: none), for a caller that
    // must point at where the value came from.
    int refused_control = 0;

    bool OnInitDialog(IPropertiesView& view);
    void OnOK(IPropertiesView& view);
    void OnCancel(IPropertiesView& view);

    // Copies the six fields from the controls (true) or to them (false).
    void UpdateData(IPropertiesView& view, bool fromControls);

private:
    // Says which field cannot reach the generated files and why; false then.
    bool CheckFields(IPropertiesView& view);
    bool Refuse(IPropertiesView& view, int control, const std::string& message);
};

#endif
