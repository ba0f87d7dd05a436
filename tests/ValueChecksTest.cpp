// Values checked where they enter: the properties dialog names the field it
// refuses, the selection dialog keeps a refused discovered server and refuses
// OK for two servers that would share their files, and the writer writes
// nothing for either.
#include <gtest/gtest.h>

#include "DialogFakes.h"
#include "dialogs/SelectionDialog.h"
#include "generate/ConfigurationWriter.h"
#include "TestSupport.h"

namespace {

using namespace tavtest;

// A new server typed into the properties dialog, one field changed from a valid one.
struct FieldCase {
    int control;
    std::string value;
    const char* refusal;  // the start of the message; null: accepted
};

}  // namespace

TEST(PropertiesDialog, NamesTheFieldItRefusesAndStaysOpen) {
    const FieldCase CASES[] = {
        {IDC_SERVER_NAME, "GRP\\ORCL", nullptr},
        {IDC_LOGIN, "sa & echo x> y", nullptr},
        {IDC_ERROR_LOG, "C:\\log%PATH%", nullptr},
        {IDC_HOME_DIRECTORY, std::string(4000, 'h'), nullptr},
        {IDC_PASSWORD, "p&ss|w<rd>", nullptr},  // encoded: hexadecimal digits reach the file
        {IDC_SERVER_NAME, "ORCL\r\nX", "Server Name: the name: it holds a control character"},
        {IDC_SERVER_NAME, "AUX", "Server Name: \"AUX\" is a device name on Windows"},
        {IDC_SERVER_NAME, "a&b", "Server Name: the name holds '&'"},
        {IDC_LOGIN, "sa\n", "Login: it holds a control character"},
        {IDC_VERSION, "9.2\x7F", "Database Version: it holds a control character"},
        {IDC_HOME_DIRECTORY, std::string(4001, 'h'), "Home Directory: it is longer than 4000 characters"},
        {IDC_ERROR_LOG, "C:\\x\r\nSTART calc", "Error Log File: it holds a control character"},
        {IDC_PASSWORD, "~pw%x", nullptr},  // clear text: escaped where it is written
        {IDC_PASSWORD, "~a\"b", nullptr},
    };
    for (const FieldCase& row : CASES) {
        SCOPED_TRACE(row.value.substr(0, 30));
        OracleMachine machine({});
        CMonitoredSet monitored;
        TypingView view;
        CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
        dialog.SetView(&view);
        ASSERT_TRUE(dialog.OnInitDialog());
        view.typed = {{IDC_SERVER_NAME, "ORCL"}};
        view.typed[row.control] = row.value;
        dialog.OnNewServer();
        if (!row.refusal) {
            EXPECT_TRUE(view.refusals.empty()) << view.refusals.front();
            EXPECT_EQ(monitored.Count(Family::Oracle), 1);
            continue;
        }
        ASSERT_EQ(view.refusals.size(), 1u);
        EXPECT_TRUE(view.refusals[0].starts_with(row.refusal)) << view.refusals[0];
        EXPECT_EQ(monitored.Count(Family::Oracle), 0);
    }
}

// A discovered server whose name is refused stays available, and the view says why.
TEST(SelectionDialog, ARefusedDiscoveredServerStaysAvailable) {
    const ServerFields quote = {"Y\"&calc&\"", "", "C:\\oracle", "9.2"};
    OracleMachine machine({quote, ORCL});
    CMonitoredSet monitored;
    TypingView view;
    CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
    dialog.SetView(&view);
    ASSERT_TRUE(dialog.OnInitDialog());
    view.Available().SetCurSel(view.Available().FindExact(quote.name));
    dialog.OnAddToMonitor();
    EXPECT_EQ(monitored.Count(Family::Oracle), 0);
    EXPECT_EQ(view.Available().GetCount(), 2);
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0], "The server 'Y\"&calc&\"' cannot be monitored: the name holds '\"', which a file name cannot hold");
}

