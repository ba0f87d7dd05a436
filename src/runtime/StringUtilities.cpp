// Collector runtime: string and time utilities.
#include "runtime/CollectorRuntime.h"

#include "runtime/RuntimeInternals.h"
#include "runtime/RuntimeState.h"
#include "text/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

// The module its message records name, whatever this file is called.
constexpr const char RECORD_MODULE[] = "tavstr";

namespace {

// The character classes take unsigned values: a negative char is undefined behaviour there.
int UpperChar(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

constexpr size_t TRIM_SET_MAX = 19;
constexpr const char* SPLIT_TRIM_SET = " '\"\t\n";

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

// Copies a part into a caller's destination (when one is given); true when it was.
bool CopyPart(char* destination, const std::string& part) {
    if (destination == nullptr)
        return false;
    std::memcpy(destination, part.c_str(), part.size() + 1);
    return true;
}

int FullYear(const std::tm& time) {
    if (time.tm_year <= 80)
        return time.tm_year + 2000;
    if (time.tm_year >= 1900)
        return time.tm_year;
    return time.tm_year + 1900;
}

}  // namespace

int coll_stricmp(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return (a == nullptr && b == nullptr) ? 0 : 1;
    return tavtext::CompareIgnoringCase(a, b);
}

char* coll_strdup(const char* text) {
    if (text == nullptr)
        return nullptr;
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(coll_alloc(length + 1, RECORD_MODULE, __LINE__, "strlen(text)+1"));
    std::memcpy(copy, text, length + 1);
    return copy;
}

char* coll_strupr(char* text) {
    if (text == nullptr)
        return nullptr;
    for (char* p = text; *p != '\0'; ++p)
        *p = static_cast<char>(UpperChar(*p));
    return text;
}

char* coll_trim(char* text, int mode, const char* set) {
    if (text == nullptr || *text == '\0')
        return text;
    if (set == nullptr || *set == '\0')
        set = " ";
    size_t setLength = std::min(std::strlen(set), TRIM_SET_MAX);
    auto inSet = [set, setLength](char c) { return c != '\0' && std::memchr(set, c, setLength) != nullptr; };
    int upper = std::toupper(static_cast<unsigned char>(mode));
    if (upper == '\0')
        upper = 'T';
    if (upper == 'B' || upper == 'L') {
        while (inSet(*text))
            ++text;
    }
    if (upper == 'B' || upper == 'T') {
        size_t end = std::strlen(text);
        while (end > 0 && inSet(text[end - 1]))
            --end;
        text[end] = '\0';
    }
    return text;
}

namespace tavrun {

std::string Timestamp(int style) {
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    if (const std::tm* converted = std::localtime(&now))
        local = *converted;
    int year = FullYear(local);
    int month = local.tm_mon + 1;
    switch (style) {
    case 1:
        return tavtext::Format("%04d/%02d/%02d %02d:%02d:%02d", year, month, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
    case 2: {
        char text[COLL_TIMESTAMP_SIZE];
        return std::strftime(text, sizeof text, "%c", &local) == 0 ? std::string() : std::string(text);
    }
    case 3:
        return tavtext::Format("%03d%02d%02d%02d%02d%02d", year - 1900, month, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
    case 4:
        // The clock gives seconds only: the milliseconds are always zero.
        return tavtext::Format("%03d%02d%02d%02d%02d%02d%03d", year - 1900, month, local.tm_mday,
                               local.tm_hour, local.tm_min, local.tm_sec, 0);
    default:
        return tavtext::Format("%04d%02d%02d%02d%02d%02d", year, month, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
    }
}

}  // namespace tavrun

char* coll_timestamp(char* buffer, int style) {
    return coll_guarded(RECORD_MODULE, __LINE__, [buffer, style] {
        const std::string stamp = tavrun::Timestamp(style);
        if (buffer == nullptr)
            return tavrun::KeepResult(tavrun::ResultKind::TIMESTAMP, stamp);
        // The caller's buffer holds COLL_TIMESTAMP_SIZE bytes.
        const size_t length = std::min(stamp.size(), static_cast<size_t>(COLL_TIMESTAMP_SIZE - 1));
        std::memcpy(buffer, stamp.data(), length);
        buffer[length] = '\0';
        return buffer;
    });
}

namespace {

char* SplitPath(const char* path, char* dir, char* dir_sep, char* base, char* ext, char* file_name) {
    std::string work(path);
    std::string text = coll_trim(work.data(), 'B', SPLIT_TRIM_SET);
    // Callers size their destinations for this many characters: refuse rather than overrun or cut.
    if (text.size() > COLL_SPLIT_PATH_MAX)
        return nullptr;

    // A separator in the very first position does not count.
    size_t separator = std::string::npos;
    for (size_t i = text.size(); i > 1; --i) {
        if (IsPathSeparator(text[i - 1])) {
            separator = i - 1;
            break;
        }
    }
    std::string name = (separator == std::string::npos) ? text : text.substr(separator + 1);
    std::string directoryWithSeparator =
        (separator == std::string::npos) ? std::string() : text.substr(0, separator + 1);

    char* last = nullptr;
    if (CopyPart(file_name, name))
        last = file_name;
    if (base != nullptr || ext != nullptr) {
        size_t dot = name.rfind('.');
        std::string extension = (dot == std::string::npos) ? std::string() : name.substr(dot + 1);
        std::string baseName = (dot == std::string::npos) ? name : name.substr(0, dot);
        if (CopyPart(ext, extension))
            last = ext;
        if (CopyPart(base, baseName))
            last = base;
    }
    if (CopyPart(dir_sep, directoryWithSeparator))
        last = dir_sep;
    std::string directory = directoryWithSeparator.empty()
                                ? std::string()
                                : directoryWithSeparator.substr(0, directoryWithSeparator.size() - 1);
    if (CopyPart(dir, directory))
        last = dir;
    return last;
}

}  // namespace

char* coll_split_path(const char* path, char* dir, char* dir_sep, char* base, char* ext,
                      char* file_name) {
    if (path == nullptr || *path == '\0')
        return nullptr;
    return coll_guarded(RECORD_MODULE, __LINE__, [&] { return SplitPath(path, dir, dir_sep, base, ext, file_name); });
}
