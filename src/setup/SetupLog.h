// The setup log: the run's record for the person installing, appended to run
// after run, with time-stamped start and finish lines and every line the run
// says on the console.
#ifndef TAV_SETUP_SETUPLOG_H
#define TAV_SETUP_SETUPLOG_H

#include <cstdio>
#include <string>
#include <string_view>

#include "report/Report.h"

class CSetupLog : public CReport {
public:
    CSetupLog() = default;
    ~CSetupLog() override;
    CSetupLog(const CSetupLog&) = delete;
    CSetupLog& operator=(const CSetupLog&) = delete;

    // Opens the log for appending (a missing one is created). Returns 1 when
    // it is open, 0 when it cannot be.
    int OpenSetupLog(const char* fileName);
    void CloseSetupLog();
    // One entry: a line end, the local time as asctime gives it, then text.
    void LogStamped(const char* text);

    // Console lines go to standard output and then into the log.
    void ConsoleAndLog(std::string_view text) override;
    void LogOnly(std::string_view text) override;

private:
    FILE* log_stream_ = nullptr;
};

#endif
