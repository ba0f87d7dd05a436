// Decoding of .reg file bytes into the text the parser reads, and of that text into RegText.
#include "registry/RegDecode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tavreg::detail {

namespace {

// One unit in one to three bytes; returns the bytes written.
size_t PutUnit(uint32_t unit, char* out) {
    if (unit < 0x80) {
        out[0] = static_cast<char>(unit);
        return 1;
    }
    if (unit < 0x800) {
        out[0] = static_cast<char>(0xC0 | (unit >> 6));
        out[1] = static_cast<char>(0x80 | (unit & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (unit >> 12));
    out[1] = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (unit & 0x3F));
    return 3;
}

void AppendUnit(uint32_t unit, std::string* text) {
    char bytes[3];
    text->append(bytes, PutUnit(unit, bytes));
}

// The unit of the character of decoded text that starts at pos, and in
// *length its bytes (fewer than its lead byte says when the text ends first).
uint32_t UnitAt(std::string_view text, size_t pos, size_t* length) {
    auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[pos + k])); };
    uint32_t lead = byte(0);
    size_t want = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : 3, n = 1;
    while (n < want && pos + n < text.size() && (byte(n) & 0xC0) == 0x80) ++n;
    *length = n;
    if (n == 3) return ((lead & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    if (n == 2) return ((lead & 0x1F) << 6) | (byte(1) & 0x3F);
    return lead;
}

}  // namespace

void DecodeUtf16(const char* bytes, size_t count, std::string* carry, std::string* text) {
    size_t i = 0;
    if (!carry->empty() && count > 0) {
        AppendUnit(static_cast<unsigned char>((*carry)[0]) | (static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 8),
                   text);
        carry->clear();
        i = 1;
    }
    const size_t units = (count - i) / 2;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes + i);
    const size_t start = text->size();
    size_t room = units;  // a byte a unit, grown as longer units come
    text->resize(start + room);
    char* out = text->data() + start;
    size_t written = 0, k = 0;
    while (k < units) {
        // Four ASCII units at a time, the common case.
        uint64_t word;
        if (k + 4 <= units && (std::memcpy(&word, in + 2 * k, 8), (word & 0xFF80FF80FF80FF80ull) == 0)) {
            out[written] = static_cast<char>(in[2 * k]);
            out[written + 1] = static_cast<char>(in[2 * k + 2]);
            out[written + 2] = static_cast<char>(in[2 * k + 4]);
            out[written + 3] = static_cast<char>(in[2 * k + 6]);
            written += 4;
            k += 4;
            continue;
        }
        uint32_t unit = in[2 * k] | (static_cast<uint32_t>(in[2 * k + 1]) << 8);
        if (unit >= 0x80 && written + 3 + (units - k - 1) > room) {
            room = written + (units - k) + 2 * std::min<size_t>(units - k, 4096);
            text->resize(start + room);
            out = text->data() + start;
        }
        written += PutUnit(unit, out + written);
        ++k;
    }
    text->resize(start + written);
    i += units * 2;
    if (i < count) carry->assign(1, bytes[i]);
}

// A character beyond the 16-bit plane becomes its two surrogates.
void DecodeUtf8(const char* bytes, size_t count, std::string* carry, std::string* text) {
    std::string joined;
    if (!carry->empty()) {
        joined = *carry + std::string(bytes, count);
        carry->clear();
        bytes = joined.data();
        count = joined.size();
    }
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < count) {
        size_t plain = i;
        while (plain < count && b[plain] < 0x80) ++plain;
        text->append(bytes + i, plain - i);
        i = plain;
        if (i >= count) break;
        unsigned char c = b[i];
        size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? (c < 0xF0 ? 3 : 0) : c >= 0xC2 ? 2 : 0;
        if (length == 0) {
            text->push_back('?');
            ++i;
            continue;
        }
        if (i + length > count) {
            // Possibly a character cut by the piece boundary.
            bool prefixOk = true;
            for (size_t k = i + 1; k < count; ++k) prefixOk = prefixOk && (b[k] & 0xC0) == 0x80;
            if (prefixOk) {
                carry->assign(bytes + i, count - i);
                return;
            }
        }
        uint32_t cp = c & (0xFF >> (length + 1));
        size_t k = 1;
        for (; k < length && i + k < count && (b[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (b[i + k] & 0x3F);
        bool overlong = (length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        if (k < length || overlong || (cp >= 0xD800 && cp <= 0xDFFF)) {
            text->push_back('?');
            i += k;
            continue;
        }
        if (cp >= 0x10000) {
            AppendUnit(0xD800 + ((cp - 0x10000) >> 10), text);
            AppendUnit(0xDC00 + ((cp - 0x10000) & 0x3FF), text);
        } else {
            text->append(bytes + i, length);
        }
        i += length;
    }
}

// Converted to Windows-1252 on the way; to UTF-16 units only when a
// character has no byte there.
RegText TextFromDecoded(std::string_view text, size_t ascii, std::string* units, std::string* ansi) {
    size_t i = ascii, length;
    ansi->resize(text.size());  // never longer than the text
    char* out = ansi->data();
    std::memcpy(out, text.data(), i);
    size_t written = i;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int byte = c < 0x80 ? (length = 1, c) : OwnAnsiByte(UnitAt(text, i, &length));
        if (byte < 0) break;
        out[written++] = static_cast<char>(byte);
        i += length;
    }
    if (i == text.size()) {
        ansi->resize(written);
        return RegText{*ansi, false};
    }
    units->clear();
    for (i = 0; i < text.size(); i += length) {
        uint32_t unit = UnitAt(text, i, &length);
        units->push_back(static_cast<char>(unit & 0xFF));
        units->push_back(static_cast<char>(unit >> 8));
    }
    return RegText{*units, true};
}

size_t UnitsInDecoded(std::string_view text) {
    size_t units = 0;
    for (unsigned char c : text) units += (c & 0xC0) != 0x80;
    return units;
}

std::string_view CharacterAt(std::string_view text, size_t pos) {
    size_t length;
    UnitAt(text, pos, &length);
    return text.substr(pos, length);
}

}  // namespace tavreg::detail
