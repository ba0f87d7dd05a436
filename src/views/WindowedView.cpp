// The windowed view: each control notification of the two dialogs to its handler.
#include "views/WindowedView.h"

#include <optional>
#include <string>

#include "dialogs/SelectionDialog.h"
#include "dialogs/PropertiesDialog.h"
#include "platform/Dialog.h"

// The handlers run unchanged behind the platform's dialog windows: the views
// below only forward to the window, and a table maps each control's
// notification to the handler of what the person did.
namespace tavview {

namespace {

using tavplat::DialogHandler;
using tavplat::DialogWindow;
using tavplat::Notification;

class WindowPropertiesView final : public IPropertiesView {
public:
    explicit WindowPropertiesView(DialogWindow& window) : window_(window) {}

    void SetControlText(int id, const std::string& text) override { window_.SetControlText(id, text); }
    std::string GetControlText(int id) override { return window_.GetControlText(id); }
    void MessageBox(const std::string& text) override { window_.ShowMessage(text); }
    void EndDialog(int result) override { window_.EndDialog(result); }

private:
    DialogWindow& window_;
};

// Template 202: OK and Cancel; the close box cancels.
class PropertiesHandler final : public DialogHandler {
public:
    explicit PropertiesHandler(CServerPropertiesDlg& dialog) : dialog_(dialog) {}

    bool OnInit(DialogWindow& window) override {
        WindowPropertiesView view(window);
        return dialog_.OnInitDialog(view);
    }

    bool OnNotify(DialogWindow& window, int control, Notification kind) override {
        if (kind != Notification::CLICKED || (control != IDC_OK && control != IDC_CANCEL))
            return false;
        WindowPropertiesView view(window);
        if (control == IDC_OK)
            dialog_.OnOK(view);
        else
            dialog_.OnCancel(view);
        return true;
    }

    void OnClose(DialogWindow& window) override {
        WindowPropertiesView view(window);
        dialog_.OnCancel(view);
    }

private:
    CServerPropertiesDlg& dialog_;
};

class WindowSelectView final : public ISelectView {
public:
    explicit WindowSelectView(DialogWindow& window) : window_(window) {}

    tavplat::ListBox& List(int id) override {
        return window_.GetListBox(id == IDC_AVAILABLE_LIST ? IDC_AVAILABLE_LIST : IDC_MONITOR_LIST);
    }

    void EnableButton(int id, bool enable) override { window_.EnableControl(id, enable); }

    int RunProperties(CServerPropertiesDlg& dialog) override {
        PropertiesHandler handler(dialog);
        // The handlers treat -1 as "neither OK nor Cancel"; the code adds nothing for them.
        return tavplat::RunModalDialog(IDD_SERVER_PROPERTIES, &window_, handler).result;
    }

    void SetFocusToDialog() override { window_.SetFocusToDialog(); }
    void MessageBox(const std::string& text) override { window_.ShowMessage(text); }
    void SetServiceText(const std::string& text) override { window_.SetControlText(IDC_SERVICE_TEXT, text); }

private:
    DialogWindow& window_;
};

// What each notification of template 201 does.
struct SelectAction {
    int control;
    Notification kind;
    void (CServerSelectDlg::*handler)();
};

const SelectAction SELECT_ACTIONS[] = {
    {IDC_ADD_TO_MONITOR, Notification::CLICKED, &CServerSelectDlg::OnAddToMonitor},
    {IDC_REMOVE_FROM_MONITOR, Notification::CLICKED, &CServerSelectDlg::OnRemoveFromMonitor},
    {IDC_NEW_SERVER, Notification::CLICKED, &CServerSelectDlg::OnNewServer},
    {IDC_EDIT_SERVER, Notification::CLICKED, &CServerSelectDlg::OnEditServer},
    {IDC_AVAILABLE_LIST, Notification::DOUBLE_CLICKED, &CServerSelectDlg::OnAddToMonitor},
    {IDC_AVAILABLE_LIST, Notification::GOT_FOCUS, &CServerSelectDlg::OnAvailableSetFocus},
    {IDC_AVAILABLE_LIST, Notification::SELECTION_CHANGED, &CServerSelectDlg::OnAvailableSelectionChanged},
    {IDC_MONITOR_LIST, Notification::DOUBLE_CLICKED, &CServerSelectDlg::OnEditServer},
    {IDC_MONITOR_LIST, Notification::GOT_FOCUS, &CServerSelectDlg::OnMonitorSetFocus},
};

// Template 201. OK and Cancel only end it: every change has been applied to
// the monitored set already.
class SelectHandler final : public DialogHandler {
public:
    explicit SelectHandler(CServerSelectDlg& dialog) : dialog_(dialog) {}

    bool OnInit(DialogWindow& window) override {
        view_.emplace(window);
        dialog_.SetView(&*view_);
        // True: the system focuses the first tab stop, the monitor list.
        return dialog_.OnInitDialog();
    }

    bool OnNotify(DialogWindow& window, int control, Notification kind) override {
        if (kind == Notification::CLICKED && control == IDC_OK) {
            if (dialog_.OnOK()) window.EndDialog(DIALOG_OK);  // else it said why, and stays open
            return true;
        }
        if (kind == Notification::CLICKED && control == IDC_CANCEL) {
            window.EndDialog(DIALOG_CANCEL);
            return true;
        }
        for (const SelectAction& action : SELECT_ACTIONS) {
            if (action.control == control && action.kind == kind) {
                (dialog_.*action.handler)();
                return true;
            }
        }
        return false;
    }

    void OnClose(DialogWindow& window) override { window.EndDialog(DIALOG_CANCEL); }

private:
    CServerSelectDlg& dialog_;
    std::optional<WindowSelectView> view_;
};

}  // namespace

SelectOutcome RunWindowedSelectDialog(CServerSelectDlg& dialog) {
    SelectHandler handler(dialog);
    const tavplat::ModalOutcome modal = tavplat::RunModalDialog(IDD_SERVER_SELECT, nullptr, handler);
    // The view dies with the handler; the dialog must not keep pointing at it.
    dialog.SetView(nullptr);
    if (modal.result < 0)
        return SelectOutcome::Failed(Status::Failure(modal.error, ""));
    return SelectOutcome::Ended(modal.result);
}

}  // namespace tavview