// OK is refused, naming both servers, while two monitored names would be one
// file on Windows; once one is renamed it ends the dialog.
TEST(SelectionDialog, OkRefusesServersThatWouldShareTheirFiles) {
    const struct {
        const char* discovered;
        const char* typed;  // the name of a server added with "&New"
        bool clash;
    } ROWS[] = {
        {"ORCL", "orcl", true},
        {"caf\xE9", "CAF\xC9", true},
        {"GRP\\SALES", "grp\\sales", true},
        {"ORCL", "ORCL2", false},
        {"GRP\\SALES", "GRP\\SALES\\X", false},
    };
    for (const auto& row : ROWS) {
        SCOPED_TRACE(row.typed);
        OracleMachine machine({{row.discovered, "", "C:\\oracle", "9.2"}});
        CMonitoredSet monitored;
        TypingView view;
        CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
        dialog.SetView(&view);
        ASSERT_TRUE(dialog.OnInitDialog());
        view.Available().SetCurSel(0);
        dialog.OnAddToMonitor();
        view.typed = {{IDC_SERVER_NAME, row.typed}};
        dialog.OnNewServer();
        ASSERT_EQ(monitored.Count(Family::Oracle), 2);
        EXPECT_EQ(dialog.OnOK(), !row.clash);
        if (!row.clash) continue;
        ASSERT_EQ(view.Messages().size(), 1u);
        EXPECT_EQ(view.Messages()[0], std::string("The servers '") + row.discovered + "' and '" + row.typed +
                                          "' would share their files: Windows does not tell the names apart");
        monitored.At(1, Family::Oracle)->SetServerName("OTHER");
        EXPECT_TRUE(dialog.OnOK());
    }
}

// Before it writes anything, the writer refuses two servers with the same files
// and a value that cannot reach them; a name that leads out is counted as left out.
TEST(Generation, WritesNothingForAClashOrARefusedValueAndCountsServersLeftOut) {
    const struct {
        std::vector<std::string> names;
        const char* login;
        const char* said;  // the start of what the console says; null: generated
        int left_out;
    } ROWS[] = {
        {{"ORCL", "orcl"}, "sa", "The servers 'ORCL' and 'orcl' would share their files", 0},
        {{"d\\S", "d.\\S"}, "sa", "The servers 'd\\S' and 'd.\\S' would share their files", 0},
        {{"A", "a "}, "sa", "The servers 'A' and 'a ' would share their files", 0},
        {{"ORCL"}, "sa\r\nSTART calc", "The server 'ORCL' cannot be configured: its Login: it holds a control", 0},
        {{"ORCL", "..\\evil"}, "sa", nullptr, 1},
        {{"ORCL", "SALES"}, "sa", nullptr, 0},
    };
    for (const auto& row : ROWS) {
        SCOPED_TRACE(row.names.back());
        TempDir temp;
        ScopedCwd cwd(temp.path());
        const std::string etc = temp.file("etc");
        std::filesystem::create_directory(etc);
        CInstallParams params;
        params.SetStored("ETCPATH", etc.c_str());
        CMonitoredSet set;
        for (const std::string& name : row.names) {
            auto entry = std::make_unique<CMonitoredServer>();
            entry->SetServerName(name.c_str());
            entry->SetLogin(row.login);
            set.Add(std::move(entry), Family::Sybase);
        }
        CReport console;
        CConfigurationWriter writer(params, set, console);
        testing::internal::CaptureStdout();
        const GenerationResult result = writer.GenerateConfiguration();
        const std::string said = testing::internal::GetCapturedStdout();
        if (row.said) {
            EXPECT_TRUE(said.starts_with(row.said)) << said;
            EXPECT_TRUE(said.ends_with("; nothing was configured\n")) << said;
            EXPECT_EQ(result.outcome, GenerationResult::NOTHING_CONFIGURED);
            EXPECT_TRUE(std::filesystem::is_empty(etc));
        } else {
            EXPECT_EQ(result.outcome, GenerationResult::CONFIGURED) << said;
            EXPECT_EQ(result.servers_left_out, row.left_out);
            EXPECT_FALSE(std::filesystem::is_empty(etc));
        }
    }
}
