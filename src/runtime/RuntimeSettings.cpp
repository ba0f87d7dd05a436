// Collector runtime: process-wide settings from the environment, environment
// access with defaults, allocation and the output of a shell command.
#include "runtime/CollectorRuntime.h"

#include "platform/Process.h"
#include "runtime/RuntimeInternals.h"
#include "text/Text.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// The module its message records name, whatever this file is called.
constexpr const char RECORD_MODULE[] = "tavutil";

namespace {

constexpr int32_t MAXREADSZ_DEFAULT = 20480000;
// The Windows command interpreter refuses longer command lines; the same bound everywhere.
constexpr size_t SHELL_COMMAND_MAX = 8191;
constexpr int SHELL_MAX_READS = 500;
constexpr int SHELL_BLANK_READS_END = 3;

bool IsEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

void ReadZeroFillSwitch() {
    const std::optional<std::string> value = tavplat::EnvironmentValue("COLL_ZEROMEM");
    uint16_t converted = value ? static_cast<uint16_t>(tavtext::LeadingInteger(value->c_str())) : 0;
    coll_state.zero_fill = (converted == ZERO_FILL_UNREAD) ? 0 : converted;
}

char* CopyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(coll_alloc(length + 1, RECORD_MODULE, __LINE__, "strlen(ret)+1"));
    std::memcpy(copy, text, length + 1);
    return copy;
}

// A variable whose name holds PASSWORD or PWD, in any case (Windows takes
// COLL_Password for COLL_PASSWORD): its value is never traced.
bool NamesASecret(const char* name) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("PASSWORD") != std::string::npos || upper.find("PWD") != std::string::npos;
}

// "name=value" as the records show it, a secret's value hidden.
std::string ShownAssignment(const char* name, const char* value) {
    if (value == nullptr) return name;
    return std::string(name) + "=" + (NamesASecret(name) ? "********" : value);
}

void TraceVariable(const char* name, const char* value) {
    if (coll_trace[3] == 0)
        return;
    if (value != nullptr)
        coll_message(nullptr, RECORD_MODULE, __LINE__, "t", "uen0025", "Env var %s=%s.\n", name,
                     NamesASecret(name) ? "********" : value);
    else
        coll_message(nullptr, RECORD_MODULE, __LINE__, "t", "uen0026", "Env var %s was not set.\n", name);
}

// A name the environment can hold: not empty, no "=" in it.
bool IsValidVariableName(const char* name) {
    return !IsEmpty(name) && std::strchr(name, '=') == nullptr;
}

// One line of the command's output without its line end and trailing white
// space; NUL bytes, which a C string cannot carry, are left out. False at the
// end of the output.
bool ReadOutputLine(FILE* pipe, std::string* line) {
    if (!tavtext::ReadLine(pipe, line))
        return false;
    line->erase(std::remove(line->begin(), line->end(), '\0'), line->end());
    line->resize(tavtext::TrimRight(*line, tavtext::WHITE_SPACE).size());
    return true;
}

char* ShellResult(const std::string& joined) {
    char* result = static_cast<char*>(coll_alloc(joined.size() + 2, RECORD_MODULE, __LINE__, "length+1"));
    std::memcpy(result, joined.c_str(), joined.size() + 1);
    return result;
}

// COLL_DEBUG: an optional "-", one character skipped, then one level per
// category: 'd' is 1, 'e' 2 and so on; 'c' and below (digits too) are 0.
void ReadTraceLevels(const char* value) {
    const char* p = value;
    if (*p == '-')
        ++p;
    if (*p != '\0')
        ++p;
    for (int category = 0; category < COLL_TRACE_LEVELS; ++category) {
        if (*p == '\0') {
            coll_trace[category] = 0;
            continue;
        }
        int c = std::tolower(static_cast<unsigned char>(*p++));
        coll_trace[category] = static_cast<int16_t>(c <= 'c' ? 0 : c - 'c');
    }
}

void InitTraceAndHome() {
    if (char* debug = coll_getenv("COLL_DEBUG", COLL_ENV_QUIET, nullptr)) {
        ReadTraceLevels(debug);
        coll_free(debug, RECORD_MODULE, __LINE__, "debug");
    }
    char* drive = coll_getenv("HOMEDRIVE", COLL_ENV_QUIET, nullptr);
    char* path = coll_getenv("HOMEPATH", COLL_ENV_QUIET, nullptr);
    std::string home = drive ? std::string(drive) + (path ? path : "") : std::string();
    coll_state.home_dir = coll_strdup(home.c_str());
    coll_free(drive, RECORD_MODULE, __LINE__, "drive");
    coll_free(path, RECORD_MODULE, __LINE__, "path");
}

