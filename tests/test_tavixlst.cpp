// The selection dialog's handlers against a recording view: button states,
// sorted lists, moves in both directions, "&New", "&Edit" with the password
// decoded and encoded again, and the handlers' guards.
#include "dialogs/tavixlst.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fakes.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"

namespace {

using tavtest::FakeSelectView;
using tavtest::PressCancel;
using tavtest::PressOk;
using Texts = std::vector<std::string>;

const tavtest::ServerFields ORCL = {"ORCL", "OracleServiceORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log",
                                    "C:\\oracle\\ora92", "9.2.0.1.0"};
const tavtest::ServerFields SALES = {"SALES", "OracleServiceSALES", "C:\\oracle\\admin\\SALES\\bdump\\alert_sales.log",
                                     "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0"};
const tavtest::ServerFields TEST = {"test", "OracleServiceTEST", "", "C:\\oracle\\ora92", "9.2.0.1.0"};

// A dialog over a machine, opened as the framework opens it.
struct OpenDialog {
    tavtest::OracleMachine machine;
    CInstallParams params;
    FakeSelectView view;
    CServerSelectDlg dialog;

    explicit OpenDialog(const std::vector<tavtest::ServerFields>& found)
        : machine(found), dialog(FAMILY_ORACLE, machine.servers, params) {
        dialog.SetView(&view);
        EXPECT_TRUE(dialog.OnInitDialog());
        dialog.OnMonitorSetFocus();
    }

    // Click on the available item with that text, then "<<".
    void Add(const std::string& name) {
        view.available.SetCurSel(view.available.FindExact(name));
        dialog.OnAvailableSetFocus();
        dialog.OnAddToMonitor();
    }
    void SelectMonitored(const std::string& name) {
        view.monitor.SetCurSel(view.monitor.FindExact(name));
        dialog.OnMonitorSetFocus();
    }
    int Count() { return params.GetMonitoredCount(FAMILY_ORACLE); }
    CMonitoredServer* Entry(int index) { return params.GetMonitoredAt(index, FAMILY_ORACLE); }
    bool Enabled(int id) { return view.buttons[id]; }
};

std::string Decode(const CMonitoredServer& entry) {
    const char* clear = decode_password(entry.GetPassword().c_str(), entry.GetLogin().c_str(),
                                        entry.GetServerName().c_str(), nullptr);
    return clear ? clear : "(null)";
}

}  // namespace

TEST(SelectButtons, FocusDecidesOnceServersWereDiscovered) {
    OpenDialog open({ORCL, SALES});
    EXPECT_FALSE(open.Enabled(IDC_ADD_TO_MONITOR));
    EXPECT_TRUE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    EXPECT_TRUE(open.Enabled(IDC_EDIT_SERVER));
    EXPECT_TRUE(open.Enabled(IDC_NEW_SERVER));

    open.dialog.OnAvailableSetFocus();
    EXPECT_TRUE(open.Enabled(IDC_ADD_TO_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_EDIT_SERVER));

    open.dialog.OnMonitorSetFocus();
    EXPECT_FALSE(open.Enabled(IDC_ADD_TO_MONITOR));
    EXPECT_TRUE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    EXPECT_TRUE(open.Enabled(IDC_EDIT_SERVER));
}

TEST(SelectButtons, NothingDiscoveredNeverEnablesTheMoveButtons) {
    OpenDialog open({});
    EXPECT_EQ(open.view.available.GetCount(), 0);
    EXPECT_FALSE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    open.dialog.OnAvailableSetFocus();
    open.dialog.OnMonitorSetFocus();
    open.dialog.OnAvailableSetFocus();
    EXPECT_FALSE(open.Enabled(IDC_ADD_TO_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_EDIT_SERVER));
    open.dialog.OnMonitorSetFocus();
    EXPECT_FALSE(open.Enabled(IDC_EDIT_SERVER));

    // "&New" works, and a double click on its item still opens the properties.
    open.dialog.OnNewServer();
    ASSERT_EQ(open.Count(), 1);
    open.SelectMonitored("New_Server");
    open.view.person = PressOk({{IDC_LOGIN, "system"}});
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.PropertiesRuns(), 2);
    EXPECT_EQ(open.Entry(0)->GetLogin(), "system");
}

