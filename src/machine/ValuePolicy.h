// What any value must be before it reaches a generated file, wherever it came
// from: typed, read from an answers file, discovered, or an install parameter.
#ifndef TAV_MACHINE_VALUEPOLICY_H
#define TAV_MACHINE_VALUEPOLICY_H

#include <cstddef>
#include <string_view>

namespace tavmachine {

// cmd.exe reads at most this many characters of a batch line.
constexpr size_t BATCH_LINE_LIMIT = 8191;
// The longest value: escaped for cmd it may double, and the longest line that
// carries a value adds under 64 characters of its own.
constexpr size_t VALUE_MAX_LENGTH = 4000;
static_assert(2 * VALUE_MAX_LENGTH + 64 <= BATCH_LINE_LIMIT);

// Why the value cannot go into a generated file (a control character, codes
// 0-31 and 127, would start a line of its own; a longer value could make a
// batch line longer than cmd reads), or null when it can.
[[nodiscard]] const char* ValueRefusal(std::string_view value);

}  // namespace tavmachine

#endif
