// The Win32 dialogs worked from a second thread as a person would: the controls the person sees,
// with their captions and states, and what each click does. With TAV_TEST_DISPLAY set
// (tests/scripts/wine-dialogs.sh under Xvfb) they run; without a display they must fail to show.
#if defined(_WIN32)

#include <windows.h>
#undef MessageBox

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "DialogFakes.h"
#include "dialogs/SelectionDialog.h"
#include "TestSupport.h"
#include "views/DialogViews.h"

namespace {

using namespace tavtest;
using Items = std::vector<std::string>;

const char* const SELECT = "Configure Database Agents";
const char* const PROPERTIES = "Database Server Properties";
// The selection dialog's texts before its lists, and the properties dialog showing six values.
const std::string SELECT_TEXTS = "Select the database server(s) that you wish to monitor, from the list available "
                                 "servers.|Servers to Monitor|Database Servers Available|";
std::string Properties(const Items& v) {
    return "OK|Cancel|Server &Name:|" + v[0] + "|&Login:|" + v[1] + "|&Password:|*" + v[2] + "|Database &Version:|" +
           v[3] + "|&Home Directory:|" + v[4] + "|&Error Log File:|" + v[5] + "|Database Server|Settings";
}

size_t Count(LRESULT n) { return n > 0 ? static_cast<size_t>(n) : 0; }  // an error (negative) counts none

std::string TextOf(HWND window) {
    std::string text(Count(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(Count(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// What the person sees, control by control in template order: its text, "*" before the text of a
// masked field, a list's items; "-" before a disabled control. Hidden controls are left out.
std::string Shown(HWND dialog) {
    std::string shown;
    for (HWND item = GetWindow(dialog, GW_CHILD); item != nullptr; item = GetWindow(item, GW_HWNDNEXT)) {
        char kind[16] = "";
        GetClassNameA(item, kind, sizeof kind);
        const bool list = std::string(kind) == "ListBox", edit = std::string(kind) == "Edit";
        std::string text = (edit && SendMessageA(item, EM_GETPASSWORDCHAR, 0, 0) ? "*" : "") + TextOf(item);
        for (LRESULT i = 0, count = list ? SendMessageA(item, LB_GETCOUNT, 0, 0) : 0; i < count; ++i) {
            std::string entry(Count(SendMessageA(item, LB_GETTEXTLEN, i, 0)) + 1, '\0');
            entry.resize(Count(SendMessageA(item, LB_GETTEXT, i, LPARAM(entry.data()))));
            text += (i ? " " : "") + entry;
        }
        if (IsWindowVisible(item))
            shown += std::string(shown.empty() ? "" : "|") + (IsWindowEnabled(item) ? "" : "-") + text;
    }
    return shown;
}

// Works the UI thread's windows from its own thread: a message sent across returns once handled.
struct Robot {
    std::atomic<bool> returned{false}, left_open{false};

    // Runs modal() on this thread while the script works its windows; closes what it left open.
    static int Drive(const std::function<int()>& modal, const std::function<void(Robot&)>& script) {
        Robot robot;
        std::thread worker([&] {
            script(robot);
            robot.Until([&] {
                for (const char* caption : {tavplat::APPLICATION_TITLE, PROPERTIES, SELECT})
                    if (HWND left = FindWindowA("#32770", caption))
                        PostMessageA(left, WM_CLOSE, 0, 0), robot.left_open = true;
                return robot.returned.load();
            });
        });
        const int result = modal();
        robot.returned = true;
        worker.join();
        EXPECT_FALSE(robot.left_open) << "the script left a dialog open";
        return result;
    }
    template <typename Done> bool Until(Done done) {
        for (int round = 0; round < 3000; ++round, Sleep(20)) if (done()) return true;
        return false;
    }
    // The dialog with this caption once it shows, enabled, its thread back in a message loop.
    HWND WaitFor(const char* caption) {
        HWND found = nullptr;
        Until([&] {
            found = FindWindowA("#32770", caption);
            return (found = found && IsWindowVisible(found) && IsWindowEnabled(found) ? found : nullptr) || returned;
        });
        if (found != nullptr) SendMessageA(found, WM_NULL, 0, 0);
        else ADD_FAILURE() << "the dialog \"" << caption << "\" did not show";
        return found;
    }
    // Waits until the window is gone and the thread of sync is back in its loop.
    void WaitGone(HWND window, HWND sync) {
        EXPECT_TRUE(Until([&] { return !IsWindow(window); })) << "a dialog did not close";
        if (sync != nullptr) SendMessageA(sync, WM_NULL, 0, 0);
    }
    // A person presses only a visible, enabled button; one that opens a modal window is posted.
    void Press(HWND dialog, int id, bool opens = false) {
        HWND button = GetDlgItem(dialog, id);
        if (!IsWindowVisible(button) || !IsWindowEnabled(button)) ADD_FAILURE() << "cannot press " << id;
        else if (opens) PostMessageA(button, BM_CLICK, 0, 0);
        else SendMessageA(button, BM_CLICK, 0, 0);
    }
    HWND Open(HWND dialog, int id) { return Press(dialog, id, true), WaitFor(PROPERTIES); }
    void Finish(HWND dialog, int id, HWND sync = nullptr) { Press(dialog, id, true), WaitGone(dialog, sync); }
    void Close(HWND window, HWND sync = nullptr) { PostMessageA(window, WM_CLOSE, 0, 0), WaitGone(window, sync); }
    // Picks the item from the keyboard: the focus moves to the list (its focus handler runs), the item
    // becomes current (selection or caret). No mouse: a list that captured it follows the real pointer.
    // In the single-selection list the arrow keys move the selection, which the list tells the dialog.
    LRESULT Select(HWND dialog, int listId, const std::string& text) {
        HWND list = GetDlgItem(dialog, listId);
        const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text.c_str()));
        EXPECT_NE(index, LB_ERR) << "no item " << text;
        SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(list), TRUE);
        for (LRESULT key = 0; listId == IDC_AVAILABLE_LIST && key <= index; ++key)
            SendMessageA(list, WM_KEYDOWN, key == 0 ? VK_HOME : VK_DOWN, 0);
        SendMessageA(list, LB_SETCURSEL, index, 0), SendMessageA(list, LB_SETSEL, TRUE, index);
        SendMessageA(list, LB_SETCARETINDEX, index, FALSE);
        return index;
    }
    HWND OpenItem(HWND dialog, int listId, const std::string& text) {
        RECT rect{};
        SendMessageA(GetDlgItem(dialog, listId), LB_GETITEMRECT, Select(dialog, listId, text), LPARAM(&rect));
        PostMessageA(GetDlgItem(dialog, listId), WM_LBUTTONDBLCLK, MK_LBUTTON,
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
        return WaitFor(PROPERTIES);
    }
    // Answers the message box of owner that must be open now: returns its text, presses OK.
    std::string AnswerBox(HWND owner) {
        HWND box = WaitFor(tavplat::APPLICATION_TITLE);
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
        const std::string text = TextOf(GetDlgItem(box, 0xFFFF));  // the text's id, as on Windows
        Finish(box, IDOK, owner);
        return text;
    }
};

class Win32DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Without the flag a dialog that did show would wait for nobody.
        HWND probe = display_ ? nullptr : CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                          nullptr, nullptr);
        if (probe != nullptr && DestroyWindow(probe)) GTEST_SKIP() << "a display is there: set TAV_TEST_DISPLAY=1";
    }
    // Runs the selection dialog over the servers found while the script works it. Without a display it
    // must fail to show (-1, error 1400, no text to add) and leave the monitored set alone; no script runs.
    int RunSelect(const Found& found, const std::function<void(Robot&)>& script) {
        OracleMachine machine(found);
        CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored_);
        Status failure;
        CReport report;
        const auto run = [&] {
            const tavview::SelectOutcome ended = tavview::RunSelectDialog(dialog, report);
            failure = ended.failure;
            return ended.result;
        };
        if (display_) {
            const int result = Robot::Drive(run, script);
            EXPECT_NE(result, -1) << "the dialog failed with error " << failure.code;
            return result;
        }
        EXPECT_EQ(run(), -1);
        EXPECT_EQ(failure.code, 1400);  // ERROR_INVALID_WINDOW_HANDLE: Wine without an X display
        EXPECT_EQ(failure.text + MonitoredSet(monitored_), "");
        return -1;
    }