// Reads a variable in trace mode, with a fallback read quietly.
char* GetWithFallback(const char* name, const char* fallbackName, const char* fallbackDefault) {
    char* fallback = coll_getenv(fallbackName, COLL_ENV_QUIET, fallbackDefault);
    char* value = coll_getenv(name, COLL_ENV_TRACE, fallback);
    coll_free(fallback, RECORD_MODULE, __LINE__, "fallback");
    return value;
}

char* DefaultPrefix(const char* username) {
    char* logDir = coll_getenv("TAVLOGDIR", COLL_ENV_QUIET, nullptr);
    std::string joined = std::string(logDir ? logDir : coll_state.temp_dir) + "\\" + (username ? username : "");
    coll_free(logDir, RECORD_MODULE, __LINE__, "logdir");
    return coll_strdup(joined.c_str());
}

void FillTextFields(CollSettings* s) {
    if (!s->username)
        s->username = coll_getenv("USERNAME", COLL_ENV_QUIET, "sys");
    if (!s->home)
        s->home = coll_getenv("COLL_HOME", COLL_ENV_TRACE, coll_state.current_dir);
    if (!s->ctl_home)
        s->ctl_home = coll_getenv("COLL_CTL_HOME", COLL_ENV_TRACE, coll_state.current_dir);
    if (!s->binpath)
        s->binpath = coll_getenv("COLL_BINPATH", COLL_ENV_TRACE, nullptr);
    if (!s->hostname)
        s->hostname = GetWithFallback("COLL_HOSTNAME", "COMPUTERNAME", nullptr);
    if (!s->server_id)
        s->server_id = coll_getenv("COLL_SERVERID", COLL_ENV_TRACE, nullptr);
    if (!s->logon)
        s->logon = GetWithFallback("COLL_LOGON", "COLL_LOGONID", nullptr);
    if (!s->password)
        s->password = coll_getenv("COLL_PASSWORD", COLL_ENV_TRACE, nullptr);
    if (!s->version)
        s->version = GetWithFallback("COLL_VERSION", "COLL_VERSION_HOME", "tav");
    if (!s->prefix) {
        s->prefix = coll_getenv("COLL_PREFIX", COLL_ENV_TRACE, nullptr);
        if (!s->prefix)
            s->prefix = DefaultPrefix(s->username);
    }
    if (!s->prefix_local) {
        s->prefix_local = coll_getenv("COLL_PREFIX_LOCAL", COLL_ENV_TRACE, nullptr);
        if (!s->prefix_local)
            s->prefix_local = s->prefix;
    }
    if (!s->out_dir) {
        s->out_dir = coll_getenv("COLL_OUT", COLL_ENV_TRACE, nullptr);
        if (!s->out_dir) {
            bool samePrefix = s->prefix_local && s->prefix && std::strcmp(s->prefix_local, s->prefix) == 0;
            s->out_dir = samePrefix ? s->home : s->prefix_local;
        }
    }
    if (!s->errorlog)
        s->errorlog = coll_getenv("COLL_ERRORLOG", COLL_ENV_TRACE, nullptr);
    if (!s->dbversion)
        s->dbversion = coll_getenv("COLL_DBVERSION", COLL_ENV_TRACE, nullptr);
}

void FillMaxReadSize(CollSettings* s) {
    if (s->maxreadsz_errorlog != 0)
        return;
    if (char* value = coll_getenv("MAXREADSZ_ERRORLOG", COLL_ENV_QUIET, nullptr)) {
        s->maxreadsz_errorlog = tavtext::LeadingInteger(value);
        coll_free(value, RECORD_MODULE, __LINE__, "maxreadsz");
        return;
    }
    if (coll_trace[6] != 0)
        coll_message(nullptr, RECORD_MODULE, __LINE__, "t", "uen0021", "'%s' not set, using default of %d\n",
                     "MAXREADSZ_ERRORLOG", static_cast<int>(MAXREADSZ_DEFAULT));
    s->maxreadsz_errorlog = MAXREADSZ_DEFAULT;
}

