// The Win32 dialogs for real: the templates in the library's resources, and the
// modal dialogs worked from a second thread as a person would. With
// TAV_TEST_DISPLAY set (tests/scripts/wine-dialogs.sh under Xvfb) the dialogs
// run; without a display they must fail to show, and say so.
#if defined(_WIN32)

#include <windows.h>
#undef MessageBox

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "dialogs/tavixlst.h"
#include "discovery/tavdisc.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"
#include "views/AnswersView.h"
#include "views/DialogViews.h"
#include "registry/MemoryRegistry.h"
#include "platform/Dialog.h"
#include "platform/Module.h"
#include "tav_testutil.h"

namespace {

const char* const SELECT = "Configure Database Agents";
const char* const PROPERTIES = "Database Server Properties";
constexpr long NO_DISPLAY_ERROR = 1400;  // ERROR_INVALID_WINDOW_HANDLE: Wine without an X display
using Items = std::vector<std::string>;

size_t Count(LRESULT n) { return n > 0 ? static_cast<size_t>(n) : 0; }  // an error (negative) counts none

std::string TextOf(HWND window) {
    std::string text(Count(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(Count(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

const char* const CLASSES[] = {"button", "edit", "static", "listbox"};

// Reads a classic DLGTEMPLATE (a DIALOG statement); every read is bounded.
struct Reader {
    const unsigned char* data;
    size_t size, pos = 0;
    bool ok = true;
    unsigned Word() { return (ok = ok && pos + 2 <= size) ? (pos += 2, data[pos - 2] | data[pos - 1] << 8) : 0; }
    int Short() { return static_cast<short>(Word()); }
    DWORD Dword() { const DWORD low = Word(); return low | static_cast<DWORD>(Word()) << 16; }
    std::string Str() {
        std::string text;
        for (unsigned ch = Word(); ok && ch != 0; ch = Word()) text += static_cast<char>(ch < 0x80 ? ch : '?');
        return text;
    }
    // A class ordinal of a control names its class: 0x80 button to 0x83 list box.
    std::string NameOrOrdinal(bool isClass = false) {
        if (pos + 2 > size || (data[pos] | data[pos + 1] << 8) != 0xFFFF) return Str();
        const unsigned ordinal = (Word(), Word());
        return isClass && ordinal - 0x80 < 4 ? CLASSES[ordinal - 0x80] : "#" + std::to_string(ordinal);
    }
    std::string Place() {
        const int x = Short(), y = Short(), cx = Short(), cy = Short();
        return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy);
    }
};

std::string Hex(DWORD value) {
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789abcdef"[(value >> shift) & 0xF];
    return text;
}

// The template as text: the dialog, then each control in template order with
// its id, class, text, place and size in dialog units, and style.
std::string DumpTemplate(int id) {
    HMODULE module = static_cast<HMODULE>(tavplat::LibraryModuleHandle());
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), reinterpret_cast<LPCSTR>(RT_DIALOG));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) return "no template " + std::to_string(id);
    Reader r{static_cast<const unsigned char*>(data), SizeofResource(module, found)};
    const DWORD style = r.Dword();
    r.Dword();  // extended style
    const unsigned count = r.Word();
    std::string dump = "dialog " + std::to_string(id) + " " + r.Place();
    r.NameOrOrdinal(), r.NameOrOrdinal();  // menu, class
    dump += " \"" + r.Str() + "\"";
    const unsigned points = style & DS_SETFONT ? r.Word() : 0;
    dump += " " + std::to_string(points) + " \"" + (points ? r.Str() : "") + "\" " + Hex(style) + "\n";
    for (unsigned i = 0; i < count && r.ok; ++i) {
        r.pos = (r.pos + 3) & ~size_t{3};
        const DWORD itemStyle = r.Dword();
        r.Dword();
        const std::string place = r.Place();
        const int itemId = r.Short();
        const std::string cls = r.NameOrOrdinal(true);
        const std::string text = r.NameOrOrdinal();
        r.pos += r.Word();  // creation data
        dump += std::to_string(itemId) + " " + cls + " \"" + text + "\" " + place + " " + Hex(itemStyle) + "\n";
    }
    return r.ok && r.pos <= r.size ? dump : dump + "(cut short)\n";
}

TEST(Win32DialogTemplate, TheTemplatesAreAsDesigned) {
    const std::string golden = tavtest::ReadText(std::string(TAV_TEST_DATA) + "/golden/win32/templates.txt");
    EXPECT_EQ(DumpTemplate(IDD_SERVER_SELECT) + DumpTemplate(IDD_SERVER_PROPERTIES), golden);
}

// Works the UI thread's windows from its own thread. A message sent across threads returns
// once handled; a click that opens a modal dialog or a message box is posted instead.
struct Robot {
    std::atomic<bool> returned{false}, left_open{false};

    // Runs modal() on this thread while the script works its windows.
    static int Drive(const std::function<int()>& modal, const std::function<void(Robot&)>& script) {
        Robot robot;
        std::thread worker([&] {
            script(robot);
            // A script that stopped early must not leave the modal run hanging.
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

    // Polls until done(); the bound only guards against a hung run.
    template <typename Done> bool Until(Done done) {
        for (int round = 0; round < 3000; ++round, Sleep(20)) if (done()) return true;
        return false;
    }
    // The dialog with this caption once it shows, enabled, with its thread back
    // in a message loop; null (a failure when expected) if none shows.
    HWND WaitFor(const char* caption, bool expected = true) {
        HWND found = nullptr;
        Until([&] {
            found = FindWindowA("#32770", caption);
            return (found = found && IsWindowVisible(found) && IsWindowEnabled(found) ? found : nullptr) || returned;
        });
        if (found != nullptr) SendMessageA(found, WM_NULL, 0, 0);
        else if (expected) ADD_FAILURE() << "the dialog \"" << caption << "\" did not show";
        return found;
    }
    // Waits until the window is gone and its thread is back in the loop of sync.
    void WaitGone(HWND window, HWND sync = nullptr) {
        EXPECT_TRUE(Until([&] { return !IsWindow(window); })) << "a dialog did not close";
        if (sync != nullptr) SendMessageA(sync, WM_NULL, 0, 0);
    }

    // A person presses only a visible, enabled button. opens: the handler
    // shows a modal window, so the click is posted.
    void Press(HWND dialog, int id, bool opens = false) {
        HWND button = GetDlgItem(dialog, id);
        if (!IsWindowVisible(button) || !IsWindowEnabled(button)) ADD_FAILURE() << "cannot press " << id;
        else if (opens) PostMessageA(button, BM_CLICK, 0, 0);
        else SendMessageA(button, BM_CLICK, 0, 0);
    }
    HWND Open(HWND dialog, int id) { return Press(dialog, id, true), WaitFor(PROPERTIES); }
    void Finish(HWND dialog, int id, HWND sync = nullptr) { Press(dialog, id, true), WaitGone(dialog, sync); }

    // Picks the item from the keyboard: the focus moves to the list (its focus
    // handler runs), then the item becomes current (the selection of a
    // single-selection list, the caret of the other). No mouse: a list that
    // has captured it follows wherever the real pointer is.
    LRESULT Select(HWND dialog, int listId, const std::string& text) {
        HWND list = GetDlgItem(dialog, listId);
        const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text.c_str()));
        EXPECT_NE(index, LB_ERR) << "no item " << text;
        SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(list), TRUE);
        SendMessageA(list, LB_SETCURSEL, index, 0), SendMessageA(list, LB_SETSEL, TRUE, index);
        SendMessageA(list, LB_SETCARETINDEX, index, FALSE);
        return index;
    }
    // A double click on the item, which opens the properties dialog.
    HWND OpenItem(HWND dialog, int listId, const std::string& text) {
        RECT rect{};
        SendMessageA(GetDlgItem(dialog, listId), LB_GETITEMRECT, Select(dialog, listId, text), LPARAM(&rect));
        PostMessageA(GetDlgItem(dialog, listId), WM_LBUTTONDBLCLK, MK_LBUTTON,
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
        return WaitFor(PROPERTIES);
    }

    void Type(HWND dialog, std::initializer_list<std::pair<int, std::string>> fields) {
        for (const auto& field : fields) SetDlgItemTextA(dialog, field.first, field.second.c_str());
    }
    // The six fields of the properties dialog, in the order of the template.
    Items Fields(HWND props) {
        Items fields;
        for (int id : {IDC_SERVER_NAME, IDC_LOGIN, IDC_PASSWORD, IDC_VERSION, IDC_HOME_DIRECTORY, IDC_ERROR_LOG})
            fields.push_back(TextOf(GetDlgItem(props, id)));
        return fields;
    }
    // The items of the monitor list, then those of the available list.
    std::string Lists(HWND dialog) {
        std::string lists;
        for (int id : {IDC_MONITOR_LIST, IDC_AVAILABLE_LIST}) {
            HWND list = GetDlgItem(dialog, id);
            lists += id == IDC_MONITOR_LIST ? "" : lists.empty() ? "|" : " |";
            for (LRESULT i = 0, count = SendMessageA(list, LB_GETCOUNT, 0, 0); i < count; ++i) {
                std::string text(Count(SendMessageA(list, LB_GETTEXTLEN, i, 0)) + 1, '\0');
                text.resize(Count(SendMessageA(list, LB_GETTEXT, i, LPARAM(text.data()))));
                lists += (lists.empty() ? "" : " ") + text;
            }
        }
        return lists;
    }
    // Answers the message box of owner that must be open now: returns its text, presses OK.
    std::string AnswerBox(HWND owner) {
        HWND box = WaitFor(tavplat::APPLICATION_TITLE);
        if (box == nullptr) return "(no message box)";
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
        const std::string text = TextOf(GetDlgItem(box, 0xFFFF));  // the text's id, as on Windows
        Finish(box, IDOK, owner);
        return text;
    }

    // For scripts/screenshots.sh (dir named) holds the dialog still: writes
    // its screen rectangle to <dir>\<name>.ready, waits for <dir>\<name>.done.
    void Pose(HWND dialog, const std::string& dir, const std::string& name) {
        if (dir.empty()) return;
        RECT r{};
        GetWindowRect(dialog, &r);
        tavtest::WriteFile(dir + "\\" + name + ".ready", std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                           std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top) + "\n");
        Until([&] { return tavtest::FileExists(dir + "\\" + name + ".done"); });
    }
};

class Win32DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* flag = std::getenv("TAV_TEST_DISPLAY");
        display_ = flag != nullptr && flag[0] != '\0' && std::string(flag) != "0";
        // Without the flag a dialog that did show would wait for nobody.
        HWND probe = display_ ? nullptr : CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                                          nullptr, nullptr);
        if (probe != nullptr && DestroyWindow(probe)) GTEST_SKIP() << "a display is there: set TAV_TEST_DISPLAY=1";
    }
    // A discovered Oracle instance; PROD runs a newer release in a home of its own.
    void AddOracle(const std::string& name) {
        const bool prod = name == "PROD";
        auto server = std::make_unique<COracleServer>(name.c_str());
        server->SetServerName(name.c_str());
        server->SetDollarServer(prod ? "D:\\oracle\\ora10g" : "C:\\oracle\\ora92");
        server->SetServerVersion(prod ? "10.1.0.2.0" : "9.2.0.1.0");
        server->SetErrorlogName(("C:\\oracle\\admin\\" + name + "\\bdump\\alert_" + name + ".log").c_str());
        servers_.Add(std::move(server), FAMILY_ORACLE);
    }

    // Runs the selection dialog while the script works it. Without a display it must
    // fail to show (-1, error 1400, no text to add) and leave the monitored set alone; no script runs.
    int RunSelect(int family, const std::function<void(Robot&)>& script) {
        tavtest::ScopedEnv noAnswers(tavview::ANSWERS_VARIABLE, nullptr);
        CServerSelectDlg dialog(family, servers_, params_);
        const int before = params_.GetMonitoredCount(family);
        Status failure;
        const auto run = [&] { return tavview::RunSelectDialog(dialog, StandardReport(), &failure); };
        if (display_) {
            const int result = Robot::Drive(run, script);
            EXPECT_NE(result, -1) << "the dialog failed with error " << failure.code;
            return result;
        }
        EXPECT_EQ(run(), -1);
        EXPECT_EQ(failure.code, NO_DISPLAY_ERROR);
        EXPECT_EQ(failure.text, "");
        EXPECT_EQ(params_.GetMonitoredCount(family), before);
        return -1;
    }
    // A monitored entry's family and six values, its password decoded (it must not be stored clear).
    Items Entry(int index, int family) {
        const CMonitoredServer* e = params_.GetMonitoredAt(index, family);
        if (e == nullptr) return {"(no entry)"};
        const std::string stored = e->GetPassword();
        const char* clear = decode_password(stored.c_str(), e->GetLogin().c_str(), e->GetServerName().c_str(),
                                            static_cast<const char*>(nullptr));
        return {std::to_string(e->GetServerFamily()), e->GetServerName(), e->GetLogin(),
                !clear ? "(null)" : clear == stored ? "(not encoded)" : clear, e->GetServerVersion(),
                e->GetDollarServer(), e->GetErrorlogName()};
    }

    // Works the discovered servers through the dialogs; with shots named,
    // the two dialogs pose for scripts/screenshots.sh on the way.
    void WorkDiscoveredServers(const std::string& shots) {
        for (const char* name : {"ORCL", "PROD", "TEST", "DEV"}) AddOracle(name);
        const Items orcl = {"ORCL", "wicket", "wicket", "9.2.0.1.0", "C:\\oracle\\ora92",
                            "C:\\oracle\\admin\\ORCL\\bdump\\alert_ORCL.log"};
        const int result = RunSelect(FAMILY_ORACLE, [&shots, orcl](Robot& r) {
            HWND dlg = r.WaitFor(SELECT), props = nullptr;
            if (dlg == nullptr) return;
            EXPECT_EQ(r.Lists(dlg), "| DEV ORCL PROD TEST");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_ADD_TO_MONITOR)));  // the monitor list has the focus
            // "<<" and OK: the record's values and the default login and password.
            r.Select(dlg, IDC_AVAILABLE_LIST, "ORCL");
            if (!(props = r.Open(dlg, IDC_ADD_TO_MONITOR))) return;
            EXPECT_EQ(GetWindow(props, GW_OWNER), dlg);
            EXPECT_EQ(r.Fields(props), orcl);
            r.Type(props, {{IDC_LOGIN, "system"}, {IDC_PASSWORD, "manager"}});
            r.Finish(props, IDOK, dlg);
            EXPECT_EQ(r.Lists(dlg), "ORCL | DEV PROD TEST");
            // "<<" and Cancel: nothing moves, and "<<" is the button to press.
            r.Select(dlg, IDC_AVAILABLE_LIST, "PROD");
            r.Pose(dlg, shots, "select");
            if (!(props = r.Open(dlg, IDC_ADD_TO_MONITOR))) return;
            r.Finish(props, IDCANCEL, dlg);
            EXPECT_EQ(r.Lists(dlg), "ORCL | DEV PROD TEST");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_EDIT_SERVER)));
            // A double click adds too; ">>" on the second item (the list's caret) gives it back.
            if (!(props = r.OpenItem(dlg, IDC_AVAILABLE_LIST, "TEST"))) return;
            r.Finish(props, IDOK, dlg);
            EXPECT_EQ(r.Lists(dlg), "ORCL TEST | DEV PROD");
            r.Select(dlg, IDC_MONITOR_LIST, "TEST");
            r.Press(dlg, IDC_REMOVE_FROM_MONITOR);
            EXPECT_EQ(r.Lists(dlg), "ORCL | DEV PROD TEST");
            // A double click edits: the password shows decoded; a new login encodes it anew.
            if (!(props = r.OpenItem(dlg, IDC_MONITOR_LIST, "ORCL"))) return;
            EXPECT_EQ(r.Fields(props), (Items{orcl[0], "system", "manager", orcl[3], orcl[4], orcl[5]}));
            r.Pose(props, shots, "properties");
            r.Type(props, {{IDC_LOGIN, "sys"}});
            r.Finish(props, IDOK, dlg);
            r.Finish(dlg, IDOK);
        });
        if (!display_) return;
        EXPECT_EQ(result, DIALOG_OK);
        ASSERT_EQ(params_.GetMonitoredCount(FAMILY_ORACLE), 1);
        EXPECT_EQ(Entry(0, FAMILY_ORACLE), (Items{"1", orcl[0], "sys", "manager", orcl[3], orcl[4], orcl[5]}));
    }

    bool display_ = false;
    tavreg::MemoryRegistry registry_;  // empty: discovery never runs here
    CDbServerList servers_{registry_};
    CInstallParams params_;
};