    const bool display_ = std::getenv("TAV_TEST_DISPLAY") != nullptr;
    CMonitoredSet monitored_;
};

TEST_F(Win32DialogTest, DiscoveredServersAddWithOkOrCloseRemoveAndEdit) {
    using tavplat::ServiceStart, tavplat::ServiceState;
    const Items orcl = {ORCL.name, "wicket", "wicket", ORCL.version, ORCL.home, ORCL.errorlog};
    ServerFields orclRunning = ORCL, salesDisabled = SALES;
    orclRunning.service = Service("OracleServiceORCL", ServiceStart::Automatic, ServiceState::Running);
    salesDisabled.service = Service("Oracle&SALES", ServiceStart::Disabled, ServiceState::Stopped);
    const Found found = {orclRunning, salesDisabled, {"TEST", "", "", ""}, {"DEV", "", "", ""}};
    const int result = RunSelect(found, [orcl](Robot& r) {
        // The line at the foot: the service of the available server selected.
        const std::string running = "Service: OracleServiceORCL (automatic, running)",
                          disabled = "Service: Oracle&SALES (disabled, stopped)";
        HWND dlg = r.WaitFor(SELECT), props = nullptr;
        if (dlg == nullptr) return;
        // The monitor list has the focus: "<<" waits for a click on an available server.
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "|DEV ORCL SALES TEST|-<<|>>|&New|&Edit|OK|Cancel|");
        r.Select(dlg, IDC_AVAILABLE_LIST, "ORCL");
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "|DEV ORCL SALES TEST|<<|->>|&New|-&Edit|OK|Cancel|" + running);
        // "<<" and OK: the record's values and the default login and password.
        if (!(props = r.Open(dlg, IDC_ADD_TO_MONITOR))) return;
        EXPECT_EQ(GetWindow(props, GW_OWNER), dlg);
        EXPECT_EQ(Shown(props), Properties(orcl));
        SetDlgItemTextA(props, IDC_LOGIN, "system"), SetDlgItemTextA(props, IDC_PASSWORD, "manager");
        r.Finish(props, IDOK, dlg);
        // "<<" and the close box: nothing moves.
        r.Select(dlg, IDC_AVAILABLE_LIST, "SALES");
        if (!(props = r.Open(dlg, IDC_ADD_TO_MONITOR))) return;
        r.Close(props, dlg);
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "ORCL|DEV SALES TEST|<<|->>|&New|-&Edit|OK|Cancel|" + disabled);
        // A double click adds too; ">>" on the second item (the list's caret) gives it back.
        if (!(props = r.OpenItem(dlg, IDC_AVAILABLE_LIST, "TEST"))) return;
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDC_SERVICE_TEXT)), "Service: none");
        r.Finish(props, IDOK, dlg);
        r.Select(dlg, IDC_MONITOR_LIST, "TEST");
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "ORCL TEST|DEV SALES|-<<|>>|&New|&Edit|OK|Cancel|");
        r.Press(dlg, IDC_REMOVE_FROM_MONITOR);
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "ORCL|DEV SALES TEST|-<<|>>|&New|&Edit|OK|Cancel|");
        // A double click edits: the password shows decoded; a new login encodes it anew.
        if (!(props = r.OpenItem(dlg, IDC_MONITOR_LIST, "ORCL"))) return;
        EXPECT_EQ(Shown(props), Properties({orcl[0], "system", "manager", orcl[3], orcl[4], orcl[5]}));
        SetDlgItemTextA(props, IDC_LOGIN, "sys");
        r.Finish(props, IDOK, dlg);
        r.Finish(dlg, IDOK);
    });
    if (!display_) return;
    EXPECT_EQ(result, DIALOG_OK);
    EXPECT_EQ(MonitoredSet(monitored_), "ORCL (1) login=sys password=manager version=9.2.0.1.0 home=C:\\oracle\\ora92 "
                                     "errorlog=C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log\n");
}

