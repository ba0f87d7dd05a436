// The two dialogs as plain Win32 modal dialogs (DialogBoxParamA over the
// templates 201 and 202), wired to the portable handlers through the views of
// dialogs/dlgview.h. No window framework: list boxes, buttons and edits are
// driven with their own messages.
#include "platform/Windows/Win32View.h"

#include <windows.h>
// windows.h maps MessageBox to MessageBoxA; the view interface has a member of
// that name.
#undef MessageBox

#include <memory>
#include <new>
#include <string>

#include "dialogs/dlgview.h"
#include "dialogs/tavixlst.h"
#include "dialogs/tavixpro.h"
#include "platform/Module.h"

namespace tavplat {
namespace {

// Reported when a dialog fails and the system left no error code of its own:
// a failure must never read as success (code 0) to the caller.
constexpr DWORD UNKNOWN_DIALOG_FAILURE = ERROR_GEN_FAILURE;
// A handler ended by an exception other than a failed allocation.
constexpr DWORD HANDLER_FAILURE = ERROR_INTERNAL_ERROR;

HINSTANCE TemplateModule() {
    return static_cast<HINSTANCE>(LibraryModuleHandle());
}

// The modal result as the callers see it: 1, 2, or -1 with a non-zero code.
int ModalResult(INT_PTR result, DWORD systemError, DWORD handlerError, long* lastError) {
    if (result == DIALOG_OK || result == DIALOG_CANCEL)
        return static_cast<int>(result);
    DWORD code = handlerError != 0 ? handlerError : systemError;
    if (code == 0)
        code = UNKNOWN_DIALOG_FAILURE;
    if (lastError != nullptr)
        *lastError = static_cast<long>(code);
    return -1;
}

// ---- list boxes -------------------------------------------------------------

class ListBoxControl final : public IListControl {
public:
    ListBoxControl(HWND dialog, int id) : list_(GetDlgItem(dialog, id)) {}

    int GetCurSel() override {
        if (IsMultipleSelection()) {
            // The current item of a multiple-selection list is the one with
            // the focus mark (the caret); an empty list has none.
            const int count = GetCount();
            const LRESULT caret = Send(LB_GETCARETINDEX);
            return (caret >= 0 && caret < count) ? static_cast<int>(caret) : -1;
        }
        const LRESULT index = Send(LB_GETCURSEL);
        return index == LB_ERR ? -1 : static_cast<int>(index);
    }

    void* GetItemData(int index) override {
        const LRESULT data = Send(LB_GETITEMDATA, static_cast<WPARAM>(index));
        if (data == LB_ERR)
            return nullptr;
        return reinterpret_cast<void*>(data);
    }

    int AddString(const std::string& text) override {
        const LRESULT index = Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return index < 0 ? -1 : static_cast<int>(index);  // LB_ERR, LB_ERRSPACE
    }

    void SetItemData(int index, void* data) override {
        Send(LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(data));
    }

    void DeleteString(int index) override {
        Send(LB_DELETESTRING, static_cast<WPARAM>(index));
    }

    std::string GetText(int index) override {
        const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
        if (length == LB_ERR)
            return std::string();
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const LRESULT copied =
            Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        if (copied == LB_ERR)
            return std::string();
        text.resize(static_cast<size_t>(copied));
        return text;
    }

    int GetCount() override {
        const LRESULT count = Send(LB_GETCOUNT);
        return count == LB_ERR ? 0 : static_cast<int>(count);
    }

    void SelectStringPrefix(const std::string& text) override {
        // LB_SELECTSTRING is for single-selection lists only; a
        // multiple-selection list keeps its selection.
        if (IsMultipleSelection())
            return;
        Send(LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    }

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageA(list_, message, wParam, lParam);
    }

    bool IsMultipleSelection() const {
        const LONG_PTR style = GetWindowLongPtrA(list_, GWL_STYLE);
        return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
    }

    HWND list_;
};

// ---- the properties dialog (template 202) -------------------------------------

class Win32PropertiesView final : public IPropertiesView {
public:
    explicit Win32PropertiesView(HWND dialog) : dialog_(dialog) {}

    void SetControlText(int id, const std::string& text) override {
        SetDlgItemTextA(dialog_, id, text.c_str());
    }

    std::string GetControlText(int id) override {
        // Any length: ask the control first, then read all of it.
        const int length = GetWindowTextLengthA(GetDlgItem(dialog_, id));
        if (length <= 0)
            return std::string();
        std::string text(static_cast<size_t>(length) + 1, '\0');
        const UINT copied = GetDlgItemTextA(dialog_, id, text.data(), length + 1);
        text.resize(copied);
        return text;
    }

    void MessageBox(const std::string& text) override {
        MessageBoxA(dialog_, text.c_str(), APPLICATION_TITLE, MB_OK);
    }

    void EndDialog(int result) override {
        ::EndDialog(dialog_, result);
    }

private:
    HWND dialog_;
};

struct PropertiesContext {
    CServerPropertiesDlg* dialog = nullptr;
    std::unique_ptr<Win32PropertiesView> view;
    DWORD handler_error = 0;
};

// A handler that throws must not unwind through the system's dialog code:
// the dialog ends with -1 and the code is kept for the caller.
template <typename Handler>
INT_PTR RunHandler(HWND window, DWORD* handlerError, Handler handler) {
    try {
        return handler();
    } catch (const std::bad_alloc&) {
        *handlerError = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        *handlerError = HANDLER_FAILURE;
    }
    ::EndDialog(window, -1);
    return TRUE;
}

INT_PTR CALLBACK PropertiesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* context = reinterpret_cast<PropertiesContext*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
            context->view = std::make_unique<Win32PropertiesView>(window);
            return context->dialog->OnInitDialog(*context->view) ? TRUE : FALSE;
        });
    }
    auto* context = reinterpret_cast<PropertiesContext*>(GetWindowLongPtrA(window, DWLP_USER));
    if (context == nullptr || !context->view)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        if (LOWORD(wParam) == IDOK)
            return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
                context->dialog->OnOK(*context->view);
                return TRUE;
            });
        if (LOWORD(wParam) == IDCANCEL)
            return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
                context->dialog->OnCancel(*context->view);
                return TRUE;
            });
        return FALSE;
    case WM_CLOSE:
        return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
            context->dialog->OnCancel(*context->view);
            return TRUE;
        });
    default:
        return FALSE;
    }
}

