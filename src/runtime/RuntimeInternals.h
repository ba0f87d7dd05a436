// Shared by the runtime's own modules only.
#ifndef TAV_RUNTIME_COLLPRIV_H
#define TAV_RUNTIME_COLLPRIV_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>

// A decimal integer as the C runtime reads one (leading blanks, a sign, digits;
// 0 when there are none), clamped to 32 bits. Null reads as 0.
int32_t coll_decimal(const char* text);

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