TEST(SelectButtons, CancelledAddLeavesAddEnabled) {
    OpenDialog open({ORCL});
    open.view.person = PressCancel();
    open.Add("ORCL");
    EXPECT_TRUE(open.Enabled(IDC_ADD_TO_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_REMOVE_FROM_MONITOR));
    EXPECT_FALSE(open.Enabled(IDC_EDIT_SERVER));
}

TEST(SelectLists, ShownInAlphabeticalOrderNotDiscoveryOrder) {
    OpenDialog open({TEST, SALES, ORCL});
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"ORCL", "SALES", "test"}));
    EXPECT_EQ(open.view.available.GetItemData(2), open.machine.Record("test"));
    open.Add("test");
    open.Add("ORCL");
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"ORCL", "test"}));
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"SALES"}));
}

TEST(SelectAdd, OkMovesTheServerWithDefaultsEncoded) {
    OpenDialog open({ORCL, SALES});
    open.Add("SALES");
    ASSERT_EQ(open.Count(), 1);
    const CMonitoredServer& entry = *open.Entry(0);
    EXPECT_EQ(entry.GetServerFamily(), FAMILY_ORACLE);
    EXPECT_EQ(entry.GetServerName(), "SALES");
    EXPECT_EQ(entry.GetServiceName(), "OracleServiceSALES");
    EXPECT_EQ(entry.GetDollarServer(), SALES.home);
    EXPECT_EQ(entry.GetErrorlogName(), SALES.errorlog);
    EXPECT_EQ(entry.GetServerVersion(), "10.1.0.2.0");
    EXPECT_EQ(entry.GetLogin(), "wicket");
    EXPECT_EQ(entry.GetPassword().size(), 88u);
    EXPECT_EQ(Decode(entry), "wicket");
    // The properties dialog opened with the record's values and empty login data.
    ASSERT_EQ(open.view.shown.size(), 1u);
    EXPECT_EQ(open.view.shown[0][IDC_SERVER_NAME], "SALES");
    EXPECT_EQ(open.view.shown[0][IDC_ERROR_LOG], SALES.errorlog);
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"ORCL"}));
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"SALES"}));
    EXPECT_EQ(open.view.monitor.GetItemData(0), open.Entry(0));
    EXPECT_EQ(open.view.events.back(), "focus");
}

TEST(SelectAdd, CancelLeavesListsAndSetAsTheyWere) {
    OpenDialog open({ORCL, SALES});
    open.view.person = PressCancel();
    open.Add("ORCL");
    EXPECT_EQ(open.Count(), 0);
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"ORCL", "SALES"}));
    EXPECT_EQ(open.view.monitor.GetCount(), 0);
}

TEST(SelectAdd, FailedPropertiesDialogKeepsEntryAndBothItems) {
    OpenDialog open({ORCL});
    open.view.forced_result = -1;
    open.Add("ORCL");
    EXPECT_EQ(open.Count(), 1);
    EXPECT_EQ(open.view.monitor.GetCount(), 1);
    EXPECT_EQ(open.view.available.GetCount(), 1);
    EXPECT_EQ(open.Entry(0)->GetLogin(), "");
}

TEST(SelectAdd, ServerAlreadyStoodForIsNotAddedAgain) {
    OpenDialog open({ORCL});
    // A "&New" server typed with the discovered server's five values.
    open.view.person = PressOk({{IDC_SERVER_NAME, ORCL.name}, {IDC_ERROR_LOG, ORCL.errorlog},
                                {IDC_HOME_DIRECTORY, ORCL.home}, {IDC_VERSION, ORCL.version}});
    open.dialog.OnNewServer();
    open.Entry(0)->SetServiceName(ORCL.service);
    open.Add("ORCL");
    EXPECT_EQ(open.Count(), 1);
    EXPECT_EQ(open.view.PropertiesRuns(), 1);
    EXPECT_EQ(open.view.available.GetCount(), 1);
}

