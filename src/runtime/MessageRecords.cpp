// Collector runtime: the message output file with its backups and wrapping,
// and the numbered message records.
#include "runtime/CollectorRuntime.h"

#include "platform/FileSystem.h"
#include "runtime/RuntimeInternals.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// The module its message records name, whatever this file is called.
constexpr const char RECORD_MODULE[] = "tavufil";

namespace {

constexpr const char* DEFAULT_BASE_NAME = "col.out";
constexpr const char* RETRY_BASE_NAME = "colx.out";
constexpr int32_t MAX_BACKUPS = 9999;
constexpr const char* FORMAT_ERROR_TEXT = " *** vsprintf error **** ";
constexpr size_t PASS_THROUGH_HEADER = 9;
constexpr size_t PASS_THROUGH_LETTER = 7;

bool IsEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

// How one record is written, from its type text and flags.
struct RecordStyle {
    char letter = 'T';
    bool header = true;
    bool position = true;
    bool time = false;
    bool flush = false;
    bool echo = false;
    bool upper = true;
};

void ApplyTypeRow(char type, RecordStyle* style) {
    switch (type) {
    case 'T':
    case 'H':
        style->letter = 'T';
        style->time = style->flush = true;
        break;
    case 'E':
    case 'S':
        style->letter = type;
        style->flush = style->echo = true;
        break;
    case 'A':
        style->letter = 'I';
        style->echo = true;
        break;
    case 'I':
    case 'W':
        style->letter = type;
        break;
    case '-':
        style->header = false;
        break;
    default:
        style->letter = type;
        style->echo = true;
        break;
    }
}

// The trace category of an H type: the digits right after the letter. A
// category beyond the table is never on.
bool HCategoryIsOn(const char* type) {
    int category = 0;
    for (const char* p = type + 1; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        category = category * 10 + (*p - '0');
        if (category >= COLL_TRACE_LEVELS)
            return false;
    }
    return coll_trace[category] != 0;
}

enum class FlagResult { WRITE, ABORT, SKIP };

FlagResult ApplyFlags(const char* flags, RecordStyle* style) {
    for (const char* p = flags; *p != '\0'; ++p) {
        switch (*p) {
        case '*': return FlagResult::ABORT;
        case '-': return FlagResult::SKIP;
        case 'F': style->flush = false; break;
        case 'f': style->flush = true; break;
        case 'H': style->header = false; break;
        case 'h': style->header = true; break;
        case 'L': style->echo = false; break;
        case 'l': style->echo = true; break;
        case 'P': style->position = false; break;
        case 'p': style->position = true; break;
        case 'T': style->time = false; break;
        case 't': style->time = true; break;
        case 'u': style->upper = false; break;
        default: break;
        }
    }
    return FlagResult::WRITE;
}


std::string LocalTimeDigits() {
    std::time_t now = std::time(nullptr);
    char digits[16] = "000000";
    if (const std::tm* local = std::localtime(&now))
        std::strftime(digits, sizeof digits, "%H%M%S", local);
    return digits;
}

std::string FormatText(const char* format, va_list args) {
    if (format == nullptr)
        return FORMAT_ERROR_TEXT;
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0)
        return FORMAT_ERROR_TEXT;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

// Writes the parts in order; the number of bytes, or -1 when a write fell short.
int WriteParts(FILE* stream, const std::string& a, const std::string& b, const std::string& c = "") {
    size_t total = 0;
    for (const std::string* part : {&a, &b, &c}) {
        if (std::fwrite(part->data(), 1, part->size(), stream) != part->size())
            return -1;
        total += part->size();
    }
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

std::string BuildOutputPath(const char* base) {
    const CollSettings& s = coll_settings;
    std::string path;
    if (!IsEmpty(s.out_dir))
        path.append(s.out_dir).append("\\");
    if (!IsEmpty(s.hostname))
        path.append(s.hostname).append("_");
    if (!IsEmpty(s.version))
        path.append(s.version + 1).append("_");
    if (!IsEmpty(s.server_id))
        path.append(s.server_id).append("_");
    if (base != nullptr)
        path.append(base);
    return path;
}

void ReadBackupCount() {
    char* value = coll_getenv("COLL_NUMOUTBAK", COLL_ENV_QUIET, nullptr);
    if (value == nullptr) {
        coll_state.backup_count = coll_trace[4] != 0 ? 5 : 1;
        return;
    }
    int64_t n = coll_decimal(value);
    coll_free(value, RECORD_MODULE, __LINE__, "value");
    if (n <= -10)
        coll_state.backup_count = static_cast<int32_t>(-n > MAX_BACKUPS ? MAX_BACKUPS : -n);
    else if (n < 0)
        coll_state.backup_count = 0;
    else
        coll_state.backup_count = static_cast<int32_t>(n > 9 ? 9 : n);
}

// Backup k: the file's name with its last character replaced by k.
std::string BackupName(int32_t k) {
    return coll_state.output_name.substr(0, coll_state.output_name.size() - 1) + std::to_string(k);
}

// Failures are ignored: a missing backup is not an error.
void RotateBackups(int32_t count) {
    tavplat::RemoveFile(BackupName(count).c_str());
    for (int32_t k = count - 1; k >= 1; --k)
        tavplat::RenameFile(BackupName(k).c_str(), BackupName(k + 1).c_str());
    tavplat::RenameFile(coll_state.output_name.c_str(), BackupName(1).c_str());
}

void ReadWrapLimit() {
    char* value = coll_getenv("COLL_WRAPLINES", COLL_ENV_QUIET, "30000");
    int32_t n = coll_decimal(value);
    coll_free(value, RECORD_MODULE, __LINE__, "value");
    coll_state.wrap_limit = n < 0 ? 0 : n;
}

// Closes a message stream; the runtime no longer holds it when it was its own.
void CloseStream(FILE* stream) {
    if (stream == coll_state.opened_output)
        coll_state.opened_output = nullptr;
    std::fclose(stream);
}

[[noreturn]] void MessageOutOfMemory() {
    // No allocation is possible here, so no record: a plain line and the allocation exit.
    std::fputs("UTM5400S Memory allocation error writing a message record\n", stderr);
    std::exit(4);
}

int WriteRecord(const char* context, const char* file, int line, const char* type, const char* id,
                const char* format, va_list args) {
    RecordStyle style;
    if (IsEmpty(id) || *id == ' ')
        style.header = false;
    std::string idText = id ? id : "";
    if (!idText.empty() && idText[0] == '.')
        idText.erase(0, 1);

    const char* typeText = IsEmpty(type) ? "T" : type;
    char typeLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(typeText[0])));
    bool passThrough = typeLetter == 'X';
    if (passThrough) {
        // The format is a finished record: its eighth character is the type letter.
        size_t length = format ? std::strlen(format) : 0;
        typeLetter = length > PASS_THROUGH_LETTER
                         ? static_cast<char>(std::toupper(static_cast<unsigned char>(format[PASS_THROUGH_LETTER])))
                         : 'T';
        if (typeLetter == 'X' || typeLetter == '@')
            typeLetter = '?';  // not a type here: the row of any other letter
    }
    if (typeLetter == '@') {
        coll_free(coll_state.stdout_prefix, RECORD_MODULE, __LINE__, "coll_stdout_prefix");
        coll_state.stdout_prefix = coll_strdup(id ? id : "");
        return 0;
    }
    if (typeLetter == 'H' && !HCategoryIsOn(typeText))
        return 1;
    ApplyTypeRow(typeLetter, &style);
    switch (ApplyFlags(typeText + 1, &style)) {
    case FlagResult::ABORT: std::abort();
    case FlagResult::SKIP: return 0;
    case FlagResult::WRITE: break;
    }

