// The plain report: standard output and the error stream.
#include "report/Report.h"

#include <cstdarg>
#include <cstdio>

#include "text/Text.h"

void CReport::Console(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void CReport::ConsoleAndLog(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void CReport::LogOnly(std::string_view) {}

void CReport::Error(std::string_view text) {
    // Standard output first: what was said before the error stays before it.
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CReport::ConsoleF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Console(tavtext::FormatV(format, args));
    va_end(args);
}

void CReport::ConsoleAndLogF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    ConsoleAndLog(tavtext::FormatV(format, args));
    va_end(args);
}

void CReport::ErrorF(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Error(tavtext::FormatV(format, args));
    va_end(args);
}
