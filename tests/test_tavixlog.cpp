// The setup log and the formatted writer.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "generate/tavixdcl.h"
#include "tav_testutil.h"

using tavtest::ReadFile;
using tavtest::TempDir;

namespace {

const std::regex STAMP_LINE("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}");

TEST(SetupLog, OpenFailsInMissingDirectoryAndKeepsTheName) {
    TempDir dir;
    CInstallParams params;
    std::string path = dir.file("no-such-dir/setup.log");
    EXPECT_EQ(params.OpenSetupLog(path.c_str()), 0);
    EXPECT_EQ(params.GetLogName(), path);
    EXPECT_FALSE(tavtest::FileExists(path));
}

TEST(SetupLog, AppendsToAnExistingLogAndCloseEmptiesTheName) {
    TempDir dir;
    std::string path = dir.file("setup.log");
    tavtest::WriteFile(path, "earlier run\n");
    CInstallParams params;
    ASSERT_EQ(params.OpenSetupLog(path.c_str()), 1);
    params.LogWrite(99, "line %d\n", 1);
    params.CloseSetupLog();
    EXPECT_EQ(params.GetLogName(), "");
    EXPECT_EQ(ReadFile(path), "earlier run\n" + std::string("line 1") + tavtest::TEXT_EOL);
    params.CloseSetupLog();  // closing twice does nothing
}

TEST(SetupLog, StampedEntryPutsTheTimeOnALineOfItsOwn) {
    TempDir dir;
    std::string path = dir.file("setup.log");
    CInstallParams params;
    ASSERT_EQ(params.OpenSetupLog(path.c_str()), 1);
    testing::internal::CaptureStdout();
    params.LogStamped("Starting Database Monitor Installation\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    params.CloseSetupLog();

    std::string text = ReadFile(path);
    std::string eol = tavtest::TEXT_EOL;
    ASSERT_EQ(text.substr(0, eol.size()), eol);
    size_t timeEnd = text.find(eol, eol.size());
    ASSERT_NE(timeEnd, std::string::npos);
    std::string time = text.substr(eol.size(), timeEnd - eol.size());
    EXPECT_EQ(time.size(), 24u) << time;
    EXPECT_TRUE(std::regex_match(time, STAMP_LINE)) << time;
    EXPECT_EQ(text.substr(timeEnd + eol.size()), "Starting Database Monitor Installation" + eol);
}

TEST(SetupLog, StampedEntryWithTheLogClosedWritesNothing) {
    CInstallParams params;
    testing::internal::CaptureStdout();
    params.LogStamped("nothing\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(LogWrite, ConsoleGoesToStandardOutputEvenWithTheLogClosed) {
    CInstallParams params;
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "%s is not a supported product\n", "oracle8");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "oracle8 is not a supported product\n");
}

TEST(LogWrite, ConsoleAlsoGoesToTheLogAndOtherDestinationsOnlyToTheLog) {
    TempDir dir;
    std::string path = dir.file("setup.log");
    CInstallParams params;
    ASSERT_EQ(params.OpenSetupLog(path.c_str()), 1);
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "to both\n");
    params.LogWrite(7, "log only\n");
    params.LogWrite(LOG_INI, "no stream open\n");  // skipped without a message
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to both\n");
    params.CloseSetupLog();
    std::string eol = tavtest::TEXT_EOL;
    EXPECT_EQ(ReadFile(path), "to both" + eol + "log only" + eol);
}

TEST(LogWrite, PercentSignsInTheFormattedTextAreWrittenAsTheyAre) {
    CInstallParams params;
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "SET X=%s %%PATH%%\n", "%ETCPATH%");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "SET X=%ETCPATH% %PATH%\n");
}

TEST(LogWrite, LongTextsAreNeitherCutNorOverrun) {
    CInstallParams params;
    std::string longText(5000, 'x');
    testing::internal::CaptureStdout();
    params.LogWrite(LOG_CONSOLE, "[%s]", longText.c_str());
    params.LogWrite(LOG_CONSOLE, "%s", "short");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[" + longText + "]short");
}

}  // namespace
