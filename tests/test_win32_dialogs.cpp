// The Win32 dialogs, for real: the templates in the program's resources, and
// the modal dialogs driven from a second thread the way a person would (list
// items clicked, buttons pressed, text typed, message boxes answered).
// With TAV_TEST_DISPLAY set (tests/scripts/wine-dialogs.sh under Xvfb) the
// dialogs run; without a display they must fail to show, and say so.
#if defined(_WIN32)

#include <windows.h>
#undef MessageBox

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/tavixlst.h"
#include "dialogs/tavixpro.h"
#include "discovery/tavdisc.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"
#include "platform/AnswersView.h"
#include "platform/DialogViews.h"
#include "platform/Module.h"
#include "platform/RegistryReader.h"
#include "platform/Windows/Win32View.h"
#include "test_support.h"

namespace {

const char* const SELECT_CAPTION = "Configure Database Agents";
const char* const PROPERTIES_CAPTION = "Database Server Properties";

// What Wine answers when a window is to be made without an X display.
constexpr long NO_DISPLAY_ERROR = 1400;  // ERROR_INVALID_WINDOW_HANDLE

bool DisplayAvailable() {
    const char* value = std::getenv("TAV_TEST_DISPLAY");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string ClassName(HWND window) {
    std::string name(256, '\0');
    const int length = GetClassNameA(window, name.data(), static_cast<int>(name.size()));
    name.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return name;
}

// The clear text of a stored password, or "(not encoded)" when the stored
// value is the clear text itself. The encoding is salted: compare clear texts.
std::string Decoded(const std::string& stored, const std::string& login, const std::string& server) {
    const char* value =
        decode_password(stored.c_str(), login.c_str(), server.c_str(), static_cast<const char*>(nullptr));
    std::string clear = value ? value : "";
    return clear == stored ? "(not encoded)" : clear;
}

// ---- the templates ------------------------------------------------------------

// One control of a DLGTEMPLATE, as the resource holds it.
struct TemplateItem {
    int id = 0;
    int class_atom = 0;  // 0x80 button, 0x81 edit, 0x82 static, 0x83 list box
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0;
};

struct DialogTemplate {
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    int point_size = 0;
    std::string font;
    std::vector<TemplateItem> items;
};

// Reads the classic DLGTEMPLATE of a DIALOG statement, every read bounded.
class TemplateReader {
public:
    TemplateReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    bool Read(DialogTemplate* out) {
        out->style = Dword();
        Dword();  // extended style
        const int count = Word();
        out->x = Short(); out->y = Short(); out->cx = Short(); out->cy = Short();
        SkipNameOrOrdinal();  // menu
        SkipNameOrOrdinal();  // class
        out->caption = String();
        if (out->style & DS_SETFONT) {
            out->point_size = Word();
            out->font = String();
        }
        for (int i = 0; i < count && ok_; ++i) {
            Align();
            TemplateItem item;
            item.style = Dword();
            Dword();
            item.x = Short(); item.y = Short(); item.cx = Short(); item.cy = Short();
            item.id = static_cast<short>(Word());
            if (Peek() == 0xFFFF) { Word(); item.class_atom = Word(); } else { String(); }
            if (Peek() == 0xFFFF) { Word(); Word(); } else { item.text = String(); }
            pos_ += Word();  // creation data
            out->items.push_back(item);
        }
        return ok_ && pos_ <= size_;
    }

private:
    unsigned Peek() {
        if (pos_ + 2 > size_) { ok_ = false; return 0; }
        return data_[pos_] | (data_[pos_ + 1] << 8);
    }
    unsigned Word() { const unsigned value = Peek(); if (ok_) pos_ += 2; return value; }
    int Short() { return static_cast<short>(Word()); }
    DWORD Dword() { const DWORD low = Word(); return low | (static_cast<DWORD>(Word()) << 16); }
    void Align() { pos_ = (pos_ + 3) & ~static_cast<size_t>(3); }
    void SkipNameOrOrdinal() {
        if (Peek() == 0xFFFF) { Word(); Word(); } else { String(); }
    }
    std::string String() {
        std::string text;
        for (unsigned ch = Word(); ok_ && ch != 0; ch = Word())
            text.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
        return text;
    }

    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

bool LoadDialogTemplate(int id, DialogTemplate* out) {
    HMODULE module = static_cast<HMODULE>(tavplat::LibraryModuleHandle());
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    if (resource == nullptr)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return false;
    TemplateReader reader(static_cast<const unsigned char*>(data), SizeofResource(module, resource));
    return reader.Read(out);
}

constexpr int BUTTON = 0x80, EDIT = 0x81, STATIC = 0x82, LISTBOX = 0x83;

// An expected control: the style bits it must have and those it must not.
struct ExpectedItem {
    int id;
    int class_atom;
    const char* text;
    int x, y, cx, cy;
    DWORD must;
    DWORD must_not;
    int kind;  // low four style bits of a button: BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX
};

void ExpectTemplate(const DialogTemplate& actual, const char* caption, int cx, int cy,
                    const std::vector<ExpectedItem>& expected) {
    EXPECT_EQ(actual.caption, caption);
    EXPECT_EQ(actual.cx, cx);
    EXPECT_EQ(actual.cy, cy);
    EXPECT_EQ(actual.point_size, 8);
    EXPECT_EQ(actual.font, "MS Sans Serif");
    const DWORD frame = DS_MODALFRAME | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(actual.style & frame, frame);
    ASSERT_EQ(actual.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& item = actual.items[i];
        const ExpectedItem& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.text + "\" id " + std::to_string(want.id));
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.class_atom, want.class_atom);
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style & want.must, want.must);
        EXPECT_EQ(item.style & want.must_not, 0u);
        if (want.class_atom == BUTTON) {
            EXPECT_EQ(static_cast<int>(item.style & 0xF), want.kind);
        }
    }
}

