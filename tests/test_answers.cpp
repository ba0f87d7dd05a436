// The answers-file view: the documented format, played through the dialog
// handlers, and one clear message naming the file and line for every fault.
#include "platform/AnswersView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "dialog_fakes.h"
#include "dialogs/tavixlst.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"
#include "tav_testutil.h"

namespace {

const tavtest::ServerFields ORCL = {"ORCL", "OracleServiceORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log",
                                    "C:\\oracle\\ora92", "9.2.0.1.0"};
const tavtest::ServerFields SALES = {"SALES", "OracleServiceSALES", "C:\\oracle\\admin\\SALES\\bdump\\alert_sales.log",
                                     "C:\\oracle\\product\\10.1.0\\db_1", "10.1.0.2.0"};

const std::vector<tavtest::ServerFields> NOTHING_FOUND;

struct AnswersRun {
    tavtest::OracleMachine machine;
    CInstallParams params;
    CServerSelectDlg dialog;
    long last_error = 0;
    std::string errors;
    std::string output;

    explicit AnswersRun(const std::vector<tavtest::ServerFields>& found = {ORCL, SALES})
        : machine(found), dialog(FAMILY_ORACLE, machine.servers, params) {}

    int Text(const std::string& text) {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        const int result = tavplat::RunAnswersSelectText(dialog, text, "answers.txt", &last_error);
        output = testing::internal::GetCapturedStdout();
        errors = testing::internal::GetCapturedStderr();
        return result;
    }
    int File(const std::string& path) {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        const int result = tavplat::RunAnswersSelectDialog(dialog, path.c_str(), &last_error);
        output = testing::internal::GetCapturedStdout();
        errors = testing::internal::GetCapturedStderr();
        return result;
    }
    int Count() { return params.GetMonitoredCount(FAMILY_ORACLE); }
    CMonitoredServer* Named(const std::string& name) {
        for (int i = 0; i < Count(); ++i)
            if (params.GetMonitoredAt(i, FAMILY_ORACLE)->GetServerName() == name)
                return params.GetMonitoredAt(i, FAMILY_ORACLE);
        return nullptr;
    }
};

std::string Decode(const CMonitoredServer& entry) {
    const char* clear = decode_password(entry.GetPassword().c_str(), entry.GetLogin().c_str(),
                                        entry.GetServerName().c_str(), nullptr);
    return clear ? clear : "(null)";
}

}  // namespace

TEST(AnswersPlay, ExampleFileConfiguresTheOracleMachine) {
    AnswersRun run;
    ASSERT_EQ(run.File(std::string(TAV_TEST_DATA) + "/../examples/answers.txt"), DIALOG_OK) << run.errors;
    EXPECT_EQ(run.errors, "");
    ASSERT_EQ(run.Count(), 3);
    const CMonitoredServer* orcl = run.Named("ORCL");
    ASSERT_NE(orcl, nullptr);
    EXPECT_EQ(orcl->GetServerFamily(), FAMILY_ORACLE);
    EXPECT_EQ(orcl->GetLogin(), "tavmon");
    EXPECT_EQ(Decode(*orcl), "Pr0d#2024");
    EXPECT_EQ(orcl->GetErrorlogName(), ORCL.errorlog);  // not given: discovery's value
    const CMonitoredServer* sales = run.Named("SALES");
    ASSERT_NE(sales, nullptr);
    EXPECT_EQ(sales->GetLogin(), "wicket");
    EXPECT_EQ(Decode(*sales), "s4les pass");
    EXPECT_EQ(sales->GetErrorlogName(), "D:\\oradata\\SALES\\bdump\\alert_sales.log");
    EXPECT_EQ(sales->GetDollarServer(), SALES.home);
    const CMonitoredServer* reports = run.Named("REPORTS");
    ASSERT_NE(reports, nullptr);
    EXPECT_EQ(reports->GetServerFamily(), FAMILY_NEW);
    EXPECT_EQ(reports->GetServerVersion(), "9.2.0.1.0");
    EXPECT_EQ(reports->GetDollarServer(), "D:\\oracle\\ora92");
    EXPECT_EQ(Decode(*reports), "r3ports");
}

TEST(AnswersPlay, MonitorAllTakesEveryServerWithDefaultsWhereUnset) {
    AnswersRun run;
    ASSERT_EQ(run.Text("[monitor *]\nlogin = tavmon\n"), DIALOG_OK) << run.errors;
    ASSERT_EQ(run.Count(), 2);
    for (const char* name : {"ORCL", "SALES"}) {
        const CMonitoredServer* entry = run.Named(name);
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->GetLogin(), "tavmon");
        EXPECT_EQ(Decode(*entry), "wicket");
    }
    AnswersRun none(NOTHING_FOUND);
    EXPECT_EQ(none.Text("[monitor *]\n[ok]\n"), DIALOG_OK);
    EXPECT_EQ(none.Count(), 0);
}

TEST(AnswersPlay, NewServersEditAndRemove) {
    AnswersRun run;
    const char* text =
        "[new]\n"
        "[new]\n"
        "[monitor ORCL]\n"
        "login = sys\n"
        "password = one\n"
        "[edit orcl]\n"
        "login = system\n"
        "[remove ORCL]\n"
        "[monitor ORCL]\n"
        "password = two\n"
        "[edit ORCL]\n"
        "name = PROD\n";
    ASSERT_EQ(run.Text(text), DIALOG_OK) << run.errors;
    ASSERT_EQ(run.Count(), 3);
    EXPECT_EQ(run.params.GetMonitoredAt(0, FAMILY_ORACLE)->GetServerName(), "New_Server");
    EXPECT_EQ(run.params.GetMonitoredAt(1, FAMILY_ORACLE)->GetServerName(), "New_Server");
    const CMonitoredServer* prod = run.Named("PROD");
    ASSERT_NE(prod, nullptr);
    EXPECT_EQ(prod->GetLogin(), "wicket");  // the removed entry's "system" went with it
    EXPECT_EQ(Decode(*prod), "two");        // decoded for the edit, encoded with the new name
}

