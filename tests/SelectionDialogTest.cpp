// The selection dialog's handlers against a recording view: button states,
// sorted lists, moves both ways, "&New", "&Edit" and the handlers' guards.
#include "dialogs/SelectionDialog.h"

#include <gtest/gtest.h>

#include "DialogFakes.h"
#include "dialogs/PropertiesDialog.h"
#include "views/MemoryView.h"

namespace {

using namespace tavtest;
using Fields = std::map<int, std::string>;

// A list's texts, comma-separated; a closing NUL shown as "\0".
std::string Texts(tavview::MemoryListControl& list) {
    std::string texts;
    for (int i = 0; i < list.GetCount(); ++i) {
        std::string text = list.GetText(i);
        if (text.ends_with('\0')) text = text.substr(0, text.size() - 1) + "\\0";
        texts += (i ? "," : "") + text;
    }
    return texts;
}

// Plays the person in the properties dialog: types, then presses OK or Cancel.
struct FakeView : tavview::MemorySelectView {
    Fields typed;
    bool cancel = false;
    int failure = 0, focus = 0;  // failure: the properties dialog fails to run with this result
    std::vector<Fields> shown;  // the fields as each run opened

    int RunProperties(CServerPropertiesDlg& dialog) override {
        Fields& fields = shown.emplace_back();
        if (failure)
            return failure;
        tavview::MemoryPropertiesView view;
        dialog.OnInitDialog(view);
        for (int id : {IDC_SERVER_NAME, IDC_LOGIN, IDC_PASSWORD, IDC_VERSION, IDC_HOME_DIRECTORY, IDC_ERROR_LOG})
            fields[id] = view.GetControlText(id);
        for (const auto& [control, text] : typed)
            view.SetControlText(control, text);
        cancel ? dialog.OnCancel(view) : dialog.OnOK(view);
        return view.Ended() ? view.Result() : 0;
    }
    void SetFocusToDialog() override { ++focus; }
};

// A dialog over a machine, opened as a view opens it.
struct OpenDialog {
    OracleMachine machine;
    CMonitoredSet monitored;
    FakeView view;
    CServerSelectDlg dialog;

    explicit OpenDialog(const Found& found) : machine(found), dialog(Family::Oracle, machine.servers, monitored) {
        dialog.SetView(&view);
        EXPECT_TRUE(dialog.OnInitDialog());
        dialog.OnMonitorSetFocus();
    }
    // Click on the available item with that text, then "<<"; the person types and presses OK.
    void Add(const std::string& name, const Fields& typed = {}) {
        view.typed = typed;
        view.Available().SetCurSel(view.Available().FindExact(name));
        dialog.OnAvailableSetFocus();
        dialog.OnAddToMonitor();
    }
    // Click on the monitored item with that text, then ">>".
    void Remove(const std::string& name) {
        view.Monitor().SetCurSel(view.Monitor().FindExact(name));
        dialog.OnMonitorSetFocus();
        dialog.OnRemoveFromMonitor();
    }
    // A click on the available item with that text, as the list tells it.
    void Click(const std::string& name) {
        view.Available().SetCurSel(view.Available().FindExact(name));
        dialog.OnAvailableSelectionChanged();
    }
    CMonitoredServer& Entry(int index) { return *monitored.At(index, Family::Oracle); }
    // Both lists' texts, "monitored | available".
    std::string Lists() { return Texts(view.Monitor()) + " | " + Texts(view.Available()); }
    // "<<", ">>" and "&Edit", 1 where enabled.
    std::string Buttons() {
        std::string states;
        for (int id : {IDC_ADD_TO_MONITOR, IDC_REMOVE_FROM_MONITOR, IDC_EDIT_SERVER})
            states += view.IsButtonEnabled(id) ? '1' : '0';
        return states;
    }
};

}  // namespace