// ---- the selection dialog (template 201) --------------------------------------

class Win32SelectView final : public ISelectView {
public:
    explicit Win32SelectView(HWND dialog)
        : dialog_(dialog), monitor_(dialog, IDC_MONITOR_LIST), available_(dialog, IDC_AVAILABLE_LIST) {}

    IListControl& List(int id) override {
        return id == IDC_AVAILABLE_LIST ? available_ : monitor_;
    }

    void EnableButton(int id, bool enable) override {
        EnableWindow(GetDlgItem(dialog_, id), enable ? TRUE : FALSE);
    }

    int RunProperties(CServerPropertiesDlg& dialog) override {
        long ignored = 0;  // the handlers treat -1 as "neither OK nor Cancel"
        return RunWin32PropertiesDialog(dialog, dialog_, &ignored);
    }

    void SetFocusToDialog() override {
        // After a nested modal dialog the system has usually given the focus
        // back to the control that had it; moving it again would land on the
        // first tab stop and run that list's focus handler for nothing.
        HWND focus = GetFocus();
        if (focus == dialog_ || (focus != nullptr && IsChild(dialog_, focus)))
            return;
        SetFocus(dialog_);
    }

private:
    HWND dialog_;
    ListBoxControl monitor_;
    ListBoxControl available_;
};

struct SelectContext {
    CServerSelectDlg* dialog = nullptr;
    std::unique_ptr<Win32SelectView> view;
    DWORD handler_error = 0;
};

// One notification of the selection dialog to its handler; false when the
// notification is not one of the dialog's.
bool DispatchSelectCommand(CServerSelectDlg& dialog, HWND window, int id, int code) {
    switch (id) {
    case IDC_ADD_TO_MONITOR:
        if (code != BN_CLICKED) return false;
        dialog.OnAddToMonitor();
        return true;
    case IDC_REMOVE_FROM_MONITOR:
        if (code != BN_CLICKED) return false;
        dialog.OnRemoveFromMonitor();
        return true;
    case IDC_NEW_SERVER:
        if (code != BN_CLICKED) return false;
        dialog.OnNewServer();
        return true;
    case IDC_EDIT_SERVER:
        if (code != BN_CLICKED) return false;
        dialog.OnEditServer();
        return true;
    case IDC_AVAILABLE_LIST:
        if (code == LBN_DBLCLK) { dialog.OnAddToMonitor(); return true; }
        if (code == LBN_SETFOCUS) { dialog.OnAvailableSetFocus(); return true; }
        return false;
    case IDC_MONITOR_LIST:
        if (code == LBN_DBLCLK) { dialog.OnEditServer(); return true; }
        if (code == LBN_SETFOCUS) { dialog.OnMonitorSetFocus(); return true; }
        return false;
    case IDOK:
        // Every change has been applied to the monitored set already.
        if (code != BN_CLICKED) return false;
        ::EndDialog(window, IDOK);
        return true;
    case IDCANCEL:
        if (code != BN_CLICKED) return false;
        ::EndDialog(window, IDCANCEL);
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK SelectProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* context = reinterpret_cast<SelectContext*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
            context->view = std::make_unique<Win32SelectView>(window);
            context->dialog->SetView(context->view.get());
            // TRUE: the system focuses the first tab stop, the monitor list.
            return context->dialog->OnInitDialog() ? TRUE : FALSE;
        });
    }
    auto* context = reinterpret_cast<SelectContext*>(GetWindowLongPtrA(window, DWLP_USER));
    if (context == nullptr || !context->view)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        return RunHandler(window, &context->handler_error, [&]() -> INT_PTR {
            return DispatchSelectCommand(*context->dialog, window, LOWORD(wParam), HIWORD(wParam))
                       ? TRUE : FALSE;
        });
    case WM_CLOSE:
        ::EndDialog(window, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int RunWin32PropertiesDialog(CServerPropertiesDlg& dialog, void* parent, long* lastError) {
    PropertiesContext context;
    context.dialog = &dialog;
    SetLastError(0);
    const INT_PTR result =
        DialogBoxParamA(TemplateModule(), MAKEINTRESOURCEA(IDD_SERVER_PROPERTIES),
                        static_cast<HWND>(parent), PropertiesProc, reinterpret_cast<LPARAM>(&context));
    const DWORD systemError = GetLastError();
    return ModalResult(result, systemError, context.handler_error, lastError);
}

int RunWin32SelectDialog(CServerSelectDlg& dialog, long* lastError) {
    SelectContext context;
    context.dialog = &dialog;
    SetLastError(0);
    const INT_PTR result =
        DialogBoxParamA(TemplateModule(), MAKEINTRESOURCEA(IDD_SERVER_SELECT), nullptr, SelectProc,
                        reinterpret_cast<LPARAM>(&context));
    const DWORD systemError = GetLastError();
    // The view dies with this call; the dialog must not keep pointing at it.
    dialog.SetView(nullptr);
    return ModalResult(result, systemError, context.handler_error, lastError);
}

}  // namespace tavplat
