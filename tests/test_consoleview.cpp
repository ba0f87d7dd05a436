// The console view on a pseudo-terminal, and where the POSIX dialog host runs
// the selection dialog. POSIX only: the Windows build shows Win32 dialogs.
#ifndef _WIN32

#include "platform/AnswersView.h"
#include "platform/ConsoleView.h"
#include "platform/DialogViews.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "dialog_fakes.h"
#include "dialogs/tavixlst.h"
#include "generate/tavixdcl.h"
#include "password/tavencry.h"
#include "tav_testutil.h"

namespace {

const tavtest::ServerFields ORCL = {"ORCL", "OracleServiceORCL", "C:\\oracle\\admin\\ORCL\\bdump\\alert_orcl.log",
                                    "C:\\oracle\\ora92", "9.2.0.1.0"};
const tavtest::ServerFields SALES = {"SALES", "OracleServiceSALES", "", "C:\\oracle\\product\\10.1.0\\db_1",
                                     "10.1.0.2.0"};

// Guards against a hung child only; no result depends on it.
constexpr int HANG_GUARD_MS = 30000;

// A child process whose terminal is the pseudo-terminal's slave side; the
// test talks to it as a person at the keyboard would.
class Terminal {
public:
    explicit Terminal(const std::function<int()>& child) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            const int code = child();
            std::fflush(nullptr);
            _exit(code);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }
    bool Started() const { return pid_ > 0; }

    // Reads until text has appeared after the previous match.
    bool Expect(const std::string& text) {
        for (;;) {
            const size_t found = transcript_.find(text, mark_);
            if (found != std::string::npos) {
                mark_ = found + text.size();
                return true;
            }
            if (!ReadSome())
                return false;
        }
    }
    void Type(const std::string& line) {
        const std::string bytes = line + "\n";
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void EndOfInput() { ASSERT_EQ(write(master_, "\x04", 1), 1); }

    // Reads to the end and returns the child's exit code.
    int Finish() {
        while (ReadSome()) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Transcript() const { return transcript_; }

private:
    bool ReadSome() {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, HANG_GUARD_MS) <= 0)
            return false;
        char buffer[512];
        const ssize_t got = read(master_, buffer, sizeof buffer);
        if (got <= 0)
            return false;  // EIO once the child has closed the slave side
        transcript_.append(buffer, static_cast<size_t>(got));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string transcript_;
    size_t mark_ = 0;
};

// The child: runs the console dialog and reports the result and the monitored set.
int RunAndReport(tavtest::OracleMachine& machine, CInstallParams& params, const char* expectPassword) {
    CServerSelectDlg dialog(FAMILY_ORACLE, machine.servers, params);
    long lastError = -1;
    const int result = tavplat::RunConsoleSelectDialog(dialog, stdin, stdout, &lastError);
    std::printf("RESULT %d %ld\n", result, lastError);
    for (int i = 0; i < params.GetMonitoredCount(FAMILY_ORACLE); ++i) {
        const CMonitoredServer* entry = params.GetMonitoredAt(i, FAMILY_ORACLE);
        const char* clear = decode_password(entry->GetPassword().c_str(), entry->GetLogin().c_str(),
                                            entry->GetServerName().c_str(), nullptr);
        std::printf("ENTRY %s login=%s home=%s password=%s\n", entry->GetServerName().c_str(),
                    entry->GetLogin().c_str(), entry->GetDollarServer().c_str(),
                    clear && std::string(clear) == expectPassword ? "as-typed" : "other");
    }
    return 0;
}

}  // namespace

