// How the layers tell what happened. Lower layers return a Status and do not
// print; the lines that belong to the person installing go through a CReport,
// whose channels are standard output, the setup log and the error stream.
#ifndef TAV_REPORT_REPORT_H
#define TAV_REPORT_REPORT_H

#include <string>
#include <string_view>

// The outcome of an operation: code 0 and no text when it succeeded;
// otherwise a non-zero code (an errno or a Windows error code, as the
// operation documents) and one line that says what went wrong.
struct [[nodiscard]] Status {
    long code = 0;
    std::string text;

    bool Ok() const { return code == 0; }
    static Status Success() { return Status(); }
    static Status Failure(long code, std::string text) { return Status{code ? code : -1, std::move(text)}; }
};

#if defined(__GNUC__)
#define TAV_PRINTF(format_index, first_argument) __attribute__((format(printf, format_index, first_argument)))
#else
#define TAV_PRINTF(format_index, first_argument)
#endif

// The channels. This base writes standard output and the error stream and
// keeps no log; the setup run's log derives from it.
class CReport {
public:
    virtual ~CReport() = default;

    // Standard output only: listings and notes for the person installing.
    virtual void Console(std::string_view text);
    // Standard output, flushed, then the setup log when one is open.
    virtual void ConsoleAndLog(std::string_view text);
    // The setup log only, when one is open.
    virtual void LogOnly(std::string_view text);
    // The error stream: what the person must correct before trying again.
    virtual void Error(std::string_view text);

    // The same, formatted as printf does; the formatted text goes out as it is.
    void ConsoleF(const char* format, ...) TAV_PRINTF(2, 3);
    void ConsoleAndLogF(const char* format, ...) TAV_PRINTF(2, 3);
    void ErrorF(const char* format, ...) TAV_PRINTF(2, 3);
};

// Says nothing: for lines that were said already, or that no one reads.
class QuietReport : public CReport {
public:
    void Console(std::string_view) override {}
    void ConsoleAndLog(std::string_view) override {}
    void LogOnly(std::string_view) override {}
    void Error(std::string_view) override {}
};

#endif
