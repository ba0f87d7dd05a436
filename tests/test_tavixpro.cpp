// The properties dialog keeps itself open on a password that the encoding
// cannot hold. Its defaults, message boxes and encoding on OK are played
// through the selection dialog's handlers (test_tavixlst.cpp, test_answers.cpp).
#include "dialogs/tavixpro.h"

#include <gtest/gtest.h>

#include "password/tavencry.h"
#include "views/MemoryView.h"

TEST(PropertiesDialog, PasswordTheEncodingCannotHoldKeepsTheDialogOpen) {
    const std::pair<std::string, const char*> refused[] = {
        {std::string(PASSWORD_MAX_LENGTH + 1, 'p'), "longer than 49"},
        {"tab\there", "cannot be stored"},
        {"caf\xe9", "cannot be stored"}};
    for (const auto& [password, says] : refused) {
        SCOPED_TRACE(password);
        CServerPropertiesDlg dialog;
        tavview::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        view.SetControlText(IDC_PASSWORD, password);
        dialog.OnOK(view);
        EXPECT_FALSE(view.Ended());
        ASSERT_EQ(view.Messages().size(), 1u);
        EXPECT_NE(view.Messages()[0].find(says), std::string::npos);
        EXPECT_EQ(view.GetControlText(IDC_PASSWORD), password);  // left to be changed
        view.SetControlText(IDC_PASSWORD, "changed");
        dialog.OnOK(view);
        EXPECT_EQ(view.Result(), DIALOG_OK);
    }
}
