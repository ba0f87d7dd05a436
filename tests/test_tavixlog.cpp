// The setup log, and the generation's writer that speaks through it.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "generate/tavixdcl.h"
#include "setup/tavixlog.h"
#include "tav_testutil.h"

using tavtest::ReadFile;
using tavtest::TempDir;

namespace {

const std::regex STAMP_LINE("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");

// A log in a directory of its own, with a writer whose console is the log.
struct LogFixture : ::testing::Test {
    TempDir dir;
    std::string path = dir.file("setup.log");
    CSetupLog log;
    CInstallParams params;
    LogFixture() { params.SetReport(log); }
};

TEST_F(LogFixture, OpenFailsInMissingDirectoryAndKeepsTheName) {
    const std::string missing = dir.file("no-such-dir/setup.log");
    EXPECT_EQ(log.OpenSetupLog(missing.c_str()), 0);
    EXPECT_EQ(log.GetLogName(), missing);
    EXPECT_FALSE(tavtest::FileExists(missing));
}

TEST_F(LogFixture, AppendsConsoleAndLogOnlyLinesAndCloseEmptiesTheName) {
    tavtest::WriteFile(path, "earlier run\n");
    ASSERT_EQ(log.OpenSetupLog(path.c_str()), 1);
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "to both\n");
    params.LogWrite(99, "line %d\n", 1);
    params.LogWrite(LOG_INI, "no stream open\n");  // skipped without a message
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to both\n");
    log.CloseSetupLog();
    EXPECT_EQ(log.GetLogName(), "");
    const std::string eol = tavtest::TEXT_EOL;
    EXPECT_EQ(ReadFile(path), "earlier run\nto both" + eol + "line 1" + eol);
    log.CloseSetupLog();  // closing twice does nothing
}

TEST_F(LogFixture, StampedEntryPutsTheTimeOnALineOfItsOwnAndNothingOnTheConsole) {
    testing::internal::CaptureStdout();
    log.LogStamped("before the log is open\n");  // nowhere
    ASSERT_EQ(log.OpenSetupLog(path.c_str()), 1);
    log.LogStamped("Starting Database Monitor Installation\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    log.CloseSetupLog();

    const std::string text = ReadFile(path), eol = tavtest::TEXT_EOL;
    ASSERT_EQ(text.substr(0, eol.size()), eol);
    const size_t timeEnd = text.find(eol, eol.size());
    ASSERT_NE(timeEnd, std::string::npos);
    const std::string time = text.substr(eol.size(), timeEnd - eol.size());
    EXPECT_TRUE(std::regex_match(time, STAMP_LINE)) << time;
    EXPECT_EQ(text.substr(timeEnd + eol.size()), "Starting Database Monitor Installation" + eol);
}

TEST_F(LogFixture, ConsoleTextIsWrittenAsFormattedWhateverItsLengthAndPercentSigns) {
    const std::string longText(5000, 'x');
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "%s is not a supported product\n", "oracle8");  // no log open: the console still
    params.LogWrite(LOG_CONSOLE, "SET X=%s %%PATH%%\n", "%ETCPATH%");
    params.LogWrite(LOG_CONSOLE, "[%s]", longText.c_str());
    params.LogWrite(LOG_CONSOLE, "%s", "short");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "oracle8 is not a supported product\nSET X=%ETCPATH% %PATH%\n[" + longText + "]short");
}

}  // namespace