void FillNoSignals(CollSettings* s) {
    if (s->nosignals != 0)
        return;
    if (char* value = coll_getenv("COLL_NOSIGNALS", COLL_ENV_TRACE, nullptr)) {
        int32_t number = tavtext::LeadingInteger(value);
        number = number < INT16_MIN ? INT16_MIN : (number > INT16_MAX ? INT16_MAX : number);
        s->nosignals = static_cast<int16_t>(number);
        coll_free(value, RECORD_MODULE, __LINE__, "nosignals");
    }
}

}  // namespace

size_t coll_alloc_size(size_t request) {
    // No object may be larger than PTRDIFF_MAX; this also keeps the rounding from wrapping.
    if (request > static_cast<size_t>(PTRDIFF_MAX) - 19)
        return 0;
    return ((request + 19) / 16) * 16;
}

void coll_out_of_memory(const char* file, int line, const char* expr, size_t size) {
    std::string module = coll_module_of(file ? file : "");
    coll_message(nullptr, file, line, "s", "utm5400", "Memory allocation error at:%s.%d - %s for %llu bytes \n",
                 module.c_str(), line, expr ? expr : "", static_cast<unsigned long long>(size));
    std::exit(4);
}

void* coll_alloc(size_t size, const char* file, int line, const char* expr) {
    if (coll_state.zero_fill == ZERO_FILL_UNREAD)
        ReadZeroFillSwitch();
    size_t rounded = coll_alloc_size(size);
    void* block = rounded ? std::malloc(rounded) : nullptr;
    if (block == nullptr)
        coll_out_of_memory(file, line, expr, size);
    if (coll_state.zero_fill == 1)
        std::memset(block, 0, rounded);
    return block;
}

void coll_free(void* block, const char*, int, const char*) {
    if (block != nullptr)
        std::free(block);
}

char* coll_getenv(const char* name, int mode, const char* def) {
    const char* variable = name ? name : "";
    bool hasDefault = !IsEmpty(def);
    const char* type = hasDefault ? "i" : "w";
    const std::optional<std::string> value = tavplat::EnvironmentValue(variable);
    char* result = nullptr;
    if (value && !value->empty()) {
        result = CopyText(value->c_str());
    } else {
        if (mode == COLL_ENV_REPORT) {
            if (value)
                coll_message(nullptr, RECORD_MODULE, __LINE__, type, "uen0010",
                             "Environment variable \"%s\" is not available\n", variable);
            else
                coll_message(nullptr, RECORD_MODULE, __LINE__, type, "uen0015",
                             "Environment variable \"%s\" not set\n", variable);
        }
        if (hasDefault) {
            if (mode == COLL_ENV_REPORT)
                coll_message(nullptr, RECORD_MODULE, __LINE__, "i", "uen0020", "Using default of %s\n", def);
            result = (mode == COLL_ENV_EXPORT) ? coll_setenv(variable, def) : CopyText(def);
        }
    }
    if (mode != COLL_ENV_REPORT && mode != COLL_ENV_QUIET)
        TraceVariable(variable, result);
    return result;
}

char* coll_setenv(const char* name, const char* value) {
    const char* variable = name ? name : "";
    size_t nameLength = std::strlen(variable);
    size_t valueLength = value ? std::strlen(value) : 0;
    size_t size = nameLength + valueLength;
    char* buffer = static_cast<char*>(coll_alloc(size + 1 + 1, RECORD_MODULE, __LINE__, "size+1+1"));
    std::memcpy(buffer, variable, nameLength);
    char* valuePart = buffer + nameLength;
    *valuePart = '\0';
    if (value != nullptr) {
        *valuePart++ = '=';
        std::memcpy(valuePart, value, valueLength + 1);
    }
    // Refused on purpose: a name that is empty or holds "=" would set some
    // other variable, or none, while the caller believed its own was set.
    if (!IsValidVariableName(variable) || tavplat::PutEnvironment(buffer) != 0) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "uen0045",
                     "Environment variable \"%s\" could not be set.", ShownAssignment(variable, value).c_str());
        coll_free(buffer, RECORD_MODULE, __LINE__, "buffer");
        return nullptr;
    }
    // The buffer now belongs to the environment.
    if (coll_trace[0] != 0)
        coll_message(nullptr, RECORD_MODULE, __LINE__, "t", "uen0046", "Set environment variable \"%s\".",
                     ShownAssignment(variable, value).c_str());
    return valuePart;
}

