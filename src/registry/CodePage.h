// Windows-1252 for the registry snapshot: conversion from UTF-16 and to UTF-8, and the case rules of names.
#ifndef TAV_REGISTRY_CODEPAGE_H
#define TAV_REGISTRY_CODEPAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavreg::detail {

// One UTF-16 unit to one ANSI byte; what has no place in Windows-1252 becomes '?'.
unsigned char UnicodeToAnsi(uint32_t u);

// The bytes of one UTF-16LE text to ANSI, a unit at a time, as the "A"
// functions convert; an odd last byte is not part of any character.
std::string Utf16ToAnsi(std::string_view bytes);

struct CaseTables {
    unsigned char fold[256];  // a byte to the byte of its upper case (itself if none)
    unsigned char rank[256];  // position of a byte's upper case in code point order
};

const CaseTables& Tables();

// Names are compared and hashed for every key and value read, so these two
// stay inline.
inline bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const unsigned char* fold = Tables().fold;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])]) return false;
    return true;
}

inline uint32_t NameHash(std::string_view s) {
    const unsigned char* fold = Tables().fold;
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ fold[c]) * 16777619u;
    return h;
}

// Windows keeps sub-keys ordered by their upper-cased names.
bool NameSortsBefore(std::string_view a, std::string_view b);

}  // namespace tavreg::detail

namespace tavreg {

// Windows-1252 text, as the registry's "A" functions give it, in UTF-8 for
// readers outside Windows; the five unassigned bytes become the C1 controls
// of the same number, as Windows converts them.
std::string AnsiToUtf8(std::string_view text);

}  // namespace tavreg

#endif
