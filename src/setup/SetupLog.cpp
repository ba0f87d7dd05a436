// The setup log.
#include "setup/SetupLog.h"

#include <ctime>

#include "platform/FileSystem.h"

namespace {

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

}  // namespace

CSetupLog::~CSetupLog() {
    CloseSetupLog();
}

int CSetupLog::OpenSetupLog(const char* fileName) {
    CloseSetupLog();
    log_stream_ = tavplat::OpenFile(fileName ? fileName : "", "a+");
    return log_stream_ ? 1 : 0;
}

void CSetupLog::CloseSetupLog() {
    if (!log_stream_) return;
    std::fclose(log_stream_);
    log_stream_ = nullptr;
}

void CSetupLog::LogStamped(const char* text) {
    if (!log_stream_) return;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) local = *t;
    std::fprintf(log_stream_, "\n%s%s", AsctimeText(local).c_str(), text ? text : "");
}

void CSetupLog::ConsoleAndLog(std::string_view text) {
    CReport::ConsoleAndLog(text);
    LogOnly(text);
}

void CSetupLog::LogOnly(std::string_view text) {
    if (log_stream_) std::fwrite(text.data(), 1, text.size(), log_stream_);
}
