// Modal dialogs from the library's templates: their controls, handlers and run.
#ifndef TAV_PLATFORM_DIALOG_H
#define TAV_PLATFORM_DIALOG_H

#include <algorithm>
#include <optional>
#include <string>

namespace tavplat {

// Caption of the dialogs' message boxes: the application title.
constexpr const char* APPLICATION_TITLE = "TAVNOVU";

// A sorted list box; items carry a pointer of the caller's.
class ListBox {
public:
    virtual ~ListBox() = default;
    // The current item: the selection, or in a multiple-selection list the
    // item with the focus mark; -1 when there is none.
    virtual int GetCurSel() = 0;
    virtual void* GetItemData(int index) = 0;             // null when none
    virtual int AddString(const std::string& text) = 0;   // its sorted position, or -1
    virtual void SetItemData(int index, void* data) = 0;
    virtual void DeleteString(int index) = 0;
    virtual std::string GetText(int index) = 0;           // empty when none
    virtual int GetCount() = 0;
    // Selects the first item that begins with the text, ignoring case; a
    // multiple-selection list keeps its selection.
    virtual void SelectStringPrefix(const std::string& text) = 0;
};

// What a control tells its dialog.
enum class Notification {
    CLICKED,            // a button pressed (Enter and Escape press OK and Cancel)
    DOUBLE_CLICKED,     // an item of a list box
    GOT_FOCUS,          // a list box
    SELECTION_CHANGED,  // a list box's current item, changed by the person
};

// A dialog's window while it runs.
class DialogWindow {
public:
    virtual ~DialogWindow() = default;
    virtual ListBox& GetListBox(int id) = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual void SetControlText(int id, const std::string& text) = 0;
    virtual std::string GetControlText(int id) = 0;  // of any length
    // A modal message box with an OK button and the application title.
    virtual void ShowMessage(const std::string& text) = 0;
    // Ends the modal run with a positive result once the handler returns.
    virtual void EndDialog(int result) = 0;
    // Puts the focus back on the dialog after a nested dialog, unless the
    // system has already given it back to one of its controls.
    virtual void SetFocusToDialog() = 0;
    // The system's window, as the owner of a dialog run from this one.
    virtual void* NativeHandle() = 0;
};

// The dialog's behaviour. Exceptions are caught at the run: a handler that
// throws ends the dialog as a failure.
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // The controls exist. True lets the system focus the first tab stop.
    virtual bool OnInit(DialogWindow& window) = 0;
    // False when the dialog leaves the notification to the system.
    virtual bool OnNotify(DialogWindow& window, int control, Notification kind) = 0;
    // The window's close box.
    virtual void OnClose(DialogWindow& window) = 0;
};

// A rectangle on the screen in pixels; right and bottom lie just outside.
struct ScreenRect {
    long left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const ScreenRect&) const = default;
};

// Where a dialog opens: centred on its owner's window, or on the work area
// when it has none, then moved as little as needs be to lie wholly on the
// work area. One larger than the work area keeps its top left corner there,
// so that its caption can still be reached.
constexpr ScreenRect CentredPlacement(const ScreenRect& dialog, const std::optional<ScreenRect>& owner,
                                      const ScreenRect& workArea) {
    const ScreenRect& centre = owner ? *owner : workArea;
    const long width = dialog.right - dialog.left, height = dialog.bottom - dialog.top;
    long left = centre.left + (centre.right - centre.left - width) / 2;
    long top = centre.top + (centre.bottom - centre.top - height) / 2;
    left = std::max(std::min(left, workArea.right - width), workArea.left);
    top = std::max(std::min(top, workArea.bottom - height), workArea.top);
    return ScreenRect{left, top, left + width, top + height};
}

// True where RunModalDialog can show dialogs at all.
bool WindowedDialogsAvailable();

// How a modal run ended: the result the handler ended it with, or -1 when the
// dialog could not be shown or a handler failed, with the system's error code
// (never 0) in error.
struct [[nodiscard]] ModalOutcome {
    int result = -1;
    long error = 0;
};

// Runs the dialog of template templateId modally, owned by owner, centred on
// it. Without an owner the dialog belongs to the calling process's active
// window, as a dialog without a parent does: it opens over the installer and
// keeps it from being used meanwhile; with no such window it has none.
ModalOutcome RunModalDialog(int templateId, DialogWindow* owner, DialogHandler& handler);

}  // namespace tavplat

#endif
