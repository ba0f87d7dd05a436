// Decoding of .reg file bytes into the text the parser reads, and of that text into RegText.
#ifndef TAV_REGISTRY_REGDECODE_H
#define TAV_REGISTRY_REGDECODE_H

#include "registry/CodePage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tavreg::detail {

// The parser reads Windows-1252 files in their own bytes. UTF-16 and UTF-8
// files it reads as UTF-8 with every UTF-16 unit encoded on its own, a
// surrogate in three bytes: the syntax characters stay single bytes, and every
// unit, paired or not, comes back as the file had it.

// Appends UTF-16LE bytes as such text; an odd last byte waits in *carry for
// the next piece.
void DecodeUtf16(const char* bytes, size_t count, std::string* carry, std::string* text);

// Appends UTF-8 bytes as such text; a character cut by the end of the piece
// waits in *carry. Malformed bytes become '?' each.
void DecodeUtf8(const char* bytes, size_t count, std::string* carry, std::string* text);

// How many bytes at the start of the text are ASCII.
inline size_t AsciiPrefix(std::string_view text) {
    size_t i = 0;
    uint64_t word;
    while (i + 8 <= text.size() && (std::memcpy(&word, text.data() + i, 8), (word & 0x8080808080808080ull) == 0)) i += 8;
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

// A name or string of such text, whose first `ascii` bytes are ASCII, as
// RegText: in *ansi when it fits Windows-1252, else in *units.
RegText TextFromDecoded(std::string_view text, size_t ascii, std::string* units, std::string* ansi);

// The UTF-16 units of such text.
size_t UnitsInDecoded(std::string_view text);

// The bytes of the character of such text that starts at pos.
std::string_view CharacterAt(std::string_view text, size_t pos);

}  // namespace tavreg::detail

#endif
