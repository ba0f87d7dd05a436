// The selection dialog on POSIX through a pseudo-terminal: the console view
// played as a person at the keyboard would, and the other views' turns.
#ifndef _WIN32

#include "views/DialogViews.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "dialog_fakes.h"
#include "dialogs/tavixlst.h"
#include "views/AnswersView.h"

namespace {

using namespace tavtest;

const std::string FIXTURES = std::string(TAV_TEST_DATA) + "/fixtures/dialogs/";

// Reads the terminal into transcript until text shows after mark (no text: to
// the end); false when the child stops first. The poll only guards against a
// hung child.
bool ReadUntil(int terminal, std::string& transcript, size_t& mark, const std::string& text) {
    char buffer[512];
    for (ssize_t got; text.empty() || transcript.find(text, mark) == std::string::npos;) {
        pollfd ready{terminal, POLLIN, 0};
        if (poll(&ready, 1, 30000) <= 0 || (got = read(terminal, buffer, sizeof buffer)) <= 0)
            return false;  // EIO once the child has closed the terminal
        transcript.append(buffer, static_cast<size_t>(got));
    }
    mark = transcript.find(text, mark) + text.size();
    return true;
}

// Runs the dialog as the host does, in a child on a pseudo-terminal after
// setup, and plays fixtures/dialogs/SCRIPT at it: "< text" waits for the text,
// "> line" types the line, "^D" ends the input, "! text" has not shown so far.
// At the end the child prints the result and the monitored set.
void Play(const char* script, const Found& found, void (*setup)() = nullptr) {
    std::ifstream lines(FIXTURES + script);
    ASSERT_TRUE(lines.is_open()) << script;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        unsetenv(tavview::ANSWERS_VARIABLE);
        if (setup)
            setup();
        OracleMachine machine(found);
        CInstallParams params;
        CServerSelectDlg dialog(FAMILY_ORACLE, machine.servers, params);
        Status failure;
        const int result = tavview::RunSelectDialog(dialog, StandardReport(), &failure);
        if (!failure.text.empty())
            StandardReport().Error(failure.text + "\n");  // as the setup run shows it
        std::printf("RESULT %d %ld, %d monitored\n%s", result, failure.code, params.GetMonitoredCount(FAMILY_ORACLE),
                    MonitoredSet(params).c_str());
        std::fflush(nullptr);
        _exit(0);
    }
    std::string transcript, line;
    size_t mark = 0;
    while (std::getline(lines, line)) {
        const std::string text = line.size() > 2 ? line.substr(2) : "";
        if (line[0] == '<' && !ReadUntil(terminal, transcript, mark, text)) {
            ADD_FAILURE() << script << ": never showed \"" << text << "\"\n" << transcript;
            kill(pid, SIGKILL);
            break;
        }
        EXPECT_TRUE(line[0] != '!' || transcript.find(text) == std::string::npos) << script << " showed " << text;
        const std::string typed = line[0] == '>' ? text + "\n" : line == "^D" ? "\x04" : "";
        EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }
    ReadUntil(terminal, transcript, mark, "");
    int status = -1;
    waitpid(pid, &status, 0);
    close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << transcript;
}

}  // namespace

TEST(ConsoleView, ScriptsPlayedAtTheKeyboard) {
    Play("console_add.txt", {SALES, ORCL});  // the password not echoed
    Play("console_refused.txt", {ORCL});      // the dialog kept open; end of input cancels
    Play("console_commands.txt", {});         // bad commands explained; ">>" disabled
}

TEST(DialogHost, WithoutTerminalTheAnswersFileOrNothing) {
    Play("host_answers.txt", {ORCL, SALES},
         [] { setenv(tavview::ANSWERS_VARIABLE, (FIXTURES + "answers_cancel.txt").c_str(), 1); });
    Play("host_no_terminal.txt", {ORCL}, [] {
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(1, 2);
    });
}

#endif  // !_WIN32
