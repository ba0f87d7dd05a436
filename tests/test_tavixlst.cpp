// The selection dialog's handlers against a recording view: button states,
// sorted lists, moves both ways, "&New", "&Edit" and the handlers' guards.
#include "dialogs/tavixlst.h"

#include <gtest/gtest.h>

#include "dialog_fakes.h"

namespace {

using namespace tavtest;

// A dialog over a machine, opened as a view opens it.
struct OpenDialog {
    OracleMachine machine;
    CInstallParams params;
    FakeSelectView view;
    CServerSelectDlg dialog;

    explicit OpenDialog(const Found& found) : machine(found), dialog(FAMILY_ORACLE, machine.servers, params) {
        dialog.SetView(&view);
        EXPECT_TRUE(dialog.OnInitDialog());
        dialog.OnMonitorSetFocus();
    }
    // Click on the available item with that text, then "<<"; the person types and presses OK.
    void Add(const std::string& name, const std::map<int, std::string>& typed = {}) {
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
    CMonitoredServer& Entry(int index) { return *params.GetMonitoredAt(index, FAMILY_ORACLE); }
    // Both lists' texts, "monitored | available".
    std::string Lists() {
        std::string texts;
        for (tavview::MemoryListControl* list : {&view.Monitor(), &view.Available()}) {
            texts += list == &view.Available() ? " | " : "";
            for (int i = 0; i < list->GetCount(); ++i)
                texts += (i ? "," : "") + list->GetText(i);
        }
        return texts;
    }
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
    EXPECT_EQ(open.Lists(), " | ORCL,SALES,test");
    EXPECT_EQ(MonitoredSet(open.params), "");
    EXPECT_EQ(open.Buttons(), "100");

    open.view.cancel = false;
    open.Add("test");
    open.Add("ORCL");
    EXPECT_EQ(open.Lists(), "ORCL,test | SALES");
    EXPECT_EQ(open.Entry(1).GetLogin() + "/" + Decode(open.Entry(1)), "wicket/wicket");
    EXPECT_EQ(open.view.Monitor().GetItemData(0), &open.Entry(1));
    std::map<int, std::string>& shown = open.view.shown.at(2);
    EXPECT_EQ(shown[IDC_SERVER_NAME] + shown[IDC_VERSION] + shown[IDC_HOME_DIRECTORY] + shown[IDC_ERROR_LOG],
              std::string("ORCL") + ORCL.version + ORCL.home + ORCL.errorlog);
    EXPECT_EQ(open.view.focus, 3);
}

TEST(SelectAdd, FailedPropertiesDialogKeepsTheAddButAddsNoNewServer) {
    OpenDialog open({ORCL});
    open.view.forced_result = -1;
    open.Add("ORCL");
    open.dialog.OnNewServer();  // nobody had the chance to fill it in
    EXPECT_EQ(open.params.GetMonitoredCount(FAMILY_ORACLE), 1);
    EXPECT_EQ(open.Lists(), "ORCL | ORCL");
}

TEST(SelectRemove, ServerReturnsUnderItsDiscoveredNameUnlessRenamedAndNeverTwice) {
    OpenDialog open({ORCL, SALES});
    open.Add("ORCL", {{IDC_LOGIN, "system"}});
    open.Remove("ORCL");
    EXPECT_EQ(MonitoredSet(open.params), "");
    EXPECT_EQ(open.Lists(), " | ORCL,SALES");

    open.Add("ORCL", {{IDC_SERVER_NAME, "PROD"}});
    EXPECT_EQ(open.Lists(), "ORCL | SALES");  // the text it was added with
    open.Remove("ORCL");
    EXPECT_EQ(open.Lists(), " | SALES");  // gone for good

    OpenDialog other({ORCL, SALES});  // renamed to another server's name
    other.Add("ORCL", {{IDC_SERVER_NAME, "sales"}});
    other.Remove("ORCL");
    EXPECT_EQ(other.Lists(), " | SALES");  // listed already
    OpenDialog both({ORCL, SALES});
    both.Add("SALES");
    both.Add("ORCL", {{IDC_SERVER_NAME, "SALES"}});
    both.Remove("ORCL");
    EXPECT_EQ(both.Lists(), "SALES | ");  // still monitored
}

TEST(SelectNew, NothingDiscoveredTwoDefaultNamedServersBothStay) {
    OpenDialog open({});
    open.dialog.OnNewServer();
    open.dialog.OnNewServer();
    const std::string NEW_SET = "New_Server (5) login=wicket password=wicket version= home= errorlog=\n";
    EXPECT_EQ(MonitoredSet(open.params), NEW_SET + NEW_SET);
    EXPECT_EQ(open.Lists(), "New_Server,New_Server | ");
    open.view.Monitor().SetCurSel(0);
    open.view.typed = {{IDC_LOGIN, "system"}};
    open.dialog.OnEditServer();  // a double click, "&Edit" being disabled
    EXPECT_EQ(open.Entry(0).GetLogin(), "system");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(MonitoredSet(open.params), NEW_SET);
    EXPECT_EQ(open.Lists(), "New_Server | ");
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
    EXPECT_EQ(open.view.runs, 0);
    EXPECT_EQ(open.Lists(), "bare | ORCL");

    // A "&New" server typed with the discovered server's values stands for it.
    open.view.typed = {{IDC_SERVER_NAME, ORCL.name}, {IDC_ERROR_LOG, ORCL.errorlog},
                       {IDC_HOME_DIRECTORY, ORCL.home}, {IDC_VERSION, ORCL.version}};
    open.dialog.OnNewServer();
    open.Entry(0).SetServiceName("OracleServiceORCL");
    open.Add("ORCL");
    EXPECT_EQ(open.view.runs, 1);
    EXPECT_EQ(open.params.GetMonitoredCount(FAMILY_ORACLE), 1);
}
