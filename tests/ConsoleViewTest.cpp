// The selection dialog on POSIX through a pseudo-terminal: the console view
// played as a person at the keyboard would, and the other views' turns.
#ifndef _WIN32

#include "views/DialogViews.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "DialogFakes.h"
#include "dialogs/SelectionDialog.h"
#include "views/AnswersView.h"

namespace {

using namespace tavtest;

// Runs the dialog as the host does, in a child on a pseudo-terminal after setup, and plays
// fixtures/dialogs/SCRIPT at it: "< text" waits for the text, "> line" types the line, "^D" ends
// the input, "! text" has not shown so far. The child ends printing the result and the monitored set.
void Play(const char* script, const Found& found, void (*setup)() = [] {}) {
    SCOPED_TRACE(script);
    std::ifstream lines(std::string(TAV_TEST_DATA) + "/fixtures/dialogs/" + script);
    ASSERT_TRUE(lines.is_open()) << script;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        unsetenv(tavview::ANSWERS_VARIABLE);
        setup();
        OracleMachine machine(found);
        CMonitoredSet monitored;
        CServerSelectDlg dialog(Family::Oracle, machine.servers, monitored);
        CReport report;
        const tavview::SelectOutcome ended = tavview::RunSelectDialog(dialog, report);
        const Status& failure = ended.failure;
        std::printf("%sRESULT %d %ld, %d monitored\n%s", failure.text.empty() ? "" : (failure.text + "\n").c_str(),
                    ended.result, failure.code, monitored.Count(Family::Oracle), MonitoredSet(monitored).c_str());
        std::fflush(nullptr);
        _exit(0);
    }
    std::string transcript, line;
    size_t mark = 0;
    // Reads until text shows after the mark (none: to the end); the poll only guards against a hung child.
    const auto readUntil = [&](const std::string& text) {
        char buffer[512];
        for (ssize_t got; text.empty() || transcript.find(text, mark) == std::string::npos;) {
            pollfd ready{terminal, POLLIN, 0};
            if (poll(&ready, 1, 30000) <= 0 || (got = read(terminal, buffer, sizeof buffer)) <= 0)
                return false;  // EIO once the child has closed the terminal
            transcript.append(buffer, static_cast<size_t>(got));
        }
        mark = transcript.find(text, mark) + text.size();
        return true;
    };
    while (std::getline(lines, line)) {
        const std::string text = line.size() > 2 ? line.substr(2) : "";
        EXPECT_TRUE(line[0] != '<' || readUntil(text)) << script << ": never showed \"" << text << "\"\n" << transcript;
        EXPECT_TRUE(line[0] != '!' || transcript.find(text) == std::string::npos) << script << " showed " << text;
        const std::string typed = line[0] == '>' ? text + "\n" : line == "^D" ? "\x04" : "";
        EXPECT_EQ(write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }
    readUntil("");
    close(terminal);  // a child still waiting for input ends on the hang-up
    int status = -1;
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) << transcript;
}

}  // namespace

// An added server's password unechoed, services' states, a refused entry and the end of input, bad commands,
// a host without a terminal.
TEST(ConsoleView, ScriptsPlayedAtTheKeyboard) {
    using tavplat::ServiceStart, tavplat::ServiceState;
    Play("console_add.txt", {SALES, ORCL});
    Play("console_services.txt",
         {{"TEST", "", "", ""},
          {"SALES", "", "", "", Service("OracleServiceSALES", ServiceStart::Disabled, ServiceState::Stopped)},
          {"ORCL", "", "", "", Service("OracleServiceORCL", ServiceStart::Automatic, ServiceState::Running)}});
    Play("console_refused.txt", {ORCL});
    Play("console_collision.txt", {ORCL});
    Play("console_commands.txt", {});
    Play("host_no_terminal.txt", {ORCL}, [] { setenv(tavview::ANSWERS_VARIABLE, "", 1), std::freopen("/dev/null", "r", stdin); });
}

#endif  // !_WIN32