    bool toStdout = false;
    if (coll_output != nullptr)
        coll_check_wrap(&coll_output, nullptr, &coll_state.record_counter);
    // A wrap that could not reopen the file sends the record to standard
    // output: a record seen on the console is better than one lost.
    if (coll_output == nullptr) {
        toStdout = !style.echo;
        style.flush = false;
    }

    std::string header;
    if (style.header) {
        if (passThrough) {
            header = idText + std::string(format ? format : "").substr(0, PASS_THROUGH_HEADER);
        } else {
            header = idText + style.letter + " ";
            if (style.time)
                header += "(" + LocalTimeDigits() + ") ";
            if (style.position && !IsEmpty(file))
                header += coll_module_of(file) + "(" + std::to_string(line) + ") ";
        }
        if (style.upper)
            coll_strupr(header.data());
        if (!IsEmpty(context) && coll_trace[6] != 0)
            header.append(context).append(" ");
    }

    std::string text;
    if (passThrough) {
        size_t length = format ? std::strlen(format) : 0;
        text = length > PASS_THROUGH_HEADER ? std::string(format + PASS_THROUGH_HEADER) : std::string();
    } else {
        text = FormatText(format, args);
    }
    if (text.empty() || text.back() != '\n')
        text += '\n';

    int result = 1;
    bool written = false;
    if (toStdout) {
        result = WriteParts(stdout, coll_state.stdout_prefix ? coll_state.stdout_prefix : "", header, text);
        written = true;
    } else if (coll_output != nullptr) {
        result = WriteParts(coll_output, header, text);
        written = true;
    }
    if (written && result <= 0) {
        int fallback = WriteParts(stderr, "+ ", header, text);
        std::fflush(stderr);
        return fallback;
    }
    if (style.flush && coll_output != nullptr)
        std::fflush(coll_output);
    if (style.echo) {
        WriteParts(stderr, header, text);
        std::fflush(stderr);
    }
    return result;
}

