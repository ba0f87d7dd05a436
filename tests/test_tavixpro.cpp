// The properties dialog: defaults, message boxes, encoding on OK, the order
// of the data exchange and the refusal of a password that cannot be encoded.
#include "dialogs/tavixpro.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "password/tavencry.h"
#include "platform/MemoryView.h"

namespace {

// Records the order in which the fields reach and leave the controls.
class RecordingView : public tavplat::MemoryPropertiesView {
public:
    std::vector<int> set_order;
    std::vector<int> get_order;
    void SetControlText(int id, const std::string& text) override {
        set_order.push_back(id);
        MemoryPropertiesView::SetControlText(id, text);
    }
    std::string GetControlText(int id) override {
        get_order.push_back(id);
        return MemoryPropertiesView::GetControlText(id);
    }
};

CServerPropertiesDlg FreshServer(const char* name) {
    CServerPropertiesDlg dialog;
    dialog.server_name = name;
    dialog.home_directory = "C:\\oracle\\ora92";
    dialog.error_log = "C:\\oracle\\admin\\orcl\\bdump\\alert_orcl.log";
    dialog.database_version = "9.2.0.1.0";
    return dialog;
}

std::string Decode(const std::string& stored, const std::string& login, const std::string& name) {
    const char* clear = decode_password(stored.c_str(), login.c_str(), name.c_str(), nullptr);
    return clear ? clear : "(null)";
}

const std::string NO_LOGIN = "No Login ID entered, using default login ID";
const std::string NO_PASSWORD = "No Password entered, using default password";

}  // namespace