TEST(Win32DialogTemplate, SelectionTemplateHasTheControlsInOrder) {
    DialogTemplate dialog;
    ASSERT_TRUE(LoadDialogTemplate(IDD_SERVER_SELECT, &dialog));
    const DWORD LIST = LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
    const DWORD SHOWN = WS_VISIBLE | WS_TABSTOP;
    ExpectTemplate(dialog, SELECT_CAPTION, 299, 182, {
        {-1, STATIC, "Select the database server(s) that you wish to monitor, from the list available servers.",
         7, 15, 265, 15, WS_VISIBLE, 0, 0},
        {-1, BUTTON, "Servers to Monitor", 7, 32, 106, 116, WS_VISIBLE, 0, BS_GROUPBOX},
        {-1, BUTTON, "Database Servers Available", 186, 32, 106, 117, WS_VISIBLE, 0, BS_GROUPBOX},
        {IDC_MONITOR_LIST, LISTBOX, "", 13, 45, 94, 100, LIST | LBS_MULTIPLESEL | WS_VISIBLE, 0, 0},
        {IDC_AVAILABLE_LIST, LISTBOX, "", 192, 45, 94, 100, LIST | WS_VISIBLE,
         LBS_MULTIPLESEL | LBS_EXTENDEDSEL, 0},
        {IDC_ADD_TO_MONITOR, BUTTON, "<<", 133, 49, 34, 14, SHOWN | WS_DISABLED, 0, BS_PUSHBUTTON},
        {IDC_REMOVE_FROM_MONITOR, BUTTON, ">>", 133, 66, 34, 14, SHOWN | WS_DISABLED, 0, BS_PUSHBUTTON},
        {IDC_NEW_SERVER, BUTTON, "&New", 133, 92, 34, 14, SHOWN, WS_DISABLED, BS_PUSHBUTTON},
        {IDC_EDIT_SERVER, BUTTON, "&Edit", 133, 111, 34, 14, SHOWN, WS_DISABLED, BS_PUSHBUTTON},
        {IDOK, BUTTON, "OK", 218, 154, 34, 14, SHOWN, WS_DISABLED, BS_DEFPUSHBUTTON},
        {IDCANCEL, BUTTON, "Cancel", 257, 154, 34, 14, SHOWN, WS_DISABLED, BS_PUSHBUTTON},
        {IDC_VERIFY, BUTTON, "&Verify", 133, 129, 34, 14, WS_TABSTOP, WS_VISIBLE, BS_PUSHBUTTON},
    });
}

TEST(Win32DialogTemplate, PropertiesTemplateHasTheControlsInOrder) {
    DialogTemplate dialog;
    ASSERT_TRUE(LoadDialogTemplate(IDD_SERVER_PROPERTIES, &dialog));
    const DWORD FIELD = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE;
    const DWORD BUTTON_STYLE = WS_VISIBLE | WS_TABSTOP;
    ExpectTemplate(dialog, PROPERTIES_CAPTION, 281, 170, {
        {IDOK, BUTTON, "OK", 224, 7, 50, 14, BUTTON_STYLE, 0, BS_DEFPUSHBUTTON},
        {IDCANCEL, BUTTON, "Cancel", 224, 24, 50, 14, BUTTON_STYLE, 0, BS_PUSHBUTTON},
        {-1, STATIC, "Server &Name:", 20, 21, 44, 8, WS_VISIBLE, 0, 0},
        {IDC_SERVER_NAME, EDIT, "", 87, 21, 92, 14, FIELD, ES_PASSWORD, 0},
        {-1, STATIC, "&Login:", 20, 40, 20, 8, WS_VISIBLE, 0, 0},
        {IDC_LOGIN, EDIT, "", 87, 40, 58, 14, FIELD, ES_PASSWORD, 0},
        {-1, STATIC, "&Password:", 20, 59, 34, 8, WS_VISIBLE, 0, 0},
        {IDC_PASSWORD, EDIT, "", 87, 59, 58, 14, FIELD | ES_PASSWORD, 0, 0},
        {-1, STATIC, "Database &Version:", 20, 102, 59, 8, WS_VISIBLE, 0, 0},
        {IDC_VERSION, EDIT, "", 87, 102, 58, 14, FIELD, ES_PASSWORD, 0},
        {-1, STATIC, "&Home Directory:", 20, 121, 52, 8, WS_VISIBLE, 0, 0},
        {IDC_HOME_DIRECTORY, EDIT, "", 87, 121, 116, 14, FIELD, ES_PASSWORD, 0},
        {-1, STATIC, "&Error Log File:", 20, 140, 44, 8, WS_VISIBLE, 0, 0},
        {IDC_ERROR_LOG, EDIT, "", 87, 140, 116, 14, FIELD, ES_PASSWORD, 0},
        {-1, BUTTON, "Database Server", 7, 7, 209, 77, WS_VISIBLE, 0, BS_GROUPBOX},
        {-1, BUTTON, "Settings", 7, 86, 209, 77, WS_VISIBLE, 0, BS_GROUPBOX},
    });
}