TEST_F(Win32DialogTest, NewServersTheEmptyFieldWarningsAndEditThenCancel) {
    // Longer than any fixed buffer would hold, and within the value policy's 4000 characters.
    const std::string longLog = "D:\\" + std::string(3980, 'x') + "\\online.log";
    const int result = RunSelect({}, [&longLog](Robot& r) {
        HWND dlg = r.WaitFor(SELECT), props = nullptr;
        if (dlg == nullptr) return;
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "||-<<|->>|&New|&Edit|OK|Cancel|");  // nothing discovered
        if (!(props = r.Open(dlg, IDC_NEW_SERVER))) return;
        EXPECT_EQ(Shown(props), Properties({"New_Server", "wicket", "wicket", "", "", ""}));
        SetDlgItemTextA(props, IDC_LOGIN, ""), SetDlgItemTextA(props, IDC_PASSWORD, "");
        r.Press(props, IDOK, true);
        EXPECT_EQ(r.AnswerBox(props), "No Login ID entered, using default login ID");
        EXPECT_EQ(r.AnswerBox(props), "No Password entered, using default password");
        r.WaitGone(props, dlg);
        if (!(props = r.Open(dlg, IDC_NEW_SERVER))) return;
        SetDlgItemTextA(props, IDC_SERVER_NAME, "Added");
        SetDlgItemTextA(props, IDC_ERROR_LOG, longLog.c_str());
        r.Finish(props, IDOK, dlg);
        // "&Edit", then Cancel: the entry stays as it was.
        r.Select(dlg, IDC_MONITOR_LIST, "Added");
        EXPECT_EQ(Shown(dlg), SELECT_TEXTS + "Added New_Server||-<<|->>|&New|&Edit|OK|Cancel|");
        if (!(props = r.Open(dlg, IDC_EDIT_SERVER))) return;
        EXPECT_EQ(Shown(props), Properties({"Added", "wicket", "wicket", "", "", longLog}));
        SetDlgItemTextA(props, IDC_PASSWORD, "changed");
        r.Finish(props, IDCANCEL, dlg);
        r.Close(dlg);
    });
    if (!display_) return;
    // The close box only ends the dialog: what was done in it stays.
    EXPECT_EQ(result, DIALOG_CANCEL);
    EXPECT_EQ(MonitoredSet(monitored_), "New_Server (5) login= password=(stored as \"\") version= home= errorlog=\nAdded "
                                     "(5) login=wicket password=wicket version= home= errorlog=" + longLog + "\n");
}