TEST(ConsoleView, AddEditsPropertiesWithoutEchoingThePassword) {
    tavtest::OracleMachine machine({SALES, ORCL});
    CInstallParams params;
    Terminal terminal([&] { return RunAndReport(machine, params, "s3cret"); });
    ASSERT_TRUE(terminal.Started());
    ASSERT_TRUE(terminal.Expect("Database Servers Available:"));
    ASSERT_TRUE(terminal.Expect("1  ORCL"));
    ASSERT_TRUE(terminal.Expect("2  SALES"));
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.Type("add 1");
    ASSERT_TRUE(terminal.Expect("Server Name [ORCL]: "));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("Login [wicket]: "));
    terminal.Type("tavmon");
    ASSERT_TRUE(terminal.Expect("Password [******]: "));
    terminal.Type("s3cret");
    ASSERT_TRUE(terminal.Expect("Database Version [9.2.0.1.0]: "));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("Home Directory [C:\\oracle\\ora92]: "));
    terminal.Type("-");
    ASSERT_TRUE(terminal.Expect("Error Log File ["));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("OK or Cancel? [ok]: "));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("Servers to Monitor:"));
    ASSERT_TRUE(terminal.Expect("1  ORCL"));
    ASSERT_TRUE(terminal.Expect("Database Servers Available:"));
    ASSERT_TRUE(terminal.Expect("1  SALES"));
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.Type("ok");
    EXPECT_EQ(terminal.Finish(), 0);
    const std::string& text = terminal.Transcript();
    EXPECT_NE(text.find("RESULT 1 0"), std::string::npos) << text;
    EXPECT_NE(text.find("ENTRY ORCL login=tavmon home= password=as-typed"), std::string::npos) << text;
    EXPECT_NE(text.find("tavmon"), std::string::npos);     // typed text is echoed
    EXPECT_EQ(text.find("s3cret"), std::string::npos) << text;  // the password is not
}

TEST(ConsoleView, RefusedPasswordKeepsTheDialogOpenAndEndOfInputCancels) {
    tavtest::OracleMachine machine({ORCL});
    CInstallParams params;
    Terminal terminal([&] { return RunAndReport(machine, params, "short"); });
    ASSERT_TRUE(terminal.Started());
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.Type("new");
    ASSERT_TRUE(terminal.Expect("Server Name [New_Server]: "));
    terminal.Type("REMOTE");
    ASSERT_TRUE(terminal.Expect("Login [wicket]: "));
    terminal.Type("-");
    ASSERT_TRUE(terminal.Expect("Password [******]: "));
    terminal.Type(std::string(50, 'x'));
    for (const char* prompt : {"Database Version []: ", "Home Directory []: ", "Error Log File []: "}) {
        ASSERT_TRUE(terminal.Expect(prompt));
        terminal.Type("");
    }
    ASSERT_TRUE(terminal.Expect("OK or Cancel? [ok]: "));
    terminal.Type("maybe");
    ASSERT_TRUE(terminal.Expect("Answer ok or cancel."));
    terminal.Type("ok");
    ASSERT_TRUE(terminal.Expect("longer than 49 characters"));
    ASSERT_TRUE(terminal.Expect("Server Name [REMOTE]: "));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("Login []: "));
    terminal.Type("");
    ASSERT_TRUE(terminal.Expect("Password [" + std::string(50, '*') + "]: "));
    terminal.Type("short");
    for (const char* prompt : {"Database Version []: ", "Home Directory []: ", "Error Log File []: "}) {
        ASSERT_TRUE(terminal.Expect(prompt));
        terminal.Type("");
    }
    ASSERT_TRUE(terminal.Expect("OK or Cancel? [ok]: "));
    terminal.Type("o");
    ASSERT_TRUE(terminal.Expect("No Login ID entered, using default login ID"));
    ASSERT_TRUE(terminal.Expect("1  REMOTE"));
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.EndOfInput();
    EXPECT_EQ(terminal.Finish(), 0);
    const std::string& text = terminal.Transcript();
    EXPECT_NE(text.find("RESULT 2 0"), std::string::npos) << text;
    EXPECT_NE(text.find("ENTRY REMOTE login= home= password=as-typed"), std::string::npos) << text;
}

