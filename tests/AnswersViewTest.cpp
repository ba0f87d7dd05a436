// The answers-file view: the documented format played through the dialog
// handlers, and one message naming the file and line for every fault.
#include "views/AnswersView.h"
#include "views/AnswersTemplate.h"

#include <gtest/gtest.h>

#include "DialogFakes.h"
#include "dialogs/SelectionDialog.h"
#include "TestSupport.h"

namespace {

using namespace tavtest;

// Plays answers over a machine: the title, the result, the failure's line, the notes on
// standard output, the id of a record on the error stream and the monitored set, passwords decoded.
template <typename Run>
std::string Play(const std::string& title, const Found& found, Run run) {
    OracleMachine machine(found);
    CMonitoredSet monitored;
    CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
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

}  // namespace

// Files named by path (the bundled example, files whose bytes matter,
// one that is not there), then each case of answers_cases.txt ("=== title"
// starts one), against the golden report.
TEST(AnswersPlay, FilesAndCasesLeaveTheirGoldenResults) {
    ScopedCwd fixtures(std::string(TAV_TEST_DATA) + "/fixtures/dialogs");
    std::string report;
    CReport channels;
    for (const char* name : {"../../../examples/answers.txt", "answers_crlf.txt", "answers_nul.txt", "missing.txt"})
        report += Play(name, {ORCL, SALES}, [name, &channels](CServerSelectDlg& dialog) {
            return tavview::RunAnswersSelectDialog(dialog, name, channels);
        });
    const std::string cases = ReadBinary("answers_cases.txt");
    for (size_t at = cases.find("\n=== "), body, next; at != std::string::npos; at = next) {
        body = cases.find('\n', at + 1), next = cases.find("\n=== ", body);
        const std::string title = cases.substr(at + 5, body - at - 5);
        const std::string text = cases.substr(body + 1, next == std::string::npos ? next : next - body);
        const Found found = title.find("nothing discovered") == std::string::npos ? Found{ORCL, SALES} : Found{};
        report += Play(title, found, [&text, &channels](CServerSelectDlg& dialog) {
            return tavview::RunAnswersSelectText(dialog, text, "answers.txt", channels);
        });
    }
    EXPECT_EQ(report, ReadBinary("../../golden/dialogs/answers_cases.txt"));
}

// The names a section header cannot carry unchanged; the template leaves such servers out.
TEST(AnswersPlay, NamesASectionCannotCarry) {
    for (const char* name : {"", " ORCL", "ORCL ", "OR\tCL", "OR\x7f", "*"})
        EXPECT_NE(tavview::NameOutOfReach(name), nullptr) << name;
    for (const char* name : {"ORCL", "O R", "**", "MSSQL$SALES"})
        EXPECT_EQ(tavview::NameOutOfReach(name), nullptr) << name;
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
