// The setup log and the formatted writer that also serves the generated files.
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "generate/tavixdcl.h"
#include "platform/FileSystem.h"

namespace {

// The writer's formatting buffer is process-wide, as the writer always was;
// it grows, so a long text is never cut.
std::string log_format_buffer;

void FormatInto(std::string& out, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed < 0) {
        out.clear();
        return;
    }
    out.assign(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
}

// The text asctime gives: "Www Mmm dd hh:mm:ss yyyy\n", day padded with a blank.
std::string AsctimeText(const std::tm& t) {
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n",
                  DAYS[(t.tm_wday % 7 + 7) % 7], MONTHS[(t.tm_mon % 12 + 12) % 12], t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, 1900 + t.tm_year);
    return text;
}

void WritePlain(FILE* stream, const std::string& text) {
    if (stream) std::fwrite(text.data(), 1, text.size(), stream);
}

void WriteGenerated(FILE* stream, const std::string& text) {
    if (stream) tavplat::WriteGeneratedText(stream, text.data(), text.size());
}

}  // namespace

int CInstallParams::OpenSetupLog(const char* fileName) {
    log_name = fileName ? fileName : "";
    log_stream = tavplat::OpenFile(log_name.c_str(), "a+");
    return log_stream ? 1 : 0;
}

void CInstallParams::CloseSetupLog() {
    if (!log_stream) return;
    std::fclose(log_stream);
    log_stream = nullptr;
    log_name.clear();
}

void CInstallParams::LogStamped(const char* text) {
    if (!log_stream) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) local = *t;
    std::fprintf(log_stream, "\n%s%s", AsctimeText(local).c_str(), text ? text : "");
}

void CInstallParams::LogWrite(int destination, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(log_format_buffer, format ? format : "", args);
    va_end(args);

    switch (destination) {
    case LOG_CONSOLE:
        WritePlain(stdout, log_format_buffer);
        std::fflush(stdout);
        WritePlain(log_stream, log_format_buffer);
        break;
    case LOG_INI:
        WriteGenerated(ini_stream, log_format_buffer);
        break;
    case LOG_INCLUDE:
        WriteGenerated(include_stream, log_format_buffer);
        break;
    case LOG_BATCH:
        WriteGenerated(batch_stream, log_format_buffer);
        break;
    default:
        WritePlain(log_stream, log_format_buffer);
        break;
    }
}