TEST(ConsoleView, BadCommandsAreExplainedAndRemoveNeedsDiscoveredServers) {
    tavtest::OracleMachine machine({});
    CInstallParams params;
    Terminal terminal([&] { return RunAndReport(machine, params, "wicket"); });
    ASSERT_TRUE(terminal.Started());
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.Type("add 1");
    ASSERT_TRUE(terminal.Expect("\"Database Servers Available\" is empty."));
    terminal.Type("frob");
    ASSERT_TRUE(terminal.Expect("Unknown command \"frob\""));
    terminal.Type("new");
    ASSERT_TRUE(terminal.Expect("Server Name [New_Server]: "));
    for (int answer = 0; answer < 7; ++answer)  // six fields and OK
        terminal.Type("");
    ASSERT_TRUE(terminal.Expect("1  New_Server"));
    terminal.Type("edit 2");
    ASSERT_TRUE(terminal.Expect("Give the number of a server in \"Servers to Monitor\" (1 to 1)."));
    terminal.Type("remove 1");
    ASSERT_TRUE(terminal.Expect("\">>\" is disabled"));
    terminal.Type("edit 1");
    for (const char* prompt : {"Server Name [New_Server]: ", "Login [wicket]: ", "Password [******]: ",
                               "Database Version []: ", "Home Directory []: ", "Error Log File []: "}) {
        ASSERT_TRUE(terminal.Expect(prompt));
        terminal.Type(prompt[0] == 'H' ? "D:\\typed" : "");
    }
    ASSERT_TRUE(terminal.Expect("OK or Cancel? [ok]: "));
    terminal.Type("cancel");
    ASSERT_TRUE(terminal.Expect("Command: "));
    terminal.Type("CANCEL");
    EXPECT_EQ(terminal.Finish(), 0);
    EXPECT_NE(terminal.Transcript().find("RESULT 2 0"), std::string::npos) << terminal.Transcript();
    EXPECT_NE(terminal.Transcript().find("ENTRY New_Server login=wicket home= password=as-typed"),
              std::string::npos);
}

TEST(DialogHost, WithoutTerminalOrAnswersTheDialogFailsToShow) {
    tavtest::ScopedEnv noAnswers(tavplat::ANSWERS_VARIABLE, nullptr);
    int errors[2];
    ASSERT_EQ(pipe(errors), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(errors[1], 2);
        tavtest::OracleMachine machine({ORCL});
        CInstallParams params;
        CServerSelectDlg dialog(FAMILY_ORACLE, machine.servers, params);
        long lastError = 0;
        const int result = tavplat::RunSelectDialog(dialog, &lastError);
        _exit(result == -1 && lastError == ENOTTY && params.GetMonitoredCount(FAMILY_ORACLE) == 0 ? 0 : 1);
    }
    close(errors[1]);
    std::string message;
    char buffer[256];
    ssize_t got;
    while ((got = read(errors[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<size_t>(got));
    close(errors[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(message.find("standard input is not a terminal"), std::string::npos) << message;
    EXPECT_NE(message.find("TAVNOVU_ANSWERS"), std::string::npos);
}

TEST(DialogHost, AnswersFileIsPlayedWhenNamed) {
    tavtest::TempDir dir;
    const std::string path = dir.file("answers.txt");
    tavtest::WriteFile(path, "[monitor sales]\n[cancel]\n");
    tavtest::ScopedEnv answers(tavplat::ANSWERS_VARIABLE, path.c_str());
    tavtest::OracleMachine machine({ORCL, SALES});
    CInstallParams params;
    CServerSelectDlg dialog(FAMILY_ORACLE, machine.servers, params);
    long lastError = 0;
    EXPECT_EQ(tavplat::RunSelectDialog(dialog, &lastError), DIALOG_CANCEL);
    ASSERT_EQ(params.GetMonitoredCount(FAMILY_ORACLE), 1);
    EXPECT_EQ(params.GetMonitoredAt(0, FAMILY_ORACLE)->GetServerName(), "SALES");
}

#endif  // !_WIN32