// ---- the robot that works the dialogs -------------------------------------------

// Drives the dialogs of the UI thread from its own thread. Cross-thread
// SendMessage runs on the UI thread and returns when the control or the
// handler is done; a click that opens a modal dialog is posted instead and
// the robot waits for the dialog to appear.
class Robot {
public:
    explicit Robot(DWORD uiThread) : ui_thread_(uiThread) {}

    void Start(std::function<void(Robot&)> script) {
        thread_ = std::thread([this, script] {
            script(*this);
            CloseLeftovers();
        });
    }
    // Called by the UI thread once the modal run has returned.
    void DialogReturned() { returned_ = true; }
    void Join() { thread_.join(); }
    bool LeftDialogOpen() const { return left_open_; }

    // The visible, enabled dialog of the UI thread with this caption, once its
    // thread is back in its message loop; null (and a failure) when none comes.
    HWND WaitForDialog(const char* caption) {
        for (int round = 0; round < HANG_GUARD_ROUNDS && !returned_; ++round) {
            HWND found = FindDialog(caption);
            if (found != nullptr && IsWindowVisible(found) && IsWindowEnabled(found)) {
                SendMessageA(found, WM_NULL, 0, 0);
                return found;
            }
            Sleep(POLL_MS);
        }
        ADD_FAILURE() << "the dialog \"" << caption << "\" did not appear";
        return nullptr;
    }

    // True when a dialog with the caption shows before the modal run returns;
    // it is closed at once.
    bool DialogShows(const char* caption) {
        for (int round = 0; round < HANG_GUARD_ROUNDS && !returned_; ++round) {
            if (HWND found = FindDialog(caption)) {
                PostMessageA(found, WM_CLOSE, 0, 0);
                return true;
            }
            Sleep(POLL_MS);
        }
        return false;
    }

    // Waits until the window is gone and its thread has finished the handler
    // that ran it (sync is a window of the same thread that stays).
    void WaitGone(HWND window, HWND sync) {
        for (int round = 0; round < HANG_GUARD_ROUNDS && IsWindow(window); ++round)
            Sleep(POLL_MS);
        EXPECT_FALSE(IsWindow(window)) << "a dialog did not close";
        if (sync != nullptr)
            SendMessageA(sync, WM_NULL, 0, 0);
    }

    // A person can press only a visible, enabled button.
    bool CanPress(HWND dialog, int id) {
        HWND button = GetDlgItem(dialog, id);
        EXPECT_NE(button, nullptr) << "no control " << id;
        if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button)) {
            ADD_FAILURE() << "button " << id << " cannot be pressed";
            return false;
        }
        return true;
    }
    // A click whose handler runs to its end without a modal dialog.
    void Press(HWND dialog, int id) {
        if (CanPress(dialog, id))
            SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    }
    // A click that opens a modal dialog or a message box.
    void PressAsync(HWND dialog, int id) {
        if (CanPress(dialog, id))
            PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    }

    // Holds the dialog still for scripts/screenshots.sh: writes its screen
    // rectangle to <dir>\<name>.ready and waits for <dir>\<name>.done.
    void Pose(HWND dialog, const std::string& dir, const std::string& name) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageA(dialog, WM_NULL, 0, 0);
        RECT rect{};
        GetWindowRect(dialog, &rect);
        const std::string ready = dir + "\\" + name + ".ready";
        const std::string done = dir + "\\" + name + ".done";
        const std::string temporary = ready + ".tmp";
        if (FILE* file = std::fopen(temporary.c_str(), "w")) {
            std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
            std::fclose(file);
            MoveFileA(temporary.c_str(), ready.c_str());
        }
        for (int round = 0; round < HANG_GUARD_ROUNDS; ++round) {
            if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES)
                return;
            Sleep(POLL_MS * 5);
        }
        ADD_FAILURE() << "no screenshot of " << name;
    }

    // Ends a dialog with one of its buttons, or with its close box (id 0),
    // and waits until it is gone.
    void Finish(HWND dialog, int id) {
        if (id == 0)
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        else
            PressAsync(dialog, id);
        WaitGone(dialog, nullptr);
    }

    // Picks the list item with this text as a person does from the keyboard:
    // the focus moves to the list (its focus notification runs), then the
    // item becomes the current one. Mouse messages are not used: a list box
    // that has captured the mouse follows wherever the real pointer is.
    void SelectItem(HWND dialog, int listId, const std::string& text) {
        HWND list = GetDlgItem(dialog, listId);
        const LRESULT index = ItemIndex(list, text);
        if (index == LB_ERR)
            return;
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
        if (GetWindowLongPtrA(list, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) {
            SendMessageA(list, LB_SETSEL, TRUE, index);
            SendMessageA(list, LB_SETCARETINDEX, index, FALSE);
        } else {
            SendMessageA(list, LB_SETCURSEL, index, 0);
        }
    }
    // A double click on the item; its handler opens the properties dialog,
    // so the click is posted.
    void DoubleClickItemAsync(HWND dialog, int listId, const std::string& text) {
        SelectItem(dialog, listId, text);
        HWND list = GetDlgItem(dialog, listId);
        const LRESULT index = ItemIndex(list, text);
        if (index == LB_ERR)
            return;
        RECT rect{};
        SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON,
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
    }

    void Type(HWND dialog, int id, const std::string& text) {
        SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    std::string Text(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

    std::vector<std::string> Items(HWND dialog, int listId) {
        HWND list = GetDlgItem(dialog, listId);
        std::vector<std::string> items;
        const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, i, 0);
            std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
            const LRESULT copied = SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
            items.push_back(text);
        }
        return items;
    }

    bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

    HWND Focus() {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(ui_thread_, &info) ? info.hwndFocus : nullptr;
    }

    // Answers the message box that must now be open: its text is returned and
    // its OK pressed; owner is the window it returns to.
    std::string AnswerMessageBox(HWND owner) {
        HWND box = WaitForDialog(tavplat::APPLICATION_TITLE);
        if (box == nullptr)
            return "(no message box)";
        std::string text;
        HWND ok = nullptr;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const std::string kind = ClassName(child);
            if (kind == "Static" && !WindowText(child).empty())
                text = WindowText(child);
            if (kind == "Button" && WindowText(child) == "OK" && IsWindowVisible(child))
                ok = child;
        }
        EXPECT_NE(ok, nullptr) << "the message box has no OK button";
        if (ok != nullptr)
            PostMessageA(ok, BM_CLICK, 0, 0);
        WaitGone(box, owner);
        return text;
    }

