// The answers-file view: the documented format played through the dialog
// handlers, and one message naming the file and line for every fault.
#include "views/AnswersView.h"
#include "views/AnswersPattern.h"
#include "views/AnswersTemplate.h"

#include <gtest/gtest.h>

#include "DialogFakes.h"
#include "dialogs/SelectionDialog.h"
#include "platform/Process.h"
#include "TestSupport.h"

namespace {

using namespace tavtest;

const ServerFields ORA10 = {"ORA10", "", "C:\\oracle\\product\\10.2.0\\db_1", "10.2.0.1.0"};
const ServerFields ORA11 = {"ORA11", "C:\\oracle\\diag\\ORA11\\alert.log", "C:\\oracle\\product\\11.1.0\\db_1",
                            "11.1.0.6.0"};
const Found FLEET = {ORCL, SALES, ORA10, ORA11};

// Plays answers over a machine: the title, the result, the failure's line, the notes on
// standard output, the id of a record on the error stream and the monitored set, passwords decoded.
template <typename Run>
std::string Play(const std::string& title, CDbServerList& servers, Run run) {
    CMonitoredSet monitored;
    CServerSelectDlg dialog(Family::Oracle, servers, monitored);
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const tavview::SelectOutcome ended = run(dialog);
    const Status& failure = ended.failure;
    const std::string console = testing::internal::GetCapturedStdout(), record = testing::internal::GetCapturedStderr();
    const std::string error = failure.text.empty() ? "" : failure.text + "\n";
    return "=== " + title + "\nresult " + std::to_string(ended.result) + ", error " +
           std::to_string(failure.code != 0) + "\n" + error + console +
           (record.empty() ? "" : "record " + record.substr(0, record.find(' ')) + "\n") + MonitoredSet(monitored);
}

// A fleet's machine: ORCL's service runs, SALES's is stopped, ORA10 has none
// and nobody knows the state of ORA11's.
void GiveFleetServices(CDbServerList& servers) {
    using tavplat::ServiceState;
    const std::pair<const char*, ServiceState> SERVICES[] = {
        {"ORCL", ServiceState::Running}, {"SALES", ServiceState::Stopped}, {"ORA11", ServiceState::Unknown}};
    for (const auto& [name, state] : SERVICES)
        for (int i = 0; i < servers.GetCount(Family::Oracle); ++i)
            if (CDbServer* server = servers.GetAt(i, Family::Oracle); server->GetServerName() == name)
                server->SetService(
                    ServerService{std::string("OracleService") + name, {tavplat::ServiceStart::Automatic, state}});
}

// Plays each case of a cases file ("=== title" starts one) over a fresh
// machine that found those servers, with the fleet's services, or nothing
// when the title says so.
std::string PlayCases(const char* file, const Found& found) {
    const std::string cases = ReadBinary(file);
    std::string report;
    CReport channels;
    for (size_t at = cases.find("\n=== "), body, next; at != std::string::npos; at = next) {
        body = cases.find('\n', at + 1), next = cases.find("\n=== ", body);
        const std::string title = cases.substr(at + 5, body - at - 5);
        const std::string text = cases.substr(body + 1, next == std::string::npos ? next : next - body);
        OracleMachine machine(title.find("nothing discovered") == std::string::npos ? found : Found{});
        GiveFleetServices(machine.servers);
        report += Play(title, machine.servers, [&text, &channels](CServerSelectDlg& dialog) {
            return tavview::RunAnswersSelectText(dialog, text, "answers.txt", channels);
        });
    }
    return report;
}

constexpr const char* FLEET_PASSWORD = "Fl33t env#1";
constexpr const char* FLEET_LONG = "L0ngFl33tPasswordL0ngFl33tPasswordL0ngFl33tPasswor";  // 50 characters
constexpr const char* FLEET_NOT_ASCII = "Fl33t caf\xe9";
constexpr const char* FLEET_TAB = "Fl33t\ttab";

// The variables the fleet cases name; TAV_FLEET_UNSET stays unset.
struct FleetVariables {
    FleetVariables() {
        static std::string assignments[] = {
            std::string("TAV_FLEET_PASSWORD=") + FLEET_PASSWORD, std::string("TAV_FLEET_LONG=") + FLEET_LONG,
            std::string("TAV_FLEET_ASCII=") + FLEET_NOT_ASCII, std::string("TAV_FLEET_TAB=") + FLEET_TAB};
        for (std::string& assignment : assignments)
            EXPECT_EQ(tavplat::PutEnvironment(assignment.data()), 0) << assignment;
        EXPECT_FALSE(tavplat::EnvironmentValue("TAV_FLEET_UNSET"));
    }
};

// Every channel's lines, kept.
struct RecordingReport : CReport {
    std::string lines;
    void Console(std::string_view text) override { lines += text; }
    void ConsoleAndLog(std::string_view text) override { lines += text; }
    void LogOnly(std::string_view text) override { lines += text; }
    void Error(std::string_view text) override { lines += text; }
};

}  // namespace