TEST_F(Win32DialogTest, DiscoveredServersAddWithOkOrCancelRemoveAndEdit) { WorkDiscoveredServers(""); }

TEST_F(Win32DialogTest, NewServersTheEmptyFieldWarningsAndEditThenCancel) {
    const std::string longLog = "D:\\" + std::string(5000, 'x') + "\\online.log";  // no length limit
    const int result = RunSelect(FAMILY_SYBASE, [&longLog](Robot& r) {
        HWND dlg = r.WaitFor(SELECT), props = nullptr;
        if (dlg == nullptr) return;
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_REMOVE_FROM_MONITOR)));  // nothing discovered
        if (!(props = r.Open(dlg, IDC_NEW_SERVER))) return;
        EXPECT_EQ(r.Fields(props), (Items{"New_Server", "wicket", "wicket", "", "", ""}));
        r.Type(props, {{IDC_LOGIN, ""}, {IDC_PASSWORD, ""}});
        r.Press(props, IDOK, true);
        EXPECT_EQ(r.AnswerBox(props), "No Login ID entered, using default login ID");
        EXPECT_EQ(r.AnswerBox(props), "No Password entered, using default password");
        r.WaitGone(props, dlg);
        if (!(props = r.Open(dlg, IDC_NEW_SERVER))) return;
        r.Type(props, {{IDC_SERVER_NAME, "Added"}, {IDC_ERROR_LOG, longLog}});
        r.Finish(props, IDOK, dlg);
        EXPECT_EQ(r.Lists(dlg), "Added New_Server |");
        // "&Edit", then Cancel: the entry stays as it was.
        r.Select(dlg, IDC_MONITOR_LIST, "Added");
        if (!(props = r.Open(dlg, IDC_EDIT_SERVER))) return;
        EXPECT_EQ(r.Fields(props), (Items{"Added", "wicket", "wicket", "", "", longLog}));
        r.Type(props, {{IDC_PASSWORD, "changed"}});
        r.Finish(props, IDCANCEL, dlg);
        r.Finish(dlg, IDCANCEL);
    });
    if (!display_) return;
    EXPECT_EQ(result, DIALOG_CANCEL);
    // Cancel only ends the dialog: what was done in it stays.
    ASSERT_EQ(params_.GetMonitoredCount(FAMILY_SYBASE), 2);
    EXPECT_EQ(Entry(0, FAMILY_SYBASE), (Items{"5", "New_Server", "", "(null)", "", "", ""}));
    EXPECT_EQ(Entry(1, FAMILY_SYBASE), (Items{"5", "Added", "wicket", "wicket", "", "", longLog}));
}