private:
    static constexpr int POLL_MS = 20;
    // Only a guard against a hung test run: a dialog shows in well under a second.
    static constexpr int HANG_GUARD_ROUNDS = 3000;

    HWND FindDialog(const char* caption) {
        struct Search { const char* caption; HWND found; } search{caption, nullptr};
        EnumThreadWindows(ui_thread_, [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (ClassName(window) == "#32770" && WindowText(window) == s->caption) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        }, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    LRESULT ItemIndex(HWND list, const std::string& text) {
        const LRESULT index =
            SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
        if (index == LB_ERR)
            ADD_FAILURE() << "no item \"" << text << "\" in list " << GetDlgCtrlID(list);
        return index;
    }

    // A script that stopped early must not leave the modal run hanging.
    void CloseLeftovers() {
        for (int round = 0; round < HANG_GUARD_ROUNDS && !returned_; ++round) {
            left_open_ = true;
            EnumThreadWindows(ui_thread_, [](HWND window, LPARAM) -> BOOL {
                if (IsWindowVisible(window) && IsWindowEnabled(window))
                    PostMessageA(window, WM_CLOSE, 0, 0);
                return TRUE;
            }, 0);
            Sleep(POLL_MS * 5);
        }
    }

    DWORD ui_thread_;
    std::thread thread_;
    std::atomic<bool> returned_{false};
    std::atomic<bool> left_open_{false};
};

// Discovery never runs here: the records are put in by hand.
class NoRegistry : public tavplat::RegistryReader {
public:
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char*, unsigned, long* error) override {
        if (error) *error = tavplat::REG_FILE_NOT_FOUND;
        return nullptr;
    }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char*, long* error) override {
        if (error) *error = tavplat::REG_BAD_NETPATH;
        return nullptr;
    }
};

class Win32DialogTest : public ::testing::Test {
protected:
    void AddServer(CDbServer* server, int family, const char* name) {
        server->SetServerName(name);
        server->SetDollarServer((std::string("C:\\db\\") + name).c_str());
        server->SetServerVersion("9.2");
        server->SetErrorlogName((std::string("C:\\db\\") + name + "\\alert.log").c_str());
        servers_.Add(server, family);
    }
    void AddOracle(const char* name) { AddServer(new COracleServer(name), FAMILY_ORACLE, name); }

    void SetUp() override {
        display_ = DisplayAvailable();
        if (!display_ && CanCreateWindow())
            GTEST_SKIP() << "a display is there after all; these tests run with TAV_TEST_DISPLAY=1";
    }

    static bool CanCreateWindow() {
        HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        if (probe == nullptr)
            return false;
        DestroyWindow(probe);
        return true;
    }

