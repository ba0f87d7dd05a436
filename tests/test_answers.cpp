// The answers-file view: the documented format played through the dialog
// handlers, and one message naming the file and line for every fault.
#include "views/AnswersView.h"

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include "dialog_fakes.h"
#include "dialogs/tavixlst.h"
#include "tav_testutil.h"

namespace {

using namespace tavtest;

const std::string DATA = TAV_TEST_DATA;

// What the view sends to the report's console.
struct ConsoleRecord : CReport {
    std::string console;
    void Console(std::string_view text) override { console += text; }
};

// Plays answers over a machine; Report() tells the result, the failure's line,
// the console notes and the monitored set with each password decoded.
struct AnswersRun {
    OracleMachine machine;
    CInstallParams params;
    CServerSelectDlg dialog{FAMILY_ORACLE, machine.servers, params};
    ConsoleRecord report;
    Status failure;
    int result = 0;
    std::string printed;  // what reached the streams past the report

    explicit AnswersRun(const Found& found = {ORCL, SALES}) : machine(found) {}

    void Text(const std::string& text, const std::string& name = "answers.txt") {
        Captured([&] { return tavview::RunAnswersSelectText(dialog, text, name.c_str(), report, &failure); });
    }
    void Captured(const std::function<int()>& run) {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        result = run();
        printed = testing::internal::GetCapturedStdout();
        printed += testing::internal::GetCapturedStderr();
    }
    std::string Report() {
        EXPECT_EQ(printed, "");
        return "result " + std::to_string(result) + ", error " + std::to_string(failure.code != 0) + "\n" +
               (failure.text.empty() ? "" : failure.text + "\n") + report.console + MonitoredSet(params);
    }
};

}  // namespace

// The bundled example, files whose bytes matter, then each case of
// fixtures/dialogs/answers_cases.txt ("=== title" starts one), against the
// golden report.
TEST(AnswersPlay, FilesAndCasesLeaveTheirGoldenResults) {
    std::string report;
    for (const char* name : {"../../../examples/answers.txt", "answers_crlf.txt", "answers_nul.txt"}) {
        AnswersRun run;
        run.Text(ReadFile(DATA + "/fixtures/dialogs/" + name), name);
        report += "=== " + std::string(name) + "\n" + run.Report();
    }
    const std::string cases = ReadFile(DATA + "/fixtures/dialogs/answers_cases.txt");
    for (size_t at = cases.find("\n=== "); at != std::string::npos;) {
        const size_t body = cases.find('\n', at + 1), next = cases.find("\n=== ", body);
        const std::string title = cases.substr(at + 5, body - at - 5);
        AnswersRun run(title.find("nothing discovered") == std::string::npos ? Found{ORCL, SALES} : Found{});
        run.Text(cases.substr(body + 1, next == std::string::npos ? next : next - body));
        report += "=== " + title + "\n" + run.Report();
        at = next;
    }
    EXPECT_EQ(report, ReadFile(DATA + "/golden/dialogs/answers_cases.txt"));
}

TEST(AnswersFaults, UnreadableFileIsNamed) {
    AnswersRun run;
    const std::string path = DATA + "/fixtures/dialogs/missing.txt";
    run.Captured([&] { return tavview::RunAnswersSelectDialog(run.dialog, path.c_str(), run.report, &run.failure); });
    EXPECT_EQ(run.result, -1);
    EXPECT_NE(run.failure.code, 0);
    EXPECT_EQ(run.failure.text.rfind(path + ": cannot read the answers file", 0), 0u) << run.failure.text;
}
