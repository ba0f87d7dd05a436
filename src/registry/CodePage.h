// Names and strings of the registry snapshot: kept in Unicode, shown in Windows-1252
// (and in UTF-8 for reports), compared in upper case.
#ifndef TAV_REGISTRY_CODEPAGE_H
#define TAV_REGISTRY_CODEPAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavreg::detail {

// The code point of one Windows-1252 byte; the five unassigned bytes stand for
// the C1 control of the same number, as Windows maps them.
uint16_t AnsiToUnicode(unsigned char c);

// One UTF-16 unit to one ANSI byte as the "A" functions convert it: a
// Windows-1252 character or its look-alike, else '?'.
unsigned char UnicodeToAnsi(uint32_t u);

// The Windows-1252 byte that is this character, or -1 when it has none.
int OwnAnsiByteBeyondLatin1(uint32_t u);
inline int OwnAnsiByte(uint32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
    return OwnAnsiByteBeyondLatin1(u);
}

// The upper case the registry compares names in.
uint16_t UpcaseUnit(uint16_t u);

// A name or string as the snapshot keeps it. Most text has a byte of its own
// for every character in Windows-1252 and is kept in those bytes, which is how
// the "A" functions show it; other text keeps its UTF-16LE units, so that
// names that differ in Unicode stay apart though they show alike.
struct RegText {
    std::string_view bytes;
    bool wide = false;

    size_t Units() const { return wide ? bytes.size() / 2 : bytes.size(); }
    uint16_t Unit(size_t i) const {
        if (!wide) return AnsiToUnicode(static_cast<unsigned char>(bytes[i]));
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
};

// The text as the "A" functions give it: one byte a unit, into out[0..Units()).
void CopyAnsi(RegText text, size_t units, char* out);

// UTF-16LE units kept as RegText: as Windows-1252 bytes in *scratch when each
// unit has its own byte, else the units themselves (an odd last byte dropped).
RegText TextFromUtf16(std::string_view utf16, std::string* scratch);

struct CaseTables {
    uint16_t upper[256];  // the upper case of each Windows-1252 byte's character
};

const CaseTables& Tables();

bool WideNamesEqual(RegText a, RegText b);
uint32_t WideNameHash(RegText s);

// Names are compared and hashed for every key and value read, so the common
// case of Windows-1252 names stays inline.
inline bool NamesEqual(RegText a, RegText b) {
    if (a.wide || b.wide) return WideNamesEqual(a, b);
    if (a.bytes.size() != b.bytes.size()) return false;
    const uint16_t* upper = Tables().upper;
    for (size_t i = 0; i < a.bytes.size(); ++i)
        if (upper[static_cast<unsigned char>(a.bytes[i])] != upper[static_cast<unsigned char>(b.bytes[i])]) return false;
    return true;
}

// Of the upper-cased units, so that a name hashes alike however it is kept.
inline uint32_t NameHash(RegText s) {
    if (s.wide) return WideNameHash(s);
    const uint16_t* upper = Tables().upper;
    uint32_t h = 2166136261u;
    for (unsigned char c : s.bytes) h = (h ^ upper[c]) * 16777619u;
    return h;
}

// Windows keeps sub-keys ordered by their upper-cased names.
bool NameSortsBefore(RegText a, RegText b);

}  // namespace tavreg::detail

namespace tavreg {

// Windows-1252 text, as the registry's "A" functions give it, in UTF-8 for
// readers outside Windows; the five unassigned bytes become the C1 controls
// of the same number, as Windows converts them.
std::string AnsiToUtf8(std::string_view text);

}  // namespace tavreg

#endif