TEST(SelectButtons, FocusDecidesAndNothingDiscoveredEnablesNone) {
    for (bool discovered : {true, false}) {
        SCOPED_TRACE(discovered);
        OpenDialog open(discovered ? Found{ORCL} : Found{});
        EXPECT_EQ(open.Buttons(), discovered ? "011" : "001");  // "&Edit" as the template left it
        open.dialog.OnAvailableSetFocus();
        EXPECT_EQ(open.Buttons(), discovered ? "100" : "000");
        open.dialog.OnMonitorSetFocus();
        EXPECT_EQ(open.Buttons(), discovered ? "011" : "000");
    }
}

TEST(SelectAdd, OkMovesTheServerBetweenSortedListsCancelLeavesThem) {
    OpenDialog open({{"test", "", "", ""}, SALES, ORCL});
    open.view.cancel = true;
    open.Add("ORCL");
    EXPECT_EQ(open.Lists() + " " + MonitoredSet(open.monitored) + open.Buttons(), " | ORCL,SALES,test 100");

    open.view.cancel = false;
    open.Add("test");
    open.Add("ORCL");
    EXPECT_EQ(open.Lists(), "ORCL,test | SALES");
    EXPECT_EQ(open.view.Monitor().GetItemData(0), &open.Entry(1));
    EXPECT_EQ(open.view.focus, 3);
    // A properties dialog that fails to run leaves the move half done and adds no "&New" server.
    open.view.failure = -1;
    open.Add("SALES");
    open.dialog.OnNewServer();
    EXPECT_EQ(open.Lists() + " " + std::to_string(open.monitored.Count(Family::Oracle)),
              "ORCL,SALES,test | SALES 3");
}

TEST(SelectRemove, ServerReturnsUnderItsDiscoveredNameUnlessRenamedAndNeverTwice) {
    OpenDialog open({ORCL, SALES});
    open.Add("ORCL", {{IDC_LOGIN, "system"}});
    open.Remove("ORCL");
    EXPECT_EQ(open.Lists() + MonitoredSet(open.monitored), " | ORCL,SALES");
    open.Add("ORCL", {{IDC_SERVER_NAME, "PROD"}});
    EXPECT_EQ(open.Lists(), "ORCL | SALES");  // the text it was added with
    open.Remove("ORCL");
    EXPECT_EQ(open.Lists(), " | SALES");  // gone for good

    // Renamed to another discovered server's name: that one is listed, or monitored, already.
    for (bool salesMonitored : {false, true}) {
        OpenDialog other({ORCL, SALES});
        if (salesMonitored)
            other.Add("SALES");
        other.Add("ORCL", {{IDC_SERVER_NAME, "sales"}});
        other.Remove("ORCL");
        EXPECT_EQ(other.Lists(), salesMonitored ? "SALES | " : " | SALES");
    }
}

TEST(SelectEdit, DecodesForTheDialogAndEncodesAgainWithTheNewKey) {
    OpenDialog open({ORCL});
    open.Add("ORCL", {{IDC_LOGIN, "sys"}, {IDC_PASSWORD, "secret"}});
    open.view.Monitor().SetCurSel(0);
    open.view.typed = {{IDC_LOGIN, "system"}, {IDC_SERVER_NAME, "PROD"}};
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown.at(1)[IDC_PASSWORD], "secret");
    EXPECT_EQ(open.Entry(0).GetLogin() + "/" + Decode(open.Entry(0)), "system/secret");
    EXPECT_EQ(open.Lists(), "ORCL | ");
    EXPECT_EQ(open.view.focus, 2);

    const std::string stored = open.Entry(0).GetPassword();
    open.view.cancel = true;
    open.dialog.OnEditServer();
    EXPECT_EQ(open.Entry(0).GetPassword(), stored);
    open.Entry(0).SetPassword("ABCDEF0123");  // does not decode: the error text stands
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown.at(3)[IDC_PASSWORD], "Error incorrect password length");
    open.Entry(0).SetPassword("");
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown.at(4)[IDC_PASSWORD], "wicket");  // the default, put in on opening
    open.Entry(0).SetLogin("");
    open.Entry(0).SetPassword(stored.c_str());
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown.at(5)[IDC_LOGIN], "wicket");  // shown beside a password that is there
}