std::string Describe(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

// Centres within a pixel of each other.
bool CentredOn(const RECT& inner, const RECT& outer) {
    return std::abs((inner.left + inner.right) - (outer.left + outer.right)) <= 2 &&
           std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)) <= 2;
}

// The installer's window: on the thread that runs the dialogs, or on a thread of its own that keeps it in the
// foreground, as an installer that calls the library from a worker thread.
struct InstallerWindow {
    HWND window = nullptr;
    DWORD thread_id = 0;
    std::thread ui;

    InstallerWindow(const RECT& r, bool ownThread) {
        const auto create = [r] {
            HWND made = CreateWindowExA(0, "STATIC", "Installer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, r.left, r.top,
                                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
            SetForegroundWindow(made), SetActiveWindow(made);
            return made;
        };
        if (!ownThread) {
            window = create();
            return;
        }
        std::promise<HWND> made;
        ui = std::thread([&] {
            thread_id = GetCurrentThreadId();
            made.set_value(create());
            for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
        });
        window = made.get_future().get();
    }
    ~InstallerWindow() {
        if (!ui.joinable()) {
            DestroyWindow(window);
            return;
        }
        PostMessageA(window, WM_CLOSE, 0, 0), PostThreadMessageA(thread_id, WM_QUIT, 0, 0);
        ui.join();
    }
};

// The selection dialog belongs to the installer's active or foreground window and opens centred on it, or on
// the work area when there is none, kept wholly on the work area; the properties dialog opens centred on it.
TEST_F(Win32DialogTest, BothDialogsOpenCentredOnTheirOwnerOrTheWorkArea) {
    if (!display_) return;  // the dialogs cannot show: the other tests check how they fail
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    const struct {
        const char* owner;
        RECT rect;
        bool own_thread;
    } CASES[] = {
        {"none", {}, false},
        {"in the middle", {work.left + 60, work.top + 40, work.left + 760, work.top + 560}, false},
        {"on another thread", {work.left + 300, work.top + 200, work.left + 1000, work.top + 700}, true},
        {"off the corner", {work.right - 250, work.bottom - 120, work.right + 250, work.bottom + 280}, false},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.owner);
        std::optional<InstallerWindow> installer;
        if (c.rect.right != 0) installer.emplace(c.rect, c.own_thread);
        HWND owner = installer ? installer->window : nullptr;
        ASSERT_EQ(GetActiveWindow(), c.own_thread ? nullptr : owner);
        ASSERT_TRUE(owner == nullptr || GetForegroundWindow() == owner);
        RECT ownerRect{}, select{}, properties{};
        GetWindowRect(owner, &ownerRect);
        HWND selectOwner = nullptr;
        bool ownerEnabled = true;
        RunSelect({ORCL}, [&](Robot& r) {
            HWND dlg = r.WaitFor(SELECT), props = nullptr;
            if (dlg == nullptr) return;
            GetWindowRect(dlg, &select);
            selectOwner = GetWindow(dlg, GW_OWNER);
            ownerEnabled = owner != nullptr && IsWindowEnabled(owner);
            if (!(props = r.Open(dlg, IDC_NEW_SERVER))) return;
            GetWindowRect(props, &properties);
            r.Finish(props, IDCANCEL, dlg);
            r.Finish(dlg, IDCANCEL);
        });
        EXPECT_EQ(selectOwner, owner);
        EXPECT_FALSE(ownerEnabled) << "the installer's window took clicks while the dialog was open";
        EXPECT_TRUE(owner == nullptr || IsWindowEnabled(owner));
        const std::string where = "select " + Describe(select) + ", properties " + Describe(properties) +
                                  ", owner " + Describe(ownerRect) + ", work area " + Describe(work);
        EXPECT_TRUE(select.left >= work.left && select.top >= work.top && select.right <= work.right &&
                    select.bottom <= work.bottom) << where;
        if (owner == nullptr) EXPECT_TRUE(CentredOn(select, work)) << where;
        else if (ownerRect.right <= work.right) EXPECT_TRUE(CentredOn(select, ownerRect)) << where;
        else EXPECT_TRUE(select.right == work.right && select.bottom == work.bottom) << where;
        EXPECT_TRUE(CentredOn(properties, select)) << where;
    }
}

}  // namespace

#endif  // _WIN32