TEST(PropertiesDefaults, FreshServerShowsWicketAndOkEncodesIt) {
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    tavplat::MemoryPropertiesView view;
    EXPECT_TRUE(dialog.OnInitDialog(view));
    EXPECT_EQ(view.GetControlText(IDC_LOGIN), "wicket");
    EXPECT_EQ(view.GetControlText(IDC_PASSWORD), "wicket");
    EXPECT_EQ(view.GetControlText(IDC_SERVER_NAME), "ORCL");
    EXPECT_EQ(view.GetControlText(IDC_HOME_DIRECTORY), "C:\\oracle\\ora92");

    dialog.OnOK(view);
    ASSERT_TRUE(view.Ended());
    EXPECT_EQ(view.Result(), DIALOG_OK);
    EXPECT_TRUE(view.Messages().empty());
    EXPECT_EQ(dialog.login, "wicket");
    EXPECT_EQ(dialog.password.size(), 88u);
    EXPECT_EQ(dialog.password.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(Decode(dialog.password, "wicket", "ORCL"), "wicket");
    // The control holds the encoded text too, as the framework re-reads it.
    EXPECT_EQ(view.GetControlText(IDC_PASSWORD), dialog.password);
}

TEST(PropertiesExchange, FieldsMoveInTemplateOrder) {
    const std::vector<int> order = {IDC_ERROR_LOG, IDC_HOME_DIRECTORY, IDC_LOGIN,
                                    IDC_PASSWORD,  IDC_SERVER_NAME,    IDC_VERSION};
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    dialog.login = "system";
    dialog.password = "manager";
    RecordingView view;
    dialog.OnInitDialog(view);
    EXPECT_EQ(view.set_order, order);  // nothing defaulted: one exchange
    dialog.OnCancel(view);
    EXPECT_TRUE(view.get_order.empty());
    EXPECT_EQ(view.GetControlText(IDC_LOGIN), "system");
    EXPECT_EQ(view.GetControlText(IDC_PASSWORD), "manager");

    CServerPropertiesDlg fresh = FreshServer("ORCL");
    RecordingView second;
    fresh.OnInitDialog(second);
    EXPECT_EQ(second.set_order.size(), 18u);  // again after each default
    fresh.OnOK(second);
    ASSERT_GE(second.get_order.size(), 6u);
    EXPECT_EQ(std::vector<int>(second.get_order.begin(), second.get_order.begin() + 6), order);
}

TEST(PropertiesOk, EncodesWithLoginAndNameAsTheyStandAtOk) {
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    tavplat::MemoryPropertiesView view;
    dialog.OnInitDialog(view);
    view.SetControlText(IDC_LOGIN, "system");
    view.SetControlText(IDC_PASSWORD, "manager");
    view.SetControlText(IDC_SERVER_NAME, "PROD");
    view.SetControlText(IDC_VERSION, "10.1");
    dialog.OnOK(view);
    ASSERT_EQ(view.Result(), DIALOG_OK);
    EXPECT_EQ(dialog.server_name, "PROD");
    EXPECT_EQ(dialog.database_version, "10.1");
    EXPECT_EQ(Decode(dialog.password, "system", "PROD"), "manager");
    EXPECT_EQ(Decode(dialog.password, "system", "ORCL"), "Error invalid password 3");
}

TEST(PropertiesOk, EmptiedFieldsWarnAndStayEmpty) {
    struct Case {
        bool clear_login, clear_password;
        std::vector<std::string> messages;
    };
    const Case cases[] = {{true, false, {NO_LOGIN}},
                          {false, true, {NO_PASSWORD}},
                          {true, true, {NO_LOGIN, NO_PASSWORD}}};
    for (const Case& test : cases) {
        CServerPropertiesDlg dialog = FreshServer("ORCL");
        tavplat::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        if (test.clear_login) view.SetControlText(IDC_LOGIN, "");
        if (test.clear_password) view.SetControlText(IDC_PASSWORD, "");
        dialog.OnOK(view);
        EXPECT_EQ(view.Result(), DIALOG_OK);  // OK always ends the dialog here
        EXPECT_EQ(view.Messages(), test.messages);
        EXPECT_EQ(dialog.login, test.clear_login ? "" : "wicket");
        if (test.clear_password)
            EXPECT_EQ(dialog.password, "");  // not encoded
        else
            EXPECT_EQ(Decode(dialog.password, "", "ORCL"), "wicket");  // keyed with the empty login
    }
}

TEST(PropertiesOk, PasswordLongerThanTheEncodingHoldsIsRefused) {
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    tavplat::MemoryPropertiesView view;
    dialog.OnInitDialog(view);
    const std::string tooLong(PASSWORD_MAX_LENGTH + 1, 'p');
    view.SetControlText(IDC_PASSWORD, tooLong);
    dialog.OnOK(view);
    EXPECT_FALSE(view.Ended());
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_NE(view.Messages()[0].find("49"), std::string::npos);
    EXPECT_EQ(view.GetControlText(IDC_PASSWORD), tooLong);  // left for the person to shorten

    const std::string longest(PASSWORD_MAX_LENGTH, 'q');
    view.SetControlText(IDC_PASSWORD, longest);
    dialog.OnOK(view);
    ASSERT_TRUE(view.Ended());
    EXPECT_EQ(view.Result(), DIALOG_OK);
    EXPECT_EQ(Decode(dialog.password, "wicket", "ORCL"), longest);
}

TEST(PropertiesOk, PasswordTheEncodingCannotHoldIsRefused) {
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    tavplat::MemoryPropertiesView view;
    dialog.OnInitDialog(view);
    for (const char* unstorable : {"tab\there", "caf\xe9"}) {
        view.SetControlText(IDC_PASSWORD, unstorable);
        dialog.OnOK(view);
        EXPECT_FALSE(view.Ended()) << unstorable;
        EXPECT_EQ(view.GetControlText(IDC_PASSWORD), unstorable);
    }
    ASSERT_EQ(view.Messages().size(), 2u);
    EXPECT_NE(view.Messages()[0].find("cannot be stored"), std::string::npos);
}

TEST(PropertiesCancel, EndsWithoutTakingTheControls) {
    CServerPropertiesDlg dialog = FreshServer("ORCL");
    tavplat::MemoryPropertiesView view;
    dialog.OnInitDialog(view);
    view.SetControlText(IDC_SERVER_NAME, "OTHER");
    view.SetControlText(IDC_PASSWORD, "typed");
    dialog.OnCancel(view);
    EXPECT_EQ(view.Result(), DIALOG_CANCEL);
    EXPECT_EQ(dialog.server_name, "ORCL");
    EXPECT_EQ(dialog.password, "wicket");  // the default put in when it opened, never encoded
    EXPECT_TRUE(view.Messages().empty());
}