// Files named by path (the bundled example, files whose bytes matter,
// one that is not there), then each case of answers_cases.txt ("=== title"
// starts one), against the golden report.
TEST(AnswersPlay, FilesAndCasesLeaveTheirGoldenResults) {
    ScopedCwd fixtures(std::string(TAV_TEST_DATA) + "/fixtures/dialogs");
    std::string report;
    CReport channels;
    for (const char* name : {"../../../examples/answers.txt", "answers_crlf.txt", "answers_nul.txt", "missing.txt"}) {
        OracleMachine machine({ORCL, SALES});
        report += Play(name, machine.servers, [name, &channels](CServerSelectDlg& dialog) {
            return tavview::RunAnswersSelectDialog(dialog, name, channels);
        });
    }
    EXPECT_EQ(report + PlayCases("answers_cases.txt", {ORCL, SALES}),
              ReadBinary("../../golden/dialogs/answers_cases.txt"));
}

// Answers for fleets: name patterns, the services' states and passwords from
// the environment, over a machine whose servers have services in different states.
TEST(AnswersPlay, FleetCasesLeaveTheirGoldenResults) {
    ScopedCwd fixtures(std::string(TAV_TEST_DATA) + "/fixtures/dialogs");
    FleetVariables variables;
    EXPECT_EQ(PlayCases("answers_fleet.txt", FLEET), ReadBinary("../../golden/dialogs/answers_fleet.txt"));
}

// The password from the environment reaches the monitored entry alone: not
// the console, the log, the error stream nor the message of a file refused.
TEST(AnswersPlay, APasswordFromTheEnvironmentIsNeverShown) {
    FleetVariables variables;
    struct Case {
        const char* variable;
        const char* value;
        bool played;
    };
    const Case CASES[] = {
        {"TAV_FLEET_PASSWORD", FLEET_PASSWORD, true},
        {"TAV_FLEET_LONG", FLEET_LONG, false},      // the properties dialog refuses it
        {"TAV_FLEET_ASCII", FLEET_NOT_ASCII, false},  // refused, and a record goes to the error stream
        {"TAV_FLEET_TAB", FLEET_TAB, false},          // refused before the dialog opens
    };
    for (const Case& c : CASES) {
        // SALES is left out with a line on the console, ORCL gets the password.
        const std::string text = std::string("[monitor *]\nstate = running\n[monitor SALES]\nstate = running\n"
                                             "[monitor ORA1?]\npassword_env = ") + c.variable + "\n";
        OracleMachine machine(FLEET);
        GiveFleetServices(machine.servers);
        CMonitoredSet monitored;
        CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
        RecordingReport channels;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        const tavview::SelectOutcome ended = tavview::RunAnswersSelectText(dialog, text, "answers.txt", channels);
        const std::string shown = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr() +
                                  channels.lines + ended.failure.text;
        EXPECT_EQ(ended.result >= 0, c.played) << c.variable << ": " << ended.failure.text;
        EXPECT_NE(channels.lines.find("Server 'SALES' left out"), std::string::npos) << c.variable;
        EXPECT_EQ(shown.find(c.value), std::string::npos) << c.variable << " shown in: " << shown;
        if (c.played)
            EXPECT_NE(MonitoredSet(monitored).find(std::string("password=") + c.value), std::string::npos);
        else
            EXPECT_NE(ended.failure.text.find(c.variable), std::string::npos) << ended.failure.text;
    }
}

