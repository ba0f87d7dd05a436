// Names and strings of the registry snapshot: kept in Unicode, shown in Windows-1252, compared in upper case.
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

// Names are compared and hashed for every key and value read, so these stay
// inline, with the common case of two Windows-1252 names first.
inline bool NamesEqual(RegText a, RegText b) {
    if (a.Units() != b.Units()) return false;
    const uint16_t* upper = Tables().upper;
    if (!a.wide && !b.wide) {
        for (size_t i = 0; i < a.bytes.size(); ++i)
            if (upper[static_cast<unsigned char>(a.bytes[i])] != upper[static_cast<unsigned char>(b.bytes[i])])
                return false;
        return true;
    }
    for (size_t i = 0; i < a.Units(); ++i)
        if (UpcaseUnit(a.Unit(i)) != UpcaseUnit(b.Unit(i))) return false;
    return true;
}

inline uint32_t NameHash(RegText s) {
    uint32_t h = 2166136261u;
    if (!s.wide) {
        const uint16_t* upper = Tables().upper;
        for (unsigned char c : s.bytes) h = (h ^ upper[c]) * 16777619u;
    } else {
        for (size_t i = 0; i < s.Units(); ++i) h = (h ^ UpcaseUnit(s.Unit(i))) * 16777619u;
    }
    return h;
}

// Windows keeps sub-keys ordered by their upper-cased names.
bool NameSortsBefore(RegText a, RegText b);

}  // namespace tavreg::detail

#endif