    // Runs the selection dialog for the family while the script works it.
    // Without a display the dialog must fail to show (-1 with
    // ERROR_INVALID_WINDOW_HANDLE) and leave the monitored set alone; then
    // false is returned and the script is not run.
    bool RunSelect(int family, const std::function<void(Robot&)>& script, int* result) {
        tavtest::ScopedEnv noAnswers(tavplat::ANSWERS_VARIABLE, nullptr);
        CServerSelectDlg dialog(family, servers_, params_);
        long error = 0;
        if (!display_) {
            *result = tavplat::RunSelectDialog(dialog, &error);
            EXPECT_EQ(*result, -1);
            EXPECT_EQ(error, NO_DISPLAY_ERROR);
            EXPECT_EQ(params_.GetMonitoredCount(family), 0);
            return false;
        }
        Robot robot(GetCurrentThreadId());
        robot.Start(script);
        *result = tavplat::RunSelectDialog(dialog, &error);
        robot.DialogReturned();
        robot.Join();
        EXPECT_FALSE(robot.LeftDialogOpen()) << "the script left a dialog open";
        EXPECT_NE(*result, -1) << "the dialog failed with error " << error;
        return true;
    }

    // The same for the properties dialog on its own (no owner).
    bool RunProperties(CServerPropertiesDlg& dialog, const std::function<void(Robot&)>& script,
                       int* result) {
        long error = 0;
        if (!display_) {
            *result = tavplat::RunWin32PropertiesDialog(dialog, nullptr, &error);
            EXPECT_EQ(*result, -1);
            EXPECT_EQ(error, NO_DISPLAY_ERROR);
            return false;
        }
        Robot robot(GetCurrentThreadId());
        robot.Start(script);
        *result = tavplat::RunWin32PropertiesDialog(dialog, nullptr, &error);
        robot.DialogReturned();
        robot.Join();
        EXPECT_FALSE(robot.LeftDialogOpen()) << "the script left a dialog open";
        return true;
    }

    // Runs the selection dialog where no window may show (an answers file is
    // named); with a display, a window that shows anyway fails the test and
    // is closed.
    int RunWithoutWindow(long* error) {
        CServerSelectDlg dialog(FAMILY_ORACLE, servers_, params_);
        Robot robot(GetCurrentThreadId());
        std::atomic<bool> shown{false};
        if (display_)
            robot.Start([&shown](Robot& r) { shown = r.DialogShows(SELECT_CAPTION); });
        const int result = tavplat::RunSelectDialog(dialog, error);
        robot.DialogReturned();
        if (display_)
            robot.Join();
        EXPECT_FALSE(shown) << "the Win32 dialog showed";
        return result;
    }

    CMonitoredServer* Monitored(int index, int family = FAMILY_ORACLE) {
        return params_.GetMonitoredAt(index, family);
    }

    bool display_ = false;
    NoRegistry registry_;
    CDbServerList servers_{registry_};
    CInstallParams params_;
};


using Items = std::vector<std::string>;

TEST_F(Win32DialogTest, OpensWithTheFamilysServersSortedAndTheButtonsFollowTheFocus) {
    AddOracle("ORCL");
    AddOracle("alpha");
    AddOracle("Zed");
    AddServer(new CSybaseServer(), FAMILY_SYBASE, "SYB1");
    int result = 0;
    if (!RunSelect(FAMILY_ORACLE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), (Items{"alpha", "ORCL", "Zed"}));
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{});
            EXPECT_EQ(r.Focus(), GetDlgItem(dlg, IDC_MONITOR_LIST));
            EXPECT_FALSE(r.Enabled(dlg, IDC_ADD_TO_MONITOR));
            EXPECT_TRUE(r.Enabled(dlg, IDC_REMOVE_FROM_MONITOR));
            EXPECT_TRUE(r.Enabled(dlg, IDC_EDIT_SERVER));
            EXPECT_TRUE(r.Enabled(dlg, IDC_NEW_SERVER));
            EXPECT_FALSE(r.Visible(dlg, IDC_VERIFY));
            // ">>" and "&Edit" with nothing monitored do nothing.
            r.Press(dlg, IDC_REMOVE_FROM_MONITOR);
            r.Press(dlg, IDC_EDIT_SERVER);
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), (Items{"alpha", "ORCL", "Zed"}));
            r.SelectItem(dlg, IDC_AVAILABLE_LIST, "ORCL");
            EXPECT_EQ(r.Focus(), GetDlgItem(dlg, IDC_AVAILABLE_LIST));
            EXPECT_TRUE(r.Enabled(dlg, IDC_ADD_TO_MONITOR));
            EXPECT_FALSE(r.Enabled(dlg, IDC_REMOVE_FROM_MONITOR));
            EXPECT_FALSE(r.Enabled(dlg, IDC_EDIT_SERVER));
            r.Finish(dlg, IDCANCEL);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_CANCEL);
    EXPECT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 0);
}

