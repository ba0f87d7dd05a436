// The properties dialog "Database Server Properties": the six values of one
// monitored server, with the default login and password and the encoding of
// the password on OK.
#include "dialogs/PropertiesDialog.h"

#include <optional>
#include <string>

#include "password/PasswordEncoding.h"

namespace {

const char* const NO_LOGIN_MESSAGE = "No Login ID entered, using default login ID";
const char* const NO_PASSWORD_MESSAGE = "No Password entered, using default password";

const char* const PASSWORD_NOT_STORABLE_MESSAGE =
    "The password holds a character that cannot be stored (a tab or a character "
    "outside ASCII); please enter another password";

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

void CServerPropertiesDlg::OnOK(IPropertiesView& view) {
    UpdateData(view, true);
    // The encoded block holds at most PASSWORD_MAX_LENGTH characters of 7-bit
    // text; a password it cannot hold is refused and the dialog stays open,
    // rather than being cut or stored empty.
    if (password.size() > static_cast<size_t>(PASSWORD_MAX_LENGTH)) {
        view.MessageBox(PasswordTooLongMessage());
        return;
    }
    std::string encoded;
    if (!password.empty()) {
        const std::optional<std::string> result = EncodePassword(password, {login, server_name});
        if (!result) {
            view.MessageBox(PASSWORD_NOT_STORABLE_MESSAGE);
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