TEST(SelectEdit, ExchangeSelectsTheAvailableItemStoredAtTheLastRemove) {
    OpenDialog open({ORCL, SALES, {"test", "", "", ""}});
    open.Add("ORCL");
    open.view.Available().SetCurSel(open.view.Available().FindExact("SALES"));
    open.Remove("ORCL");  // stores "SALES", the available list's current text
    open.Add("ORCL");
    open.view.Available().SetCurSel(open.view.Available().FindExact("test"));
    open.view.Monitor().SetCurSel(0);
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.Available().GetText(open.view.Available().GetCurSel()), "SALES");
}

TEST(SelectGuards, NoCurrentItemNoReferenceOrServerAlreadyStoodForDoesNothing) {
    OpenDialog open({ORCL});  // neither list has a current item yet
    open.dialog.OnAddToMonitor();
    open.dialog.OnRemoveFromMonitor();
    open.dialog.OnEditServer();
    open.view.Monitor().SetCurSel(open.view.Monitor().AddString("bare"));
    open.dialog.OnEditServer();
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.view.shown.size(), 0u);
    EXPECT_EQ(open.Lists(), "bare | ORCL");

    // A "&New" server typed with the discovered server's values stands for it.
    open.view.typed = {{IDC_SERVER_NAME, ORCL.name}, {IDC_ERROR_LOG, ORCL.errorlog},
                       {IDC_HOME_DIRECTORY, ORCL.home}, {IDC_VERSION, ORCL.version}};
    open.dialog.OnNewServer();
    open.Add("ORCL");
    EXPECT_EQ(open.view.shown.size(), 1u);
    EXPECT_EQ(open.monitored.Count(Family::Oracle), 1);
}

// The line at the foot tells the service of the available server selected, after a click and
// after whatever handler moved the selection; it is emptied when none is selected.
TEST(SelectService, TheLineFollowsTheAvailableSelection) {
    using tavplat::ServiceStart, tavplat::ServiceState;
    OpenDialog open({{"ORCL", "", "", "", Service("OracleServiceORCL", ServiceStart::Automatic, ServiceState::Running)},
                     {"SALES", "", "", "", Service("OracleServiceSALES", ServiceStart::Manual, ServiceState::Stopped)},
                     {"TEST", "", "", "", Service("OracleServiceTEST", ServiceStart::Disabled, ServiceState::Stopped)},
                     {"DEV", "", "", ""}});
    EXPECT_EQ(open.view.ServiceText(), "");
    const std::string orcl = "Service: OracleServiceORCL (automatic, running)",
                      sales = "Service: OracleServiceSALES (manual, stopped)";
    enum Action { NONE, ADD_CANCELLED, ADD, REMOVE, EDIT };
    // The line is set to "stale" before each row: a handler that forgets it leaves that.
    const struct {
        const char* click;
        Action action;
        std::string expected;
    } ROWS[] = {
        {"ORCL", NONE, orcl},
        {"SALES", NONE, sales},
        {"TEST", NONE, "Service: OracleServiceTEST (disabled, stopped)"},
        {"DEV", NONE, "Service: none"},
        {"ORCL", ADD_CANCELLED, orcl},  // still selected
        {nullptr, ADD, ""},             // moved out with its item
        {"SALES", NONE, sales},
        {nullptr, REMOVE, sales},       // back in the list, the selection kept
        {nullptr, ADD, ""},
        {"TEST", EDIT, sales},          // "&Edit" selects again the item kept at the last ">>"
    };
    for (const auto& row : ROWS) {
        SCOPED_TRACE(std::string(row.click ? row.click : "-") + " " + std::to_string(row.action));
        open.view.SetServiceText("stale");
        if (row.click) open.Click(row.click);
        open.view.cancel = row.action == ADD_CANCELLED;
        if (row.action == ADD || row.action == ADD_CANCELLED) open.Add("ORCL");
        if (row.action == REMOVE) open.Remove("ORCL");
        if (row.action == EDIT) open.view.Monitor().SetCurSel(0), open.dialog.OnEditServer();
        EXPECT_EQ(open.view.ServiceText(), row.expected);
    }

    OpenDialog empty({});
    empty.view.SetServiceText("stale");
    empty.dialog.OnAvailableSelectionChanged();
    EXPECT_EQ(empty.view.ServiceText(), "");
}

