// Shared by the runtime's own modules only.
#ifndef TAV_RUNTIME_RUNTIMEINTERNALS_H
#define TAV_RUNTIME_RUNTIMEINTERNALS_H

#include "runtime/CollectorRuntime.h"
#include "runtime/RuntimeState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

// COLL_ZEROMEM, read by the first allocation; this value means not read yet.
constexpr uint16_t ZERO_FILL_UNREAD = 65535;

// Everything the runtime keeps between calls. The variables the C interface
// names (coll_settings, coll_trace, coll_output) are references to members.
struct RuntimeState {
    CollSettings settings{};
    int16_t trace[COLL_TRACE_LEVELS]{};
    FILE* output = nullptr;

    // Read by the first coll_init_settings; the home directory doubles as the
    // mark that this part has run.
    char* home_dir = nullptr;
    char* current_dir = nullptr;
    char* temp_dir = nullptr;
    // The texts coll_init_settings filled into settings records, each once.
    std::vector<char*> settings_texts;
    uint16_t zero_fill = ZERO_FILL_UNREAD;

    // The message output file.
    std::string output_name;
    FILE* opened_output = nullptr;  // the stream the runtime opened, whoever holds it now
    char* stdout_prefix = nullptr;  // null reads as the empty string
    int32_t backup_count = -1;
    int32_t wrap_limit = -1;
    int32_t record_counter = 0;
    int16_t open_failures = 0;

    std::array<std::string, static_cast<size_t>(tavrun::ResultKind::COUNT)> results;
};

// The one state of the process.
extern RuntimeState coll_state;

// A decimal integer as the C runtime reads one (leading blanks, a sign, digits;
// 0 when there are none), clamped to 32 bits. Null reads as 0.
int32_t coll_decimal(const char* text);

// The module a record names: the base name of what the caller passed as its
// file, so that a caller's path never reaches the record.
std::string coll_module_of(const char* file);

// Runs body; a text buffer that cannot grow ends the process as a failed
// allocation does, so that no exception leaves the runtime's interface.
template <typename Body>
auto coll_guarded(const char* file, int line, Body body) -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    coll_out_of_memory(file, line, "text buffer", 0);
}

#endif