// Patterns match the whole name, ASCII letters without case; "*" may take
// nothing or a run that a later character of the pattern also matches.
TEST(AnswersPlay, NamePatternsMatchWholeNames) {
    const struct {
        const char *pattern, *name;
        bool matches;
    } CASES[] = {
        {"*", "", true},          {"*", "ORCL", true},     {"ora*", "ORA10", true},  {"ora*", "ORCL", false},
        {"?RCL", "ORCL", true},   {"?RCL", "RCL", false},  {"ORC?", "ORCL1", false}, {"*1", "ORA11", true},
        {"*A*1", "ORA11", true},  {"*A*2", "ORA11", false}, {"O*R*L", "ORCL", true}, {"*?*", "", false},
        {"MSSQL$*", "mssql$sales", true}, {"SAL?S", "sales", true}, {"S*S", "S", false},
    };
    for (const auto& c : CASES)
        EXPECT_EQ(tavview::MatchesNamePattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
}

// The names a section header cannot carry unchanged; the template leaves such servers out.
TEST(AnswersPlay, NamesASectionCannotCarry) {
    for (const char* name : {"", " ORCL", "ORCL ", "OR\tCL", "OR\x7f", "*"})
        EXPECT_NE(tavview::NameOutOfReach(name), nullptr) << name;
    for (const char* name : {"ORCL", "O R", "MSSQL$SALES"})
        EXPECT_EQ(tavview::NameOutOfReach(name), nullptr) << name;
    // A name with "*" or "?" would be played as a pattern.
    for (const char* name : {"**", "ORA*", "OR?L"})
        EXPECT_NE(tavview::NameOutOfReach(name), nullptr) << name;
}

// The template names a server only where playing the file would reach that
// very server: not a second one with equal texts, nor one whose name an
// earlier server left out still holds.
TEST(AnswersTemplate, ListsEachServerThePlayWouldReachOnce) {
    const ServerFields orcl9 = {"orcl", "", "C:\\oracle\\ora9", "9.0.1"};
    const ServerFields blank = {" ORCL", "", "", ""};
    const std::pair<Found, const char*> CASES[] = {
        {{ORCL, SALES}, "ORCL SALES"},
        {{ORCL, ORCL, SALES}, "ORCL (once more) SALES"},
        {{ORCL, ORCL, orcl9, SALES}, "ORCL (once more) (left out) SALES"},
        {{orcl9, ORCL}, "orcl (same files)"},
        {{blank, ORCL}, "(name) ORCL"},
        {{}, ""},
    };
    for (const auto& [found, expected] : CASES) {
        OracleMachine machine(found);
        const std::string text = tavview::AnswersTemplate(machine.servers, Family::Oracle, "HOST");
        std::string listed;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos && at + 1 < text.size();) {
            const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
            ++at;
            if (line.starts_with("[monitor ")) listed += line.substr(9, line.size() - 10) + " ";
            else if (line.starts_with("# (it is a server above once more")) listed += "(once more) ";
            else if (line.starts_with("# (the server of that name left out")) listed += "(left out) ";
            else if (line.starts_with("# (the name begins")) listed += "(name) ";
            else if (line.starts_with("# (its files would be those of")) listed += "(same files) ";
        }
        EXPECT_EQ(listed, found.empty() ? "" : std::string(expected) + " ") << text;
    }
}