TEST(AnswersPlay, EndingsAndLineSyntax) {
    AnswersRun cancel;
    EXPECT_EQ(cancel.Text("[monitor ORCL]\n[cancel]\n# done\n\n"), DIALOG_CANCEL);
    EXPECT_EQ(cancel.Count(), 1);  // the handlers changed the set; the driver ignores it

    AnswersRun syntax;
    const std::string text =
        "\xEF\xBB\xBF  ; a comment\r\n"
        "[ MONITOR   orcl ]\r\n"
        "  Password =   \"  padded  \"  \r\n"
        "LOGIN=a=b\r\n"
        "[OK]";
    ASSERT_EQ(syntax.Text(text), DIALOG_OK) << syntax.errors;
    const CMonitoredServer* orcl = syntax.Named("ORCL");
    ASSERT_NE(orcl, nullptr);
    EXPECT_EQ(orcl->GetLogin(), "a=b");
    EXPECT_EQ(Decode(*orcl), "  padded  ");
}

TEST(AnswersPlay, EmptiedFieldsShowTheDialogsMessages) {
    AnswersRun run;
    ASSERT_EQ(run.Text("[monitor SALES]\nlogin =\npassword =\n"), DIALOG_OK) << run.errors;
    EXPECT_NE(run.output.find("No Login ID entered, using default login ID"), std::string::npos);
    EXPECT_NE(run.output.find("No Password entered, using default password"), std::string::npos);
    EXPECT_EQ(run.Named("SALES")->GetLogin(), "");
    EXPECT_EQ(run.Named("SALES")->GetPassword(), "");
}

struct FaultCase {
    std::string text;
    int line;
    const char* says;
};

TEST(AnswersFaults, EachNamesTheFileAndLineAndFailsTheDialog) {
    const FaultCase cases[] = {
        {"[monitor ORCL]\nlogin system\n", 2, "key = value"},
        {"[monitor ORCL]\npasword = x\n", 2, "unknown key \"pasword\""},
        {"login = x\n", 1, "outside a section"},
        {"[install ORCL]\n", 1, "unknown section \"install\""},
        {"[monitor]\n", 1, "needs a server name"},
        {"[edit]\n", 1, "needs the name"},
        {"[monitor ORCL\n", 1, "must end with ']'"},
        {"[ok extra]\n", 1, "takes no name"},
        {"[ok]\n[monitor ORCL]\n", 2, "nothing may follow"},
        {"[remove ORCL]\nlogin = x\n", 2, "takes no values"},
        {"[monitor *]\nname = X\n", 2, "same name"},
        {"[monitor ORCL]\npassword = a\tb\n", 2, "control character"},
        {std::string("[monitor ORCL]\nlogin = a\0b\n", 27), 2, "NUL"},
        {"# servers\n\n[monitor ORCL2]\n", 3, "discovery found no server \"ORCL2\" (available: ORCL, SALES)"},
        {"[monitor ORCL]\n[monitor orcl]\n", 2, "already in \"Servers to Monitor\""},
        {"[edit SALES]\n", 1, "no server \"SALES\" in \"Servers to Monitor\""},
        {"[monitor ORCL]\nlogin = x\npassword = " + std::string(50, 'p') + "\n", 3, "longer than 49"},
    };
    for (const FaultCase& fault : cases) {
        SCOPED_TRACE(fault.text.c_str());
        AnswersRun run;
        EXPECT_EQ(run.Text(fault.text), -1);
        EXPECT_NE(run.last_error, 0);
        const std::string where = "answers.txt:" + std::to_string(fault.line) + ": ";
        EXPECT_EQ(run.errors.rfind(where, 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(fault.says), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
}

TEST(AnswersFaults, SyntaxIsCheckedBeforeAnythingIsPlayed) {
    AnswersRun run;
    EXPECT_EQ(run.Text("[monitor ORCL]\n[monitor SALES]\nbad line\n"), -1);
    EXPECT_EQ(run.Count(), 0);
}

TEST(AnswersFaults, RemoveIsUnavailableWhenNothingWasDiscovered) {
    AnswersRun run(NOTHING_FOUND);
    EXPECT_EQ(run.Text("[new A]\n[remove A]\n"), -1);
    EXPECT_NE(run.errors.find("answers.txt:2: \">>\" is disabled"), std::string::npos) << run.errors;
}

TEST(AnswersFaults, UnreadableFileIsNamed) {
    tavtest::TempDir dir;
    const std::string missing = dir.file("missing.txt");
    AnswersRun run;
    EXPECT_EQ(run.File(missing), -1);
    EXPECT_NE(run.last_error, 0);
    EXPECT_EQ(run.errors.rfind(missing + ": cannot read the answers file", 0), 0u) << run.errors;

    const std::string bad = dir.file("bad.txt");
    tavtest::WriteFile(bad, "[monitor ORCL]\nwhat\n");
    AnswersRun parsed;
    EXPECT_EQ(parsed.File(bad), -1);
    EXPECT_EQ(parsed.errors.rfind(bad + ":2: ", 0), 0u) << parsed.errors;
}