TEST(SelectRemove, ServerReturnsUnderItsDiscoveredName) {
    OpenDialog open({ORCL, SALES});
    open.view.person = PressOk({{IDC_LOGIN, "system"}});
    open.Add("ORCL");
    open.SelectMonitored("ORCL");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.Count(), 0);
    EXPECT_EQ(open.view.monitor.GetCount(), 0);
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"ORCL", "SALES"}));
    EXPECT_EQ(open.view.available.GetItemData(0), open.machine.Record("ORCL"));
    // And it can be moved again.
    open.Add("ORCL");
    EXPECT_EQ(open.Count(), 1);
}

TEST(SelectRemove, RenamedServerKeepsItsTextAndDoesNotComeBack) {
    OpenDialog open({ORCL, SALES});
    open.view.person = PressOk({{IDC_SERVER_NAME, "PROD"}});
    open.Add("ORCL");
    EXPECT_EQ(open.Entry(0)->GetServerName(), "PROD");
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"ORCL"}));
    open.SelectMonitored("ORCL");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.Count(), 0);
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"SALES"}));
}

TEST(SelectRemove, RenamedToAnotherServersNameNeverListsThatServerTwice) {
    OpenDialog open({ORCL, SALES});
    open.view.person = PressOk({{IDC_SERVER_NAME, "sales"}});
    open.Add("ORCL");
    open.SelectMonitored("ORCL");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"SALES"}));

    // Nor offers it while it is monitored.
    open.view.person = PressOk();
    open.Add("SALES");
    open.view.person = PressOk({{IDC_SERVER_NAME, "SALES"}});
    open.view.available.AddString("ORCL");  // as if ORCL were still offered
    open.view.available.SetItemData(0, open.machine.Record("ORCL"));
    open.Add("ORCL");
    open.SelectMonitored("ORCL");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"SALES"}));
    EXPECT_EQ(open.view.available.GetCount(), 0);
}

TEST(SelectNew, TwoDefaultNamedServersBothStay) {
    OpenDialog open({ORCL});
    open.dialog.OnNewServer();
    open.dialog.OnNewServer();
    ASSERT_EQ(open.Count(), 2);
    EXPECT_NE(open.Entry(0), open.Entry(1));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(open.Entry(i)->GetServerFamily(), FAMILY_NEW);
        EXPECT_EQ(open.Entry(i)->GetServerName(), "New_Server");
        EXPECT_EQ(Decode(*open.Entry(i)), "wicket");
    }
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"New_Server", "New_Server"}));
    EXPECT_EQ(open.view.shown[0][IDC_SERVER_NAME], "New_Server");
    EXPECT_EQ(open.view.shown[0][IDC_HOME_DIRECTORY], "");
    // ">>" on one takes it out for good; the other stays.
    open.SelectMonitored("New_Server");
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.Count(), 1);
    EXPECT_EQ(open.view.Texts(open.view.available), (Texts{"ORCL"}));
}

TEST(SelectNew, OnlyAConfirmedDialogAddsAServer) {
    OpenDialog open({});
    open.view.person = PressCancel();
    open.dialog.OnNewServer();
    open.view.forced_result = -1;
    open.dialog.OnNewServer();
    EXPECT_EQ(open.Count(), 0);
    EXPECT_EQ(open.view.monitor.GetCount(), 0);

    open.view.forced_result = 0;
    open.view.person = PressOk({{IDC_SERVER_NAME, "remote1"}, {IDC_LOGIN, "dbsnmp"},
                                {IDC_PASSWORD, "s3cret"}, {IDC_HOME_DIRECTORY, "D:\\ora"}});
    open.dialog.OnNewServer();
    ASSERT_EQ(open.Count(), 1);
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"remote1"}));
    EXPECT_EQ(open.Entry(0)->GetDollarServer(), "D:\\ora");
    EXPECT_EQ(Decode(*open.Entry(0)), "s3cret");
}