TEST_F(Win32DialogTest, AddingAServerAsksForItsPropertiesAndKeepsThePasswordEncoded) {
    AddOracle("ORCL");
    AddOracle("alpha");
    int result = 0;
    if (!RunSelect(FAMILY_ORACLE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            r.SelectItem(dlg, IDC_AVAILABLE_LIST, "ORCL");
            r.PressAsync(dlg, IDC_ADD_TO_MONITOR);
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            EXPECT_EQ(GetWindow(props, GW_OWNER), dlg);
            EXPECT_FALSE(IsWindowEnabled(dlg));
            EXPECT_EQ(r.Text(props, IDC_SERVER_NAME), "ORCL");
            EXPECT_EQ(r.Text(props, IDC_LOGIN), "wicket");
            EXPECT_EQ(r.Text(props, IDC_PASSWORD), "wicket");
            EXPECT_EQ(r.Text(props, IDC_VERSION), "9.2");
            EXPECT_EQ(r.Text(props, IDC_HOME_DIRECTORY), "C:\\db\\ORCL");
            EXPECT_EQ(r.Text(props, IDC_ERROR_LOG), "C:\\db\\ORCL\\alert.log");
            EXPECT_EQ(r.Focus(), GetDlgItem(props, IDOK));
            r.Type(props, IDC_LOGIN, "scott");
            r.Type(props, IDC_PASSWORD, "tiger");
            r.Type(props, IDC_VERSION, "10.1");
            r.PressAsync(props, IDOK);
            r.WaitGone(props, dlg);
            EXPECT_TRUE(IsWindowEnabled(dlg));
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{"ORCL"});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), Items{"alpha"});
            r.Finish(dlg, IDOK);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    ASSERT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 1);
    CMonitoredServer* entry = Monitored(0);
    EXPECT_EQ(entry->GetServerFamily(), FAMILY_ORACLE);
    EXPECT_EQ(entry->GetServerName(), "ORCL");
    EXPECT_EQ(entry->GetLogin(), "scott");
    EXPECT_EQ(Decoded(entry->GetPassword(), "scott", "ORCL"), "tiger");
    EXPECT_EQ(entry->GetServerVersion(), "10.1");
    EXPECT_EQ(entry->GetDollarServer(), "C:\\db\\ORCL");
    EXPECT_EQ(entry->GetErrorlogName(), "C:\\db\\ORCL\\alert.log");
}

TEST_F(Win32DialogTest, CancelledPropertiesAndTheCloseBoxLeaveEverythingAsItWas) {
    AddOracle("ORCL");
    AddOracle("alpha");
    int result = 0;
    if (!RunSelect(FAMILY_ORACLE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            r.SelectItem(dlg, IDC_AVAILABLE_LIST, "alpha");
            r.PressAsync(dlg, IDC_ADD_TO_MONITOR);
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            r.Type(props, IDC_LOGIN, "ignored");
            r.PressAsync(props, IDCANCEL);
            r.WaitGone(props, dlg);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), (Items{"alpha", "ORCL"}));
            EXPECT_TRUE(r.Enabled(dlg, IDC_ADD_TO_MONITOR));
            EXPECT_FALSE(r.Enabled(dlg, IDC_REMOVE_FROM_MONITOR));
            EXPECT_FALSE(r.Enabled(dlg, IDC_EDIT_SERVER));
            // The properties dialog's own close box cancels too.
            r.DoubleClickItemAsync(dlg, IDC_AVAILABLE_LIST, "ORCL");
            props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            r.Finish(props, 0);
            r.WaitGone(props, dlg);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), (Items{"alpha", "ORCL"}));
            r.Finish(dlg, 0);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_CANCEL);
    EXPECT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 0);
}

TEST_F(Win32DialogTest, DoubleClickAddsAndRemovingReturnsTheServerToTheAvailableList) {
    AddOracle("ORCL");
    AddOracle("Zed");
    int result = 0;
    if (!RunSelect(FAMILY_ORACLE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            r.DoubleClickItemAsync(dlg, IDC_AVAILABLE_LIST, "Zed");
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            EXPECT_EQ(r.Text(props, IDC_SERVER_NAME), "Zed");
            r.PressAsync(props, IDOK);
            r.WaitGone(props, dlg);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{"Zed"});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), Items{"ORCL"});
            r.SelectItem(dlg, IDC_MONITOR_LIST, "Zed");
            EXPECT_FALSE(r.Enabled(dlg, IDC_ADD_TO_MONITOR));
            r.Press(dlg, IDC_REMOVE_FROM_MONITOR);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), (Items{"ORCL", "Zed"}));
            r.Finish(dlg, IDOK);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    EXPECT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 0);
}

TEST_F(Win32DialogTest, ARenamedServerKeepsItsOldTextAndDoesNotComeBackWhenRemoved) {
    AddOracle("ORCL");
    AddOracle("alpha");
    int result = 0;
    if (!RunSelect(FAMILY_ORACLE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            for (const char* name : {"ORCL", "alpha"}) {
                r.SelectItem(dlg, IDC_AVAILABLE_LIST, name);
                r.PressAsync(dlg, IDC_ADD_TO_MONITOR);
                HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
                if (props == nullptr) return;
                r.Type(props, IDC_SERVER_NAME, std::string(name) + "_RENAMED");
                r.PressAsync(props, IDOK);
                r.WaitGone(props, dlg);
            }
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), (Items{"alpha", "ORCL"}));
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), Items{});
            // The second item: the current item of this list is its caret.
            r.SelectItem(dlg, IDC_MONITOR_LIST, "ORCL");
            r.Press(dlg, IDC_REMOVE_FROM_MONITOR);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), Items{"alpha"});
            EXPECT_EQ(r.Items(dlg, IDC_AVAILABLE_LIST), Items{});
            r.Finish(dlg, IDOK);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    ASSERT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 1);
    EXPECT_EQ(Monitored(0)->GetServerName(), "alpha_RENAMED");
    EXPECT_EQ(Decoded(Monitored(0)->GetPassword(), "wicket", "alpha_RENAMED"), "wicket");
}

