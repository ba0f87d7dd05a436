// The properties dialog "Database Server Properties": the six values of one
// monitored server, with the default login and password and the encoding of
// the password on OK.
#include "dialogs/PropertiesDialog.h"

#include <optional>
#include <string>
#include <string_view>

#include "discovery/ServerNameRules.h"
#include "machine/ValuePolicy.h"
#include "password/PasswordEncoding.h"

namespace {

const char* const NO_LOGIN_MESSAGE = "No Login ID entered, using default login ID";
const char* const NO_PASSWORD_MESSAGE = "No Password entered, using default password";

const char* const PASSWORD_NOT_STORABLE_MESSAGE =
    "The password holds a character that cannot be stored (a tab or a character "
    "outside ASCII); please enter another password";

// The fields that reach the generated files as typed, in tab order.
struct CheckedField {
    int control;
    const char* label;
    std::string CServerPropertiesDlg::*field;
};
const CheckedField CHECKED_FIELDS[] = {
    {IDC_LOGIN, "Login", &CServerPropertiesDlg::login},
    {IDC_VERSION, "Database Version", &CServerPropertiesDlg::database_version},
    {IDC_HOME_DIRECTORY, "Home Directory", &CServerPropertiesDlg::home_directory},
    {IDC_ERROR_LOG, "Error Log File", &CServerPropertiesDlg::error_log},
};

std::string PasswordTooLongMessage() {
    return "The password is longer than " + std::to_string(PASSWORD_MAX_LENGTH) +
           " characters; please enter a shorter password";
}

// Copies between a field and its edit control in the direction asked for.
void ExchangeText(IPropertiesView& view, int id, std::string& field, bool fromControls) {
    if (fromControls)
        field = view.GetControlText(id);
    else
        view.SetControlText(id, field);
}

}  // namespace

void CServerPropertiesDlg::UpdateData(IPropertiesView& view, bool fromControls) {
    ExchangeText(view, IDC_ERROR_LOG, error_log, fromControls);
    ExchangeText(view, IDC_HOME_DIRECTORY, home_directory, fromControls);
    ExchangeText(view, IDC_LOGIN, login, fromControls);
    ExchangeText(view, IDC_PASSWORD, password, fromControls);
    ExchangeText(view, IDC_SERVER_NAME, server_name, fromControls);
    ExchangeText(view, IDC_VERSION, database_version, fromControls);
}

bool CServerPropertiesDlg::OnInitDialog(IPropertiesView& view) {
    UpdateData(view, false);
    if (login.empty()) {
        login = DEFAULT_LOGIN;
        UpdateData(view, false);
    }
    if (password.empty()) {
        password = DEFAULT_PASSWORD;
        UpdateData(view, false);
    }
    return true;
}

bool CServerPropertiesDlg::Refuse(IPropertiesView& view, int control, const std::string& message) {
    refused_control = control;
    view.MessageBox(message);
    return false;
}

bool CServerPropertiesDlg::CheckFields(IPropertiesView& view) {
    if (const std::string why = tavdiscovery::NameRefusal(server_name); !why.empty())
        return Refuse(view, IDC_SERVER_NAME, "Server Name: " + why + "; please correct it");
    for (const CheckedField& checked : CHECKED_FIELDS)
        if (const char* why = tavmachine::ValueRefusal(this->*checked.field))
            return Refuse(view, checked.control, std::string(checked.label) + ": " + why + "; please correct it");
    return true;
}

void CServerPropertiesDlg::OnOK(IPropertiesView& view) {
    UpdateData(view, true);
    refused_control = 0;
    // Every value reaches the agents' files: one that cannot is refused
    // here, naming its field, and the dialog stays open.
    if (!CheckFields(view))
        return;
    // The encoded block holds at most PASSWORD_MAX_LENGTH characters of 7-bit
    // text; a password it cannot hold is refused and the dialog stays open,
    // rather than being cut or stored empty.
    if (password.size() > static_cast<size_t>(PASSWORD_MAX_LENGTH)) {
        Refuse(view, IDC_PASSWORD, PasswordTooLongMessage());
        return;
    }
    std::string encoded;
    if (!password.empty()) {
        const std::optional<std::string> result = EncodePassword(password, {login, server_name});
        if (!result) {
            Refuse(view, IDC_PASSWORD, PASSWORD_NOT_STORABLE_MESSAGE);
            return;
        }
        encoded = *result;
    }
    if (login.empty())
        view.MessageBox(NO_LOGIN_MESSAGE);
    if (password.empty()) {
        view.MessageBox(NO_PASSWORD_MESSAGE);
    } else {
        password = encoded;
        UpdateData(view, false);
    }
    // The dialog ends with the fields as the controls show them now.
    UpdateData(view, true);
    view.EndDialog(DIALOG_OK);
}

void CServerPropertiesDlg::OnCancel(IPropertiesView& view) {
    view.EndDialog(DIALOG_CANCEL);
}