TEST(SelectEdit, DecodesForTheDialogAndEncodesAgainWithTheNewKey) {
    OpenDialog open({ORCL});
    open.view.person = PressOk({{IDC_LOGIN, "sys"}, {IDC_PASSWORD, "secret"}});
    open.Add("ORCL");
    const std::string stored = open.Entry(0)->GetPassword();

    open.SelectMonitored("ORCL");
    open.view.person = PressOk({{IDC_LOGIN, "system"}});
    open.dialog.OnEditServer();
    ASSERT_EQ(open.view.shown.size(), 2u);
    EXPECT_EQ(open.view.shown[1][IDC_PASSWORD], "secret");
    EXPECT_EQ(open.view.shown[1][IDC_LOGIN], "sys");
    const CMonitoredServer& entry = *open.Entry(0);
    EXPECT_EQ(entry.GetLogin(), "system");
    EXPECT_NE(entry.GetPassword(), stored);
    EXPECT_EQ(Decode(entry), "secret");
    // Bound to the new login: the old key no longer gives the password back
    // (usually an error text; the salted filler can rarely make a wrong key
    // decode to some other well-formed text).
    const char* oldKey = decode_password(entry.GetPassword().c_str(), "sys", "ORCL", nullptr);
    EXPECT_STRNE(oldKey, "secret");
    EXPECT_EQ(open.view.events.back(), "focus");
}

TEST(SelectEdit, CancelLeavesTheEntryAndNameChangesLeaveTheItemText) {
    OpenDialog open({ORCL});
    open.Add("ORCL");
    const std::string stored = open.Entry(0)->GetPassword();
    open.SelectMonitored("ORCL");
    open.view.person = PressCancel();
    open.dialog.OnEditServer();
    EXPECT_EQ(open.Entry(0)->GetPassword(), stored);
    EXPECT_EQ(open.Entry(0)->GetLogin(), "wicket");

    open.view.person = PressOk({{IDC_SERVER_NAME, "PROD"}});
    open.dialog.OnEditServer();
    EXPECT_EQ(open.Entry(0)->GetServerName(), "PROD");
    EXPECT_EQ(open.view.Texts(open.view.monitor), (Texts{"ORCL"}));
    EXPECT_EQ(Decode(*open.Entry(0)), "wicket");
}

TEST(SelectEdit, StoredPasswordThatDoesNotDecodeStandsAsTheErrorText) {
    OpenDialog open({});
    open.dialog.OnNewServer();
    open.Entry(0)->SetPassword("ABCDEF0123");
    open.SelectMonitored("New_Server");
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown[1][IDC_PASSWORD], "Error incorrect password length");

    open.Entry(0)->SetPassword("");
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.shown[2][IDC_PASSWORD], "wicket");  // the default, put in on opening
}

TEST(SelectEdit, ExchangeMovesTheAvailableSelectionBackToItsStoredText) {
    OpenDialog open({ORCL, SALES, TEST});
    open.Add("ORCL");
    // ">>" stores the texts of both lists' current items.
    open.view.available.SetCurSel(open.view.available.FindExact("SALES"));
    open.SelectMonitored("ORCL");
    open.dialog.OnRemoveFromMonitor();  // stores "SALES" as the available text
    open.Add("ORCL");
    open.view.available.SetCurSel(open.view.available.FindExact("test"));
    open.SelectMonitored("ORCL");
    const int monitorSelection = open.view.monitor.GetCurSel();
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.available.GetText(open.view.available.GetCurSel()), "SALES");
    EXPECT_EQ(open.view.monitor.GetCurSel(), monitorSelection);
}

TEST(SelectGuards, NoCurrentItemOrNoReferenceDoesNothing) {
    OpenDialog open({ORCL});
    open.view.available.SetCurSel(-1);
    open.dialog.OnAddToMonitor();
    open.dialog.OnRemoveFromMonitor();
    open.dialog.OnEditServer();
    EXPECT_EQ(open.view.PropertiesRuns(), 0);
    EXPECT_EQ(open.Count(), 0);

    const int bare = open.view.monitor.AddString("bare");
    open.view.monitor.SetCurSel(bare);
    open.dialog.OnEditServer();
    open.dialog.OnRemoveFromMonitor();
    EXPECT_EQ(open.view.PropertiesRuns(), 0);
    EXPECT_EQ(open.view.monitor.GetCount(), 1);
    EXPECT_EQ(open.view.available.GetCount(), 1);
}
