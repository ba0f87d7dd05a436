// Modal dialogs on Windows: DialogBoxParamA over the library module's templates.
#include "platform/Dialog.h"

#include <windows.h>

#include <map>
#include <new>
#include <optional>

#include "platform/Module.h"

namespace tavplat {
namespace {

// Reported when a dialog fails and the system left no error code of its own:
// a failure must never read as success (code 0) to the caller.
constexpr DWORD UNKNOWN_DIALOG_FAILURE = ERROR_GEN_FAILURE;
// A handler ended by an exception other than a failed allocation.
constexpr DWORD HANDLER_FAILURE = ERROR_INTERNAL_ERROR;

class Win32ListBox final : public ListBox {
public:
    explicit Win32ListBox(HWND list) : list_(list) {}

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
        // LB_SELECTSTRING is for single-selection lists only.
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

class Win32DialogWindow final : public DialogWindow {
public:
    void Attach(HWND dialog) { dialog_ = dialog; }
    bool Attached() const { return dialog_ != nullptr; }

    ListBox& GetListBox(int id) override {
        auto found = lists_.find(id);
        if (found == lists_.end())
            found = lists_.emplace(id, Win32ListBox(GetDlgItem(dialog_, id))).first;
        return found->second;
    }

    void EnableControl(int id, bool enable) override {
        EnableWindow(GetDlgItem(dialog_, id), enable ? TRUE : FALSE);
    }

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

    void ShowMessage(const std::string& text) override {
        MessageBoxA(dialog_, text.c_str(), APPLICATION_TITLE, MB_OK);
    }

    void EndDialog(int result) override {
        ::EndDialog(dialog_, result);
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

    void* NativeHandle() override { return dialog_; }

private:
    HWND dialog_ = nullptr;
    std::map<int, Win32ListBox> lists_;
};

// One modal run, reachable from the dialog procedure through DWLP_USER.
struct ModalRun {
    DialogHandler* handler = nullptr;
    Win32DialogWindow window;
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

// The notification codes the dialogs answer. A button's BN_CLICKED is also
// what Enter and Escape send for OK and Cancel.
bool KindOfNotification(WORD code, Notification* kind) {
    switch (code) {
    case BN_CLICKED: *kind = Notification::CLICKED; return true;
    case LBN_DBLCLK: *kind = Notification::DOUBLE_CLICKED; return true;
    case LBN_SETFOCUS: *kind = Notification::GOT_FOCUS; return true;
    case LBN_SELCHANGE: *kind = Notification::SELECTION_CHANGED; return true;
    default: return false;
    }
}

ScreenRect ToScreenRect(const RECT& rect) {
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

// Centres the dialog on its owner, or on the work area of the monitor it is
// on when it has no owner that shows; the template's own position is only
// relative to the owner's corner.
void CentreOnOwner(HWND dialog) {
    RECT own{};
    if (!GetWindowRect(dialog, &own))
        return;
    HWND owner = GetWindow(dialog, GW_OWNER);
    std::optional<ScreenRect> ownerRect;
    RECT ownerWindow{};
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &ownerWindow))
        ownerRect = ToScreenRect(ownerWindow);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR screen = MonitorFromWindow(ownerRect ? owner : dialog, MONITOR_DEFAULTTONEAREST);
    if (!GetMonitorInfoA(screen, &monitor))
        return;
    const ScreenRect place = CentredPlacement(ToScreenRect(own), ownerRect, ToScreenRect(monitor.rcWork));
    SetWindowPos(dialog, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* run = reinterpret_cast<ModalRun*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        run->window.Attach(window);
        CentreOnOwner(window);
        return RunHandler(window, &run->handler_error, [&]() -> INT_PTR {
            return run->handler->OnInit(run->window) ? TRUE : FALSE;
        });
    }
    auto* run = reinterpret_cast<ModalRun*>(GetWindowLongPtrA(window, DWLP_USER));
    if (run == nullptr || !run->window.Attached())
        return FALSE;
    Notification kind;
    switch (message) {
    case WM_COMMAND:
        if (!KindOfNotification(HIWORD(wParam), &kind))
            return FALSE;
        return RunHandler(window, &run->handler_error, [&]() -> INT_PTR {
            return run->handler->OnNotify(run->window, LOWORD(wParam), kind) ? TRUE : FALSE;
        });
    case WM_CLOSE:
        return RunHandler(window, &run->handler_error, [&]() -> INT_PTR {
            run->handler->OnClose(run->window);
            return TRUE;
        });
    default:
        return FALSE;
    }
}

// The window of this process the person is working in: the calling thread's
// active window, else the foreground window when it is one of this process's
// (an installer whose dialogs run on another thread). Null when neither shows.
HWND ProcessActiveWindow() {
    HWND active = GetActiveWindow();
    if (active == nullptr) {
        HWND foreground = GetForegroundWindow();
        DWORD process = 0;
        if (foreground != nullptr && GetWindowThreadProcessId(foreground, &process) != 0 &&
            process == GetCurrentProcessId())
            active = foreground;
    }
    if (active != nullptr)
        active = GetAncestor(active, GA_ROOT);
    return active != nullptr && IsWindowVisible(active) ? active : nullptr;
}

}  // namespace

// Without a display the run itself fails, with the system's code.
bool WindowedDialogsAvailable() {
    return true;
}

ModalOutcome RunModalDialog(int templateId, DialogWindow* owner, DialogHandler& handler) {
    ModalRun run;
    run.handler = &handler;
    HWND ownerWindow = owner != nullptr ? static_cast<HWND>(owner->NativeHandle()) : ProcessActiveWindow();
    SetLastError(0);
    const INT_PTR result =
        DialogBoxParamA(static_cast<HINSTANCE>(LibraryModuleHandle()), MAKEINTRESOURCEA(templateId),
                        ownerWindow, DialogProc, reinterpret_cast<LPARAM>(&run));
    const DWORD systemError = GetLastError();
    if (result > 0)
        return ModalOutcome{static_cast<int>(result), 0};
    DWORD code = run.handler_error != 0 ? run.handler_error : systemError;
    if (code == 0)
        code = UNKNOWN_DIALOG_FAILURE;
    return ModalOutcome{-1, static_cast<long>(code)};
}

}  // namespace tavplat
