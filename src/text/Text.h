// Small text helpers shared by every layer: case-insensitive comparison of
// 8-bit text, trimming, line reading and printf-style formatting into owned
// strings.
#ifndef TAV_TEXT_TEXT_H
#define TAV_TEXT_TEXT_H

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

namespace tavtext {

// Blanks as a line of typed or written text holds them.
constexpr std::string_view BLANKS = " \t";
// Every character the C runtime counts as white space.
constexpr std::string_view WHITE_SPACE = " \t\n\v\f\r";

// Compares as _stricmp does: ASCII letters without case, every byte as an
// unsigned value. The result is the difference of the first two bytes that
// differ (a missing byte counts as 0).
[[nodiscard]] int CompareIgnoringCase(std::string_view a, std::string_view b);
[[nodiscard]] bool EqualsIgnoringCase(std::string_view a, std::string_view b);
[[nodiscard]] bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// The text with its ASCII capitals made small.
[[nodiscard]] std::string LowerCase(std::string_view text);

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text without blanks at its start, its end, or both. Inline: parsers
// call them for every line.
[[nodiscard]] inline std::string_view TrimLeft(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    return text.substr(first);
}
[[nodiscard]] inline std::string_view TrimRight(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}
[[nodiscard]] inline std::string_view Trim(std::string_view text) {
    return TrimRight(TrimLeft(text));
}

// The text without the characters of set at its start, its end, or both.
[[nodiscard]] std::string_view TrimLeft(std::string_view text, std::string_view set);
[[nodiscard]] std::string_view TrimRight(std::string_view text, std::string_view set);
[[nodiscard]] std::string_view Trim(std::string_view text, std::string_view set);

// True when the text holds a character below a blank, or DEL: nothing a
// person can type into a one-line field.
[[nodiscard]] bool HasControlCharacter(std::string_view text);

// Reads one line of any length from stream, without its line end (LF or
// CR LF). False at the end of the stream when nothing was read.
bool ReadLine(FILE* stream, std::string* line);

// The next line of text from *position on, without its line end (LF or
// CR LF); moves *position behind it. False when no text is left.
bool NextLine(std::string_view text, size_t* position, std::string_view* line);

// printf-style formatting into buffer, which keeps its room between calls and
// grows only when a text does not fit. The text is buffer's first bytes; the
// result is its length, or -1 when the format cannot be used.
long FormatInto(std::string& buffer, const char* format, va_list args);

// printf-style formatting into an owned string, of any length; empty when
// the format cannot be used.
[[nodiscard]] std::string FormatV(const char* format, va_list args);
[[nodiscard]] std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The leading decimal integer as atoi reads one (leading white space, a sign,
// digits; 0 when there are none), held within the range of a 32-bit int
// instead of overflowing. Null reads as 0.
[[nodiscard]] int LeadingInteger(const char* text);
[[nodiscard]] inline int LeadingInteger(const std::string& text) {
    return LeadingInteger(text.c_str());
}

}  // namespace tavtext

#endif