char* OutputPath(char* buffer, const char* base_name) {
    std::string path = BuildOutputPath(base_name);
    if (buffer == nullptr)
        return tavrun::KeepResult(tavrun::ResultKind::OUTPUT_PATH, path);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return buffer;
}

FILE* OpenOutput(const char* base_name) {
    if (coll_state.backup_count < 0)
        ReadBackupCount();
    // A stream still open would hold the file being rotated and leak.
    if (coll_output != nullptr) {
        CloseStream(coll_output);
        coll_output = nullptr;
    }
    if (coll_state.output_name.empty())
        coll_state.output_name = BuildOutputPath(IsEmpty(base_name) ? DEFAULT_BASE_NAME : base_name);
    if (coll_state.backup_count > 0)
        RotateBackups(coll_state.backup_count);
    coll_output = tavplat::OpenFile(coll_state.output_name.c_str(), "w");
    coll_state.opened_output = coll_output;
    if (coll_output != nullptr)
        return coll_output;
    if (coll_state.open_failures == 0)
        std::printf("CAT1995E - Can't open message ouput file: %s\n", coll_state.output_name.c_str());
    coll_state.output_name.clear();
    if (coll_state.open_failures < INT16_MAX)
        ++coll_state.open_failures;
    if (coll_state.open_failures < 2)
        return OpenOutput(RETRY_BASE_NAME);
    return nullptr;
}

int CheckWrap(FILE** stream, const char* base_name, int* counter) {
    if (stream == nullptr || *stream == nullptr)
        return 0;
    if (coll_state.wrap_limit < 0)
        ReadWrapLimit();
    if (coll_state.wrap_limit == 0 || counter == nullptr)
        return 0;
    int old = *counter;
    if (*counter < INT_MAX)
        ++*counter;
    if (old < coll_state.wrap_limit)
        return 0;
    *counter = 0;
    // The stream variable may be coll_output itself: take the stream first.
    FILE* full = *stream;
    *stream = nullptr;
    if (full == coll_output)
        coll_output = nullptr;
    CloseStream(full);
    FILE* fresh = coll_open_output(base_name);
    if (fresh != nullptr)
        coll_message(nullptr, RECORD_MODULE, __LINE__, "i", "cgn5000", "       File wrapped -- %s\n",
                     tavrun::Timestamp(2).c_str());
    *stream = fresh;
    return 0;
}

}  // namespace

int coll_message(const char* context, const char* file, int line, const char* type, const char* id,
                 const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = 0;
    try {
        result = WriteRecord(context, file, line, type, id, format, args);
    } catch (const std::bad_alloc&) {
        va_end(args);
        MessageOutOfMemory();
    } catch (const std::length_error&) {
        va_end(args);
        MessageOutOfMemory();
    }
    va_end(args);
    return result;
}

char* coll_output_path(char* buffer, const char* base_name) {
    return coll_guarded(RECORD_MODULE, __LINE__, [buffer, base_name] { return OutputPath(buffer, base_name); });
}

FILE* coll_open_output(const char* base_name) {
    return coll_guarded(RECORD_MODULE, __LINE__, [base_name] { return OpenOutput(base_name); });
}

int coll_check_wrap(FILE** stream, const char* base_name, int* counter) {
    return coll_guarded(RECORD_MODULE, __LINE__, [=] { return CheckWrap(stream, base_name, counter); });
}

const char* coll_output_file_name() {
    return coll_state.output_name.c_str();
}

std::string coll_module_of(const char* file) {
    std::vector<char> base(std::strlen(file) + 1);
    if (coll_split_path(file, nullptr, nullptr, base.data(), nullptr, nullptr) == nullptr)
        return file;
    return base.data();
}