TEST_F(Win32DialogTest, AnAnswersFileIsPlayedInsteadOfTheDialog) {
    AddOracle("ORCL");
    const std::string fixtures = std::string(TAV_TEST_DATA) + "\\fixtures\\win32\\";
    // With a display, a Win32 dialog that shows anyway fails the test and is closed.
    const auto play = [this](const std::string& path, Status* failure) {
        tavtest::ScopedEnv named(tavview::ANSWERS_VARIABLE, path.c_str());
        CServerSelectDlg dialog(FAMILY_ORACLE, servers_, params_);
        return Robot::Drive([&] { return tavview::RunSelectDialog(dialog, StandardReport(), failure); },
                            [](Robot& r) { EXPECT_EQ(r.WaitFor(SELECT, false), nullptr) << "the dialog showed"; });
    };
    Status played, missing;
    EXPECT_EQ(play(fixtures + "answers.txt", &played), DIALOG_OK) << played.text;
    EXPECT_EQ(Entry(0, FAMILY_ORACLE), (Items{"1", "ORCL", "scott", "tiger", "9.2.0.1.0", "C:\\oracle\\ora92",
                                              "C:\\oracle\\admin\\ORCL\\bdump\\alert_ORCL.log"}));
    // An answers file that cannot be read fails the run with its own code.
    EXPECT_EQ(play(fixtures + "missing.txt", &missing), -1);
    EXPECT_TRUE(missing.code != 0 && missing.code != NO_DISPLAY_ERROR) << missing.code;
}