namespace {

char* ShellOutput(const char* command) {
    std::string joined;
    if (IsEmpty(command))
        return ShellResult(joined);
    size_t length = std::strlen(command);
    if (length > SHELL_COMMAND_MAX) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "uen0050",
                     "Command of %llu characters not run: longer than %d characters.\n",
                     static_cast<unsigned long long>(length), static_cast<int>(SHELL_COMMAND_MAX));
        return ShellResult(joined);
    }
    FILE* pipe = tavplat::OpenCommandPipe(command);
    if (pipe == nullptr)
        return ShellResult(joined);
    std::string line;
    int blanks = 0;
    for (int reads = 0; reads < SHELL_MAX_READS && blanks < SHELL_BLANK_READS_END; ++reads) {
        if (!ReadOutputLine(pipe, &line)) {
            ++blanks;
            continue;
        }
        blanks = 0;
        if (!line.empty()) {
            joined += line;
            joined += ' ';
        }
    }
    tavplat::CloseCommandPipe(pipe);
    if (!joined.empty() && joined.back() == ' ')
        joined.pop_back();
    return ShellResult(joined);
}

void FillSettings(CollSettings* settings) {
    FillTextFields(settings);
    FillMaxReadSize(settings);
    if (!settings->useshm)
        settings->useshm = coll_getenv("COLL_USESHM", COLL_ENV_TRACE, nullptr);
    if (!settings->dbhome)
        settings->dbhome = coll_getenv("COLL_DBHOME", COLL_ENV_TRACE, nullptr);
    FillNoSignals(settings);
    if (!settings->nosec)
        settings->nosec = coll_getenv("COLL_NOSEC", COLL_ENV_TRACE, nullptr);
    if (!settings->cfgdir)
        settings->cfgdir = coll_getenv("TAVCFGDIR", COLL_ENV_TRACE, settings->ctl_home);
}

constexpr char* CollSettings::*TEXT_FIELDS[] = {
    &CollSettings::home,     &CollSettings::ctl_home, &CollSettings::binpath,  &CollSettings::out_dir,
    &CollSettings::hostname, &CollSettings::username, &CollSettings::server_id, &CollSettings::logon,
    &CollSettings::password, &CollSettings::errorlog, &CollSettings::version,  &CollSettings::prefix,
    &CollSettings::prefix_local, &CollSettings::useshm, &CollSettings::nosec,  &CollSettings::cfgdir,
    &CollSettings::dbhome,   &CollSettings::dbversion};

bool Holds(const std::vector<char*>& texts, const char* text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Hands the texts the fill added to the state, each once. A field may point
// at another's text (out_dir at home, say), which is the caller's when it was
// there before the fill.
void KeepFilledTexts(const CollSettings& before, const CollSettings& after) {
    std::vector<char*> earlier;
    for (char* CollSettings::*field : TEXT_FIELDS)
        earlier.push_back(before.*field);
    std::vector<char*>& kept = coll_state.settings_texts;
    for (char* CollSettings::*field : TEXT_FIELDS) {
        char* text = after.*field;
        if (text != nullptr && !Holds(earlier, text) && !Holds(kept, text))
            kept.push_back(text);
    }
}

void InitSettings(CollSettings* settings) {
    RuntimeState& state = coll_state;
    if (state.home_dir == nullptr)
        InitTraceAndHome();
    if (state.current_dir == nullptr)
        state.current_dir = coll_strdup(tavplat::CurrentDirectory().c_str());
    if (state.temp_dir == nullptr) {
        state.temp_dir = coll_getenv("TEMP", COLL_ENV_QUIET, nullptr);
        if (state.temp_dir == nullptr)
            state.temp_dir = coll_strdup(tavplat::SystemDriveRoot().c_str());
    }
    if (settings == nullptr)
        return;
    const CollSettings before = *settings;
    FillSettings(settings);
    KeepFilledTexts(before, *settings);
}

}  // namespace

char* coll_shell_output(const char* command) {
    return coll_guarded(RECORD_MODULE, __LINE__, [command] { return ShellOutput(command); });
}

int coll_init_settings(CollSettings* settings) {
    coll_guarded(RECORD_MODULE, __LINE__, [settings] { InitSettings(settings); });
    return 1;
}
