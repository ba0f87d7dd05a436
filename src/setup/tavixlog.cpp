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
size_t log_text_length = 0;

// Formats into the buffer's present room first, and grows it only when the
// text does not fit: most texts are formatted once.
void FormatInto(std::string& out, const char* format, va_list args) {
    if (out.size() < 256) out.resize(256);
    va_list retry;
    va_copy(retry, args);
    int needed = std::vsnprintf(out.data(), out.size(), format, args);
    if (needed >= 0 && static_cast<size_t>(needed) >= out.size()) {
        out.resize(static_cast<size_t>(needed) + 1);
        needed = std::vsnprintf(out.data(), out.size(), format, retry);
    }
    va_end(retry);
    log_text_length = needed < 0 ? 0 : static_cast<size_t>(needed);
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

void WritePlain(FILE* stream) {
    if (stream) std::fwrite(log_format_buffer.data(), 1, log_text_length, stream);
}

void WriteGenerated(FILE* stream) {
    if (stream) tavplat::WriteGeneratedText(stream, log_format_buffer.data(), log_text_length);
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
        WritePlain(stdout);
        std::fflush(stdout);
        WritePlain(log_stream);
        break;
    case LOG_INI:
        WriteGenerated(ini_stream);
        break;
    case LOG_INCLUDE:
        WriteGenerated(include_stream);
        break;
    case LOG_BATCH:
        WriteGenerated(batch_stream);
        break;
    default:
        WritePlain(log_stream);
        break;
    }
}