// Not a test: scripts/screenshots.sh runs it to picture the two dialogs.
TEST_F(Win32DialogTest, DISABLED_Screenshots) {
    const char* dir = std::getenv("TAV_SCREENSHOT_DIR");
    if (dir == nullptr || !display_) GTEST_SKIP() << "run by scripts/screenshots.sh";
    WorkDiscoveredServers(dir);
}

// The visible top-level windows whose caption starts with prefix, top first.
std::vector<HWND> WindowsTitled(const std::string& prefix) {
    std::pair<std::string, std::vector<HWND>> search{prefix, {}};
    EnumWindows([](HWND window, LPARAM found) -> BOOL {
        auto& [start, windows] = *reinterpret_cast<std::pair<std::string, std::vector<HWND>>*>(found);
        if (IsWindowVisible(window) && TextOf(window).rfind(start, 0) == 0) windows.push_back(window);
        return TRUE;
    }, LPARAM(&search));
    return search.second;
}

// Not a test by itself: tests/scripts/wine-installer.sh runs it beside the
// example installer, as the person installing. TAV_INSTALLER_ANSWER says how the
// selection dialog ends: "ok" after moving one server, or "cancel".
TEST(Win32Installer, DISABLED_PersonInstalling) {
    const char* answer = std::getenv("TAV_INSTALLER_ANSWER");
    if (answer == nullptr) GTEST_SKIP() << "run by tests/scripts/wine-installer.sh";
    // The installer's window adds the page to this caption; its message boxes have it alone.
    const std::string SETUP = "Veltra Oracle Monitoring Agents Setup";
    Robot r;
    HWND setup = nullptr, dlg = nullptr, props = nullptr, box = nullptr;
    r.Until([&] { return WindowsTitled(SETUP).size() == 1 && (setup = WindowsTitled(SETUP)[0]); });
    ASSERT_NE(setup, nullptr) << "the installer did not show";
    r.Press(setup, IDOK, true);  // "Install" on the directory page
    ASSERT_NE(dlg = r.WaitFor(SELECT), nullptr);
    if (const char* shots = std::getenv("TAV_SCREENSHOT_DIR")) r.Pose(dlg, shots, "installer");
    if (std::string(answer) == "ok") {
        r.Select(dlg, IDC_AVAILABLE_LIST, "ORCL");
        ASSERT_NE(props = r.Open(dlg, IDC_ADD_TO_MONITOR), nullptr);
        r.Finish(props, IDOK, dlg);
        r.Finish(dlg, IDOK);
    } else {
        r.Finish(dlg, IDCANCEL);
        r.Until([&] {
            for (HWND window : WindowsTitled(SETUP)) box = window != setup ? window : box;
            return box != nullptr;
        });
        ASSERT_NE(box, nullptr) << "the installer did not report the cancel";
        EXPECT_NE(TextOf(GetDlgItem(box, 0xFFFF)).find("cancelled"), std::string::npos);
        r.Finish(box, IDOK);
    }
    // The last page: "Close" after an install, only Cancel after an aborted one.
    const int leave = box == nullptr ? IDOK : IDCANCEL;
    r.Until([&] { return IsWindowEnabled(GetDlgItem(setup, leave)) != FALSE; });
    r.Finish(setup, leave);
}

}  // namespace

#endif  // _WIN32
