// Shared by the runtime's own modules only.
#ifndef TAV_RUNTIME_RUNTIMEINTERNALS_H
#define TAV_RUNTIME_RUNTIMEINTERNALS_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

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