// A dialog opens centred on its owner, else on the work area, and never leaves the work area.
TEST(DialogPlacement, CentredOnTheOwnerAndKeptOnTheWorkArea) {
    using tavplat::ScreenRect;
    const ScreenRect work{0, 0, 1024, 738}, second{-1280, 0, 0, 1024}, dialog{0, 0, 200, 100};
    const struct {
        std::optional<ScreenRect> owner;
        ScreenRect work, expected;
    } CASES[] = {
        {ScreenRect{100, 100, 700, 500}, work, {300, 250, 500, 350}},
        {std::nullopt, work, {412, 319, 612, 419}},
        {std::nullopt, second, {-740, 462, -540, 562}},
        {ScreenRect{900, 650, 1300, 900}, work, {824, 638, 1024, 738}},   // hanging off right and bottom
        {ScreenRect{-300, -200, 100, 100}, work, {0, 0, 200, 100}},        // off left and top
        {ScreenRect{-1000, 0, -500, 300}, work, {0, 100, 200, 200}},       // wholly off the work area
        {ScreenRect{0, 0, 100, 50}, ScreenRect{0, 0, 150, 80}, {0, 0, 200, 100}},  // larger than the work area
    };
    for (const auto& c : CASES) {
        const ScreenRect placed = tavplat::CentredPlacement(dialog, c.owner, c.work);
        EXPECT_EQ(placed, c.expected) << placed.left << "," << placed.top << " " << placed.right << ","
                                      << placed.bottom;
    }
}

// The in-memory list box sorts as the system's does: ignoring case, a new item
// after those equal to it. "+text" adds (the index it got in brackets), "-n"
// deletes item n, "=text" finds an exact text, "^text" selects by prefix,
// "@n" finds the item that refers to the nth item added.
TEST(MemoryList, SortsFindsAndSelectsAsASortedListBox) {
    const std::pair<std::vector<std::string>, const char*> CASES[] = {
        {{"+b", "+A", "+a", "+B", "=B", "=a", "=c", "="}, "[0][0][1][3] =2 =0 =-1 =-1 A,a,b,B cur -1"},
        {{"+ab", "+a", "+abc", "+b", "^AB", "+0"}, "[0][0][2][3][0] 0,a,ab,abc,b cur 2"},
        {{"+ab", "+b", "^b", "^x", "-0"}, "[0][1] b cur 0"},
        {{"+x", "+y", "+z", "@1", "-0", "@2", "-1", "@0"}, "[0][1][2] @1 @1 @-1 y cur -1"},
        {{"+a\\0", "+a", "=a", "^a"}, "[0][0] =0 a,a\\0 cur 0"},
    };
    for (const auto& [steps, expected] : CASES) {
        tavview::MemoryListControl list(false);
        std::vector<int> data(3);
        int added = 0;
        std::string log;
        for (std::string step : steps) {
            const char op = step[0];
            std::string text = step.substr(1);
            if (text.ends_with("\\0")) text = text.substr(0, text.size() - 2) + '\0';
            if (op == '+') {
                const int index = list.AddString(text);
                log += "[" + std::to_string(index) + "]";
                if (added < 3) list.SetItemData(index, &data[added++]);
            } else if (op == '-') {
                list.DeleteString(std::stoi(text));
            } else if (op == '=') {
                log += " =" + std::to_string(list.FindExact(text));
            } else if (op == '^') {
                list.SelectStringPrefix(text);
            } else if (op == '@') {
                log += " @" + std::to_string(list.FindData(&data[std::stoi(text)]));
            }
        }
        EXPECT_EQ(log + " " + Texts(list) + " cur " + std::to_string(list.GetCurSel()), expected)
            << testing::PrintToString(steps);
    }
}