TEST_F(Win32DialogTest, NewServersWithoutDiscoveryAndTheEmptyFieldWarnings) {
    int result = 0;
    if (!RunSelect(FAMILY_SYBASE, [](Robot& r) {
            HWND dlg = r.WaitForDialog(SELECT_CAPTION);
            if (dlg == nullptr) return;
            // Nothing to move either way.
            EXPECT_FALSE(r.Enabled(dlg, IDC_ADD_TO_MONITOR));
            EXPECT_FALSE(r.Enabled(dlg, IDC_REMOVE_FROM_MONITOR));
            r.PressAsync(dlg, IDC_NEW_SERVER);
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            EXPECT_EQ(r.Text(props, IDC_SERVER_NAME), "New_Server");
            EXPECT_EQ(r.Text(props, IDC_LOGIN), "wicket");
            EXPECT_EQ(r.Text(props, IDC_PASSWORD), "wicket");
            EXPECT_EQ(r.Text(props, IDC_VERSION), "");
            EXPECT_EQ(r.Text(props, IDC_HOME_DIRECTORY), "");
            EXPECT_EQ(r.Text(props, IDC_ERROR_LOG), "");
            r.PressAsync(props, IDOK);
            r.WaitGone(props, dlg);
            // The second one without a login: warned, kept empty.
            r.PressAsync(dlg, IDC_NEW_SERVER);
            props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            r.Type(props, IDC_LOGIN, "");
            r.PressAsync(props, IDOK);
            EXPECT_EQ(r.AnswerMessageBox(props), "No Login ID entered, using default login ID");
            r.WaitGone(props, dlg);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), (Items{"New_Server", "New_Server"}));
            EXPECT_FALSE(r.Enabled(dlg, IDC_REMOVE_FROM_MONITOR));
            // A double click still edits; the stored password shows decoded.
            r.DoubleClickItemAsync(dlg, IDC_MONITOR_LIST, "New_Server");
            props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            EXPECT_EQ(r.Text(props, IDC_PASSWORD), "wicket");
            r.Type(props, IDC_PASSWORD, "");
            r.PressAsync(props, IDOK);
            EXPECT_EQ(r.AnswerMessageBox(props), "No Password entered, using default password");
            r.WaitGone(props, dlg);
            EXPECT_EQ(r.Items(dlg, IDC_MONITOR_LIST), (Items{"New_Server", "New_Server"}));
            r.Finish(dlg, IDOK);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    ASSERT_EQ(params_.GetMonitoredCount(FAMILY_SYBASE), 2);
    int edited = 0;
    for (int i = 0; i < 2; ++i) {
        CMonitoredServer* entry = Monitored(i, FAMILY_SYBASE);
        EXPECT_EQ(entry->GetServerFamily(), FAMILY_NEW);
        EXPECT_EQ(entry->GetServerName(), "New_Server");
        if (entry->GetPassword().empty()) {
            ++edited;
            EXPECT_EQ(entry->GetLogin(), "wicket");  // the default comes back on opening
        } else {
            const std::string login = entry->GetLogin();
            EXPECT_TRUE(login == "wicket" || login.empty()) << login;
            EXPECT_EQ(Decoded(entry->GetPassword(), login, "New_Server"), "wicket");
        }
    }
    EXPECT_EQ(edited, 1);
}

TEST_F(Win32DialogTest, PropertiesFieldsOfAnyLengthGoBothWays) {
    CServerPropertiesDlg dialog;
    dialog.server_name = "S1";
    dialog.login = "dba";
    dialog.password = "secret";
    dialog.database_version = "7.3";
    dialog.home_directory = "C:\\" + std::string(3000, 'h');
    dialog.error_log = "C:\\log\\online.log";
    const std::string longLog = "D:\\" + std::string(5000, 'x') + "\\online.log";
    const std::string home = dialog.home_directory;
    int result = 0;
    if (!RunProperties(dialog, [&longLog, &home](Robot& r) {
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            EXPECT_EQ(r.Text(props, IDC_SERVER_NAME), "S1");
            EXPECT_EQ(r.Text(props, IDC_LOGIN), "dba");
            EXPECT_EQ(r.Text(props, IDC_PASSWORD), "secret");
            EXPECT_EQ(r.Text(props, IDC_VERSION), "7.3");
            EXPECT_EQ(r.Text(props, IDC_HOME_DIRECTORY), home);
            EXPECT_EQ(r.Text(props, IDC_ERROR_LOG), "C:\\log\\online.log");
            r.Type(props, IDC_ERROR_LOG, longLog);
            r.Finish(props, IDOK);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    EXPECT_EQ(dialog.error_log, longLog);
    EXPECT_EQ(dialog.home_directory, home);
    EXPECT_EQ(dialog.login, "dba");
    EXPECT_EQ(Decoded(dialog.password, "dba", "S1"), "secret");
}

TEST_F(Win32DialogTest, PropertiesWarnAboutLoginThenPasswordAndCancelKeepsTheFields) {
    CServerPropertiesDlg dialog;
    dialog.server_name = "S2";
    dialog.login = "dba";
    dialog.password = "pw";
    int result = 0;
    if (!RunProperties(dialog, [](Robot& r) {
            HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
            if (props == nullptr) return;
            r.Type(props, IDC_LOGIN, "");
            r.Type(props, IDC_PASSWORD, "");
            r.PressAsync(props, IDOK);
            EXPECT_EQ(r.AnswerMessageBox(props), "No Login ID entered, using default login ID");
            EXPECT_EQ(r.AnswerMessageBox(props), "No Password entered, using default password");
            r.WaitGone(props, nullptr);
        }, &result))
        return;
    EXPECT_EQ(result, DIALOG_OK);
    EXPECT_EQ(dialog.login, "");
    EXPECT_EQ(dialog.password, "");

    CServerPropertiesDlg kept;
    kept.server_name = "S3";
    kept.login = "dba";
    kept.password = "pw";
    ASSERT_TRUE(RunProperties(kept, [](Robot& r) {
        HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
        if (props == nullptr) return;
        r.Type(props, IDC_LOGIN, "other");
        r.Finish(props, IDCANCEL);
    }, &result));
    EXPECT_EQ(result, DIALOG_CANCEL);
    EXPECT_EQ(kept.login, "dba");
    EXPECT_EQ(kept.password, "pw");
}

TEST_F(Win32DialogTest, AnAnswersFileIsPlayedInsteadOfTheDialog) {
    AddOracle("ORCL");
    tavtest::TempDir dir;
    const std::string answers = dir.str() + "\\answers.txt";
    if (FILE* file = std::fopen(answers.c_str(), "w")) {
        std::fputs("[monitor ORCL]\nlogin = scott\npassword = tiger\n\n[ok]\n", file);
        std::fclose(file);
    }
    tavtest::ScopedEnv named(tavplat::ANSWERS_VARIABLE, answers.c_str());
    long error = 0;
    EXPECT_EQ(RunWithoutWindow(&error), DIALOG_OK) << "error " << error;
    ASSERT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 1);
    EXPECT_EQ(Monitored(0)->GetLogin(), "scott");
    EXPECT_EQ(Decoded(Monitored(0)->GetPassword(), "scott", "ORCL"), "tiger");

    // An answers file that cannot be read fails the run with its own code.
    tavtest::ScopedEnv missing(tavplat::ANSWERS_VARIABLE, (dir.str() + "\\missing.txt").c_str());
    error = 0;
    EXPECT_EQ(RunWithoutWindow(&error), -1);
    EXPECT_NE(error, 0);
    EXPECT_NE(error, NO_DISPLAY_ERROR);
}

// Not a test: scripts/screenshots.sh runs it to picture the two dialogs.
TEST_F(Win32DialogTest, DISABLED_Screenshots) {
    const char* dir = std::getenv("TAV_SCREENSHOT_DIR");
    if (dir == nullptr || !display_)
        GTEST_SKIP() << "run by scripts/screenshots.sh";
    const std::string shots = dir;
    struct Sample { const char* name; const char* home; const char* version; };
    for (const Sample& sample : {Sample{"ORCL", "C:\\oracle\\ora92", "9.2.0.1.0"},
                                 Sample{"PROD", "D:\\oracle\\ora10g", "10.1.0.2.0"},
                                 Sample{"TEST", "C:\\oracle\\ora92", "9.2.0.1.0"},
                                 Sample{"DEV", "C:\\oracle\\ora92", "9.2.0.1.0"}}) {
        auto* server = new COracleServer(sample.name);
        server->SetServerName(sample.name);
        server->SetDollarServer(sample.home);
        server->SetServerVersion(sample.version);
        server->SetErrorlogName((std::string("C:\\oracle\\admin\\") + sample.name + "\\bdump\\alert_" +
                                 sample.name + ".log").c_str());
        servers_.Add(server, FAMILY_ORACLE);
    }
    int result = 0;
    ASSERT_TRUE(RunSelect(FAMILY_ORACLE, [&shots](Robot& r) {
        HWND dlg = r.WaitForDialog(SELECT_CAPTION);
        if (dlg == nullptr) return;
        r.SelectItem(dlg, IDC_AVAILABLE_LIST, "ORCL");
        r.PressAsync(dlg, IDC_ADD_TO_MONITOR);
        HWND props = r.WaitForDialog(PROPERTIES_CAPTION);
        if (props == nullptr) return;
        r.Type(props, IDC_LOGIN, "system");
        r.Type(props, IDC_PASSWORD, "manager");
        r.PressAsync(props, IDOK);
        r.WaitGone(props, dlg);
        r.SelectItem(dlg, IDC_AVAILABLE_LIST, "PROD");
        r.Pose(dlg, shots, "select");
        r.DoubleClickItemAsync(dlg, IDC_MONITOR_LIST, "ORCL");
        props = r.WaitForDialog(PROPERTIES_CAPTION);
        if (props == nullptr) return;
        r.Pose(props, shots, "properties");
        r.Finish(props, IDCANCEL);
        r.Finish(dlg, IDCANCEL);
    }, &result));
    EXPECT_EQ(result, DIALOG_CANCEL);
}

}  // namespace

#endif  // _WIN32
