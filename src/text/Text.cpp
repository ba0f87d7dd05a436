// Small text helpers shared by every layer.
#include "text/Text.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace tavtext {

namespace {

// The character classes take unsigned values: a negative char is undefined there.
int LowerByte(char c) {
    return std::tolower(static_cast<unsigned char>(c));
}

}  // namespace

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const int difference = LowerByte(a[i]) - LowerByte(b[i]);
        if (difference != 0)
            return difference;
    }
    const int nextA = common < a.size() ? LowerByte(a[common]) : 0;
    const int nextB = common < b.size() ? LowerByte(b[common]) : 0;
    return nextA - nextB;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareIgnoringCase(a, b) == 0;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(LowerByte(c));
    return lower;
}

std::string_view TrimLeft(std::string_view text, std::string_view set) {
    const size_t first = text.find_first_not_of(set);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimRight(std::string_view text, std::string_view set) {
    const size_t last = text.find_last_not_of(set);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text, std::string_view set) {
    return TrimRight(TrimLeft(text, set), set);
}

bool HasControlCharacter(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

bool ReadLine(FILE* stream, std::string* line) {
    line->clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(stream)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line->push_back(static_cast<char>(c));
    }
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return any;
}

bool NextLine(std::string_view text, size_t* position, std::string_view* line) {
    if (*position >= text.size())
        return false;
    size_t end = text.find('\n', *position);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view found = text.substr(*position, end - *position);
    if (!found.empty() && found.back() == '\r')
        found.remove_suffix(1);
    *line = found;
    *position = end + 1;
    return true;
}

long FormatInto(std::string& buffer, const char* format, va_list args) {
    if (format == nullptr)
        return -1;
    if (buffer.size() < 256)
        buffer.resize(256);
    va_list retry;
    va_copy(retry, args);
    int needed = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    if (needed >= 0 && static_cast<size_t>(needed) >= buffer.size()) {
        buffer.resize(static_cast<size_t>(needed) + 1);
        needed = std::vsnprintf(buffer.data(), buffer.size(), format, retry);
    }
    va_end(retry);
    return needed;
}

std::string FormatV(const char* format, va_list args) {
    std::string text;
    const long length = FormatInto(text, format, args);
    if (length < 0)
        return std::string();
    text.resize(static_cast<size_t>(length));
    return text;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

int LeadingInteger(const char* text) {
    if (text == nullptr)
        return 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

}  // namespace tavtext
