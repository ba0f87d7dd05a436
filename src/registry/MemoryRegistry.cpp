// The in-memory HKEY_LOCAL_MACHINE and the .reg snapshot loader.
//
// Names and string data are held as the registry's "A" functions return them:
// in Windows-1252, string data with its terminating NULs. Values keep the order
// in which they were created; sub-keys are enumerated sorted by their
// upper-cased names, as Windows keeps them.
#include "registry/MemoryRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tavreg {

using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavplat::REG_ACCESS_DENIED;
using tavplat::REG_BAD_NETPATH;
using tavplat::REG_BAD_PATHNAME;
using tavplat::REG_FILE_NOT_FOUND;
using tavplat::REG_KEY_DELETED;
using tavplat::REG_MORE_DATA;
using tavplat::REG_NO_MORE_ITEMS;
using tavplat::REG_OK;
using tavplat::RegistryKey;
using tavplat::RegistryReader;

namespace {

// ---- Windows-1252 ------------------------------------------------------------

// Code points of the bytes 0x80 to 0x9F; the five unassigned bytes map to the
// C1 control of the same number, as Windows maps them.
constexpr uint16_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint16_t AnsiToUnicode(unsigned char c) {
    return (c >= 0x80 && c < 0xA0) ? CP1252_HIGH[c - 0x80] : c;
}

struct BestFit {
    uint16_t unit;
    unsigned char byte;
};

// Characters beyond Latin-1 that Windows-1252 holds, or writes as a look-alike
// ("best fit"), as Windows converts them for the "A" functions.
constexpr BestFit BEST_FIT[] = {
    {0x0100, 0x41}, {0x0101, 0x61}, {0x0102, 0x41}, {0x0103, 0x61}, {0x0104, 0x41}, {0x0105, 0x61},
    {0x0106, 0x43}, {0x0107, 0x63}, {0x0108, 0x43}, {0x0109, 0x63}, {0x010A, 0x43}, {0x010B, 0x63},
    {0x010C, 0x43}, {0x010D, 0x63}, {0x010E, 0x44}, {0x010F, 0x64}, {0x0110, 0xD0}, {0x0111, 0x64},
    {0x0112, 0x45}, {0x0113, 0x65}, {0x0114, 0x45}, {0x0115, 0x65}, {0x0116, 0x45}, {0x0117, 0x65},
    {0x0118, 0x45}, {0x0119, 0x65}, {0x011A, 0x45}, {0x011B, 0x65}, {0x011C, 0x47}, {0x011D, 0x67},
    {0x011E, 0x47}, {0x011F, 0x67}, {0x0120, 0x47}, {0x0121, 0x67}, {0x0122, 0x47}, {0x0123, 0x67},
    {0x0124, 0x48}, {0x0125, 0x68}, {0x0126, 0x48}, {0x0127, 0x68}, {0x0128, 0x49}, {0x0129, 0x69},
    {0x012A, 0x49}, {0x012B, 0x69}, {0x012C, 0x49}, {0x012D, 0x69}, {0x012E, 0x49}, {0x012F, 0x69},
    {0x0130, 0x49}, {0x0131, 0x69}, {0x0134, 0x4A}, {0x0135, 0x6A}, {0x0136, 0x4B}, {0x0137, 0x6B},
    {0x0139, 0x4C}, {0x013A, 0x6C}, {0x013B, 0x4C}, {0x013C, 0x6C}, {0x013D, 0x4C}, {0x013E, 0x6C},
    {0x0141, 0x4C}, {0x0142, 0x6C}, {0x0143, 0x4E}, {0x0144, 0x6E}, {0x0145, 0x4E}, {0x0146, 0x6E},
    {0x0147, 0x4E}, {0x0148, 0x6E}, {0x014C, 0x4F}, {0x014D, 0x6F}, {0x014E, 0x4F}, {0x014F, 0x6F},
    {0x0150, 0x4F}, {0x0151, 0x6F}, {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0154, 0x52}, {0x0155, 0x72},
    {0x0156, 0x52}, {0x0157, 0x72}, {0x0158, 0x52}, {0x0159, 0x72}, {0x015A, 0x53}, {0x015B, 0x73},
    {0x015C, 0x53}, {0x015D, 0x73}, {0x015E, 0x53}, {0x015F, 0x73}, {0x0160, 0x8A}, {0x0161, 0x9A},
    {0x0162, 0x54}, {0x0163, 0x74}, {0x0164, 0x54}, {0x0165, 0x74}, {0x0166, 0x54}, {0x0167, 0x74},
    {0x0168, 0x55}, {0x0169, 0x75}, {0x016A, 0x55}, {0x016B, 0x75}, {0x016C, 0x55}, {0x016D, 0x75},
    {0x016E, 0x55}, {0x016F, 0x75}, {0x0170, 0x55}, {0x0171, 0x75}, {0x0172, 0x55}, {0x0173, 0x75},
    {0x0174, 0x57}, {0x0175, 0x77}, {0x0176, 0x59}, {0x0177, 0x79}, {0x0178, 0x9F}, {0x0179, 0x5A},
    {0x017A, 0x7A}, {0x017B, 0x5A}, {0x017C, 0x7A}, {0x017D, 0x8E}, {0x017E, 0x9E}, {0x0180, 0x62},
    {0x0189, 0xD0}, {0x0191, 0x83}, {0x0192, 0x83}, {0x0197, 0x49}, {0x019A, 0x6C}, {0x019F, 0x4F},
    {0x01A0, 0x4F}, {0x01A1, 0x6F}, {0x01AB, 0x74}, {0x01AE, 0x54}, {0x01AF, 0x55}, {0x01B0, 0x75},
    {0x01B6, 0x7A}, {0x01C0, 0x7C}, {0x01C3, 0x21}, {0x01CD, 0x41}, {0x01CE, 0x61}, {0x01CF, 0x49},
    {0x01D0, 0x69}, {0x01D1, 0x4F}, {0x01D2, 0x6F}, {0x01D3, 0x55}, {0x01D4, 0x75}, {0x01D5, 0x55},
    {0x01D6, 0x75}, {0x01D7, 0x55}, {0x01D8, 0x75}, {0x01D9, 0x55}, {0x01DA, 0x75}, {0x01DB, 0x55},
    {0x01DC, 0x75}, {0x01DE, 0x41}, {0x01DF, 0x61}, {0x01E4, 0x47}, {0x01E5, 0x67}, {0x01E6, 0x47},
    {0x01E7, 0x67}, {0x01E8, 0x4B}, {0x01E9, 0x6B}, {0x01EA, 0x4F}, {0x01EB, 0x6F}, {0x01EC, 0x4F},
    {0x01ED, 0x6F}, {0x01F0, 0x6A}, {0x0261, 0x67}, {0x02B9, 0x27}, {0x02BA, 0x22}, {0x02BC, 0x27},
    {0x02C4, 0x5E}, {0x02C6, 0x88}, {0x02C8, 0x27}, {0x02C9, 0xAF}, {0x02CA, 0xB4}, {0x02CB, 0x60},
    {0x02CD, 0x5F}, {0x02DA, 0xB0}, {0x02DC, 0x98}, {0x0300, 0x60}, {0x0301, 0xB4}, {0x0302, 0x5E},
    {0x0303, 0x7E}, {0x0304, 0xAF}, {0x0305, 0xAF}, {0x0308, 0xA8}, {0x030A, 0xB0}, {0x030E, 0x22},
    {0x0327, 0xB8}, {0x0331, 0x5F}, {0x0332, 0x5F}, {0x037E, 0x3B}, {0x0393, 0x47}, {0x0398, 0x54},
    {0x03A3, 0x53}, {0x03A6, 0x46}, {0x03A9, 0x4F}, {0x03B1, 0x61}, {0x03B2, 0xDF}, {0x03B4, 0x64},
    {0x03B5, 0x65}, {0x03BC, 0xB5}, {0x03C0, 0x70}, {0x03C3, 0x73}, {0x03C4, 0x74}, {0x03C6, 0x66},
    {0x04BB, 0x68}, {0x0589, 0x3A}, {0x066A, 0x25}, {0x2000, 0x20}, {0x2001, 0x20}, {0x2002, 0x20},
    {0x2003, 0x20}, {0x2004, 0x20}, {0x2005, 0x20}, {0x2006, 0x20}, {0x2010, 0x2D}, {0x2011, 0x2D},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x2017, 0x3D}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82},
    {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84}, {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95},
    {0x2024, 0xB7}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2032, 0x27}, {0x2035, 0x60}, {0x2039, 0x8B},
    {0x203A, 0x9B}, {0x2044, 0x2F}, {0x2070, 0xB0}, {0x2074, 0x34}, {0x2075, 0x35}, {0x2076, 0x36},
    {0x2077, 0x37}, {0x2078, 0x38}, {0x207F, 0x6E}, {0x2080, 0x30}, {0x2081, 0x31}, {0x2082, 0x32},
    {0x2083, 0x33}, {0x2084, 0x34}, {0x2085, 0x35}, {0x2086, 0x36}, {0x2087, 0x37}, {0x2088, 0x38},
    {0x2089, 0x39}, {0x20A1, 0xA2}, {0x20A4, 0xA3}, {0x20A7, 0x50}, {0x20AC, 0x80}, {0x2102, 0x43},
    {0x2107, 0x45}, {0x210A, 0x67}, {0x210B, 0x48}, {0x210C, 0x48}, {0x210D, 0x48}, {0x210E, 0x68},
    {0x2110, 0x49}, {0x2111, 0x49}, {0x2112, 0x4C}, {0x2113, 0x6C}, {0x2115, 0x4E}, {0x2118, 0x50},
    {0x2119, 0x50}, {0x211A, 0x51}, {0x211B, 0x52}, {0x211C, 0x52}, {0x211D, 0x52}, {0x2122, 0x99},
    {0x2124, 0x5A}, {0x2128, 0x5A}, {0x212A, 0x4B}, {0x212B, 0xC5}, {0x212C, 0x42}, {0x212D, 0x43},
    {0x212E, 0x65}, {0x212F, 0x65}, {0x2130, 0x45}, {0x2131, 0x46}, {0x2133, 0x4D}, {0x2134, 0x6F},
    {0x2205, 0xD8}, {0x2212, 0x2D}, {0x2213, 0xB1}, {0x2215, 0x2F}, {0x2216, 0x5C}, {0x2217, 0x2A},
    {0x2218, 0xB0}, {0x2219, 0xB7}, {0x221A, 0x76}, {0x221E, 0x38}, {0x2223, 0x7C}, {0x2229, 0x6E},
    {0x2236, 0x3A}, {0x223C, 0x7E}, {0x2248, 0x98}, {0x2261, 0x3D}, {0x2264, 0x3D}, {0x2265, 0x3D},
    {0x226A, 0xAB}, {0x226B, 0xBB}, {0x22C5, 0xB7}, {0x2302, 0xA6}, {0x2303, 0x5E}, {0x2310, 0xAC},
    {0x2320, 0x28}, {0x2321, 0x29}, {0x2329, 0x3C}, {0x232A, 0x3E}, {0x2500, 0x2D}, {0x2502, 0xA6},
    {0x250C, 0x2B}, {0x2510, 0x2B}, {0x2514, 0x2B}, {0x2518, 0x2B}, {0x251C, 0x2B}, {0x2524, 0xA6},
    {0x252C, 0x2D}, {0x2534, 0x2D}, {0x253C, 0x2B}, {0x2550, 0x2D}, {0x2551, 0xA6}, {0x2552, 0x2B},
    {0x2553, 0x2B}, {0x2554, 0x2B}, {0x2555, 0x2B}, {0x2556, 0x2B}, {0x2557, 0x2B}, {0x2558, 0x2B},
    {0x2559, 0x2B}, {0x255A, 0x2B}, {0x255B, 0x2B}, {0x255C, 0x2B}, {0x255D, 0x2B}, {0x255E, 0xA6},
    {0x255F, 0xA6}, {0x2560, 0xA6}, {0x2561, 0xA6}, {0x2562, 0xA6}, {0x2563, 0xA6}, {0x2564, 0x2D},
    {0x2565, 0x2D}, {0x2566, 0x2D}, {0x2567, 0x2D}, {0x2568, 0x2D}, {0x2569, 0x2D}, {0x256A, 0x2B},
    {0x256B, 0x2B}, {0x256C, 0x2B}, {0x2580, 0xAF}, {0x2584, 0x5F}, {0x2588, 0xA6}, {0x258C, 0xA6},
    {0x2590, 0xA6}, {0x2591, 0xA6}, {0x2592, 0xA6}, {0x2593, 0xA6}, {0x25A0, 0xA6}, {0x263C, 0xA4},
    {0x2758, 0x7C}, {0x3000, 0x20}, {0x3008, 0x3C}, {0x3009, 0x3E}, {0x300A, 0xAB}, {0x300B, 0xBB},
    {0x301A, 0x5B}, {0x301B, 0x5D}, {0x30FB, 0xB7}, {0xFF01, 0x21}, {0xFF02, 0x22}, {0xFF03, 0x23},
    {0xFF04, 0x24}, {0xFF05, 0x25}, {0xFF06, 0x26}, {0xFF07, 0x27}, {0xFF08, 0x28}, {0xFF09, 0x29},
    {0xFF0A, 0x2A}, {0xFF0B, 0x2B}, {0xFF0C, 0x2C}, {0xFF0D, 0x2D}, {0xFF0E, 0x2E}, {0xFF0F, 0x2F},
    {0xFF10, 0x30}, {0xFF11, 0x31}, {0xFF12, 0x32}, {0xFF13, 0x33}, {0xFF14, 0x34}, {0xFF15, 0x35},
    {0xFF16, 0x36}, {0xFF17, 0x37}, {0xFF18, 0x38}, {0xFF19, 0x39}, {0xFF1A, 0x3A}, {0xFF1B, 0x3B},
    {0xFF1C, 0x3C}, {0xFF1D, 0x3D}, {0xFF1E, 0x3E}, {0xFF20, 0x40}, {0xFF21, 0x41}, {0xFF22, 0x42},
    {0xFF23, 0x43}, {0xFF24, 0x44}, {0xFF25, 0x45}, {0xFF26, 0x46}, {0xFF27, 0x47}, {0xFF28, 0x48},
    {0xFF29, 0x49}, {0xFF2A, 0x4A}, {0xFF2B, 0x4B}, {0xFF2C, 0x4C}, {0xFF2D, 0x4D}, {0xFF2E, 0x4E},
    {0xFF2F, 0x4F}, {0xFF30, 0x50}, {0xFF31, 0x51}, {0xFF32, 0x52}, {0xFF33, 0x53}, {0xFF34, 0x54},
    {0xFF35, 0x55}, {0xFF36, 0x56}, {0xFF37, 0x57}, {0xFF38, 0x58}, {0xFF39, 0x59}, {0xFF3A, 0x5A},
    {0xFF3B, 0x5B}, {0xFF3C, 0x5C}, {0xFF3D, 0x5D}, {0xFF3E, 0x5E}, {0xFF3F, 0x5F}, {0xFF40, 0x60},
    {0xFF41, 0x61}, {0xFF42, 0x62}, {0xFF43, 0x63}, {0xFF44, 0x64}, {0xFF45, 0x65}, {0xFF46, 0x66},
    {0xFF47, 0x67}, {0xFF48, 0x68}, {0xFF49, 0x69}, {0xFF4A, 0x6A}, {0xFF4B, 0x6B}, {0xFF4C, 0x6C},
    {0xFF4D, 0x6D}, {0xFF4E, 0x6E}, {0xFF4F, 0x6F}, {0xFF50, 0x70}, {0xFF51, 0x71}, {0xFF52, 0x72},
    {0xFF53, 0x73}, {0xFF54, 0x74}, {0xFF55, 0x75}, {0xFF56, 0x76}, {0xFF57, 0x77}, {0xFF58, 0x78},
    {0xFF59, 0x79}, {0xFF5A, 0x7A}, {0xFF5B, 0x7B}, {0xFF5C, 0x7C}, {0xFF5D, 0x7D}, {0xFF5E, 0x7E},
};

// One UTF-16 unit to one ANSI byte; what has no place in Windows-1252 becomes '?'.
unsigned char UnicodeToAnsi(uint32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<unsigned char>(u);
    if (u < 0xA0)
        return (u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D) ? static_cast<unsigned char>(u) : '?';
    const BestFit* end = BEST_FIT + sizeof BEST_FIT / sizeof BEST_FIT[0];
    const BestFit* found =
        std::lower_bound(BEST_FIT, end, u, [](const BestFit& entry, uint32_t unit) { return entry.unit < unit; });
    return (found != end && found->unit == u) ? found->byte : '?';
}

// The upper case the registry compares names in, for the characters of Windows-1252.
uint32_t UpcaseUnicode(uint32_t u) {
    if (u >= 'a' && u <= 'z') return u - 0x20;
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return u - 0x20;
    switch (u) {
    case 0x00B5: return 0x039C;  // micro sign
    case 0x00FF: return 0x0178;
    case 0x0161: return 0x0160;
    case 0x0153: return 0x0152;
    case 0x017E: return 0x017D;
    case 0x0192: return 0x0191;
    default: return u;
    }
}

struct CaseTables {
    unsigned char fold[256];  // a byte to the byte of its upper case (itself if none)
    unsigned char rank[256];  // position of a byte's upper case in code point order
};

CaseTables BuildCaseTables() {
    CaseTables t{};
    uint32_t upper[256];
    for (int b = 0; b < 256; ++b) upper[b] = UpcaseUnicode(AnsiToUnicode(static_cast<unsigned char>(b)));
    for (int b = 0; b < 256; ++b) {
        t.fold[b] = static_cast<unsigned char>(b);  // when its upper case is no Windows-1252 character
        for (int c = 0; c < 256; ++c)
            if (AnsiToUnicode(static_cast<unsigned char>(c)) == upper[b]) t.fold[b] = static_cast<unsigned char>(c);
    }
    std::vector<uint32_t> distinct(upper, upper + 256);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (int b = 0; b < 256; ++b)
        t.rank[b] = static_cast<unsigned char>(
            std::lower_bound(distinct.begin(), distinct.end(), upper[b]) - distinct.begin());
    return t;
}

const CaseTables& Tables() {
    static const CaseTables tables = BuildCaseTables();
    return tables;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const unsigned char* fold = Tables().fold;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])]) return false;
    return true;
}

// Windows keeps sub-keys ordered by their upper-cased names.
bool NameSortsBefore(std::string_view a, std::string_view b) {
    const unsigned char* rank = Tables().rank;
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ra = rank[static_cast<unsigned char>(a[i])];
        unsigned char rb = rank[static_cast<unsigned char>(b[i])];
        if (ra != rb) return ra < rb;
    }
    return a.size() < b.size();
}

uint32_t NameHash(std::string_view s) {
    const unsigned char* fold = Tables().fold;
    uint32_t h = 2166136261u;
    for (unsigned char c : s) h = (h ^ fold[c]) * 16777619u;
    return h;
}

// ---- the tree ------------------------------------------------------------------

constexpr size_t MAX_KEY_DEPTH = 512;      // as deep as a Windows registry tree goes
constexpr size_t MAX_KEY_NAME = 255;       // characters in one key name
constexpr long REG_INVALID_PARAMETER = 87;

bool IsStringType(uint32_t type) {
    return type == VALUE_SZ || type == VALUE_EXPAND_SZ || type == VALUE_MULTI_SZ;
}

// Names and data live in large blocks owned by the tree: a snapshot holds
// millions of small texts, and one allocation each would cost more than the
// parsing. Text replaced or deleted stays in its block until the tree goes.
class TextArena {
public:
    std::string_view Copy(std::string_view text) {
        if (text.empty()) return std::string_view();
        if (text.size() > left_) {
            size_t size = std::max(BLOCK_SIZE, text.size());
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            next_ = blocks_.back().get();
            left_ = size;
        }
        char* copy = next_;
        std::memcpy(copy, text.data(), text.size());
        next_ += text.size();
        left_ -= text.size();
        return std::string_view(copy, text.size());
    }

private:
    static constexpr size_t BLOCK_SIZE = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    size_t left_ = 0;
};

// Kept small: a snapshot holds millions.
struct Value {
    Value(std::string_view valueName, std::string_view valueData, uint32_t valueType)
        : namePtr(valueName.data()), dataPtr(valueData.data()), nameLength(static_cast<uint32_t>(valueName.size())),
          dataLength(static_cast<uint32_t>(valueData.size())), type(valueType) {}

    std::string_view Name() const { return std::string_view(namePtr, nameLength); }
    std::string_view Data() const { return std::string_view(dataPtr, dataLength); }  // as the "A" functions give it
    void SetData(std::string_view valueData) {
        dataPtr = valueData.data();
        dataLength = static_cast<uint32_t>(valueData.size());
    }

    const char* namePtr;
    const char* dataPtr;
    uint32_t nameLength;
    uint32_t dataLength;
    uint32_t type;
};

// A hash index over the names of a vector's items, made once the vector is
// long enough for a linear search to cost. Slots hold position + 1.
class NameIndex {
public:
    static constexpr size_t LINEAR_LIMIT = 16;

    template <class Items, class NameOf>
    long Find(const Items& items, std::string_view name, NameOf nameOf) {
        if (items.size() <= LINEAR_LIMIT) {
            for (size_t i = 0; i < items.size(); ++i)
                if (NamesEqual(nameOf(items[i]), name)) return static_cast<long>(i);
            return -1;
        }
        if (slots_.size() < items.size() * 2) Rebuild(items, nameOf);
        size_t mask = slots_.size() - 1;
        for (size_t s = NameHash(name) & mask;; s = (s + 1) & mask) {
            uint32_t slot = slots_[s];
            if (slot == 0) return -1;
            if (NamesEqual(nameOf(items[slot - 1]), name)) return static_cast<long>(slot - 1);
        }
    }

    // After an item was appended.
    template <class Items, class NameOf>
    void Appended(const Items& items, NameOf nameOf) {
        if (slots_.empty()) return;  // made when first needed
        if (slots_.size() < items.size() * 2) {
            Rebuild(items, nameOf);
            return;
        }
        Insert(NameHash(nameOf(items.back())), static_cast<uint32_t>(items.size()));
    }

    void Invalidate() { std::vector<uint32_t>().swap(slots_); }

private:
    template <class Items, class NameOf>
    void Rebuild(const Items& items, NameOf nameOf) {
        size_t size = 64;
        while (size < items.size() * 4) size *= 2;
        slots_.assign(size, 0);
        for (size_t i = 0; i < items.size(); ++i)
            Insert(NameHash(nameOf(items[i])), static_cast<uint32_t>(i + 1));
    }

    void Insert(uint32_t hash, uint32_t slotValue) {
        size_t mask = slots_.size() - 1;
        size_t s = hash & mask;
        while (slots_[s] != 0) s = (s + 1) & mask;
        slots_[s] = slotValue;
    }

    std::vector<uint32_t> slots_;
};

struct KeyNode {
    explicit KeyNode(std::string_view keyName) : name(keyName) {}

    std::string_view name;
    std::vector<std::unique_ptr<KeyNode>> children;
    NameIndex childIndex;
    std::vector<Value> values;
    NameIndex valueIndex;
    bool childrenSorted = true;
    bool deleted = false;

    long FindChildIndex(std::string_view childName) { return childIndex.Find(children, childName, ChildName); }

    KeyNode* FindChild(std::string_view childName) {
        long i = FindChildIndex(childName);
        return i < 0 ? nullptr : children[static_cast<size_t>(i)].get();
    }

    // childName lives in the tree's arena.
    KeyNode* AddChild(std::string_view childName) {
        if (!children.empty() && !NameSortsBefore(children.back()->name, childName)) childrenSorted = false;
        children.push_back(std::make_unique<KeyNode>(childName));
        childIndex.Appended(children, ChildName);
        return children.back().get();
    }

    void SortChildren() {
        if (childrenSorted) return;
        std::sort(children.begin(), children.end(),
                  [](const std::unique_ptr<KeyNode>& a, const std::unique_ptr<KeyNode>& b) {
                      return NameSortsBefore(a->name, b->name);
                  });
        childIndex.Invalidate();
        childrenSorted = true;
    }

    // The sub-key leaves the tree; open handles may still point at it.
    std::unique_ptr<KeyNode> DetachChild(std::string_view childName) {
        long i = FindChildIndex(childName);
        if (i < 0) return nullptr;
        std::unique_ptr<KeyNode> child = std::move(children[static_cast<size_t>(i)]);
        children.erase(children.begin() + i);
        childIndex.Invalidate();
        child->MarkDeleted();
        return child;
    }

    void MarkDeleted() {
        deleted = true;
        for (auto& child : children) child->MarkDeleted();
    }

    Value* FindValue(std::string_view valueName) {
        long i = valueIndex.Find(values, valueName, ValueName);
        return i < 0 ? nullptr : &values[static_cast<size_t>(i)];
    }

    // A value set again keeps its place in the enumeration order.
    void SetValue(TextArena& arena, std::string_view valueName, uint32_t type, std::string_view data) {
        if (Value* existing = FindValue(valueName)) {
            existing->type = type;
            existing->SetData(arena.Copy(data));
            return;
        }
        if (values.empty()) values.reserve(4);
        values.emplace_back(arena.Copy(valueName), arena.Copy(data), type);
        valueIndex.Appended(values, ValueName);
    }

    void RemoveValue(std::string_view valueName) {
        long i = valueIndex.Find(values, valueName, ValueName);
        if (i < 0) return;
        values.erase(values.begin() + i);
        valueIndex.Invalidate();
    }

    static std::string_view ChildName(const std::unique_ptr<KeyNode>& child) { return child->name; }
    static std::string_view ValueName(const Value& value) { return value.Name(); }
};

// HKEY_LOCAL_MACHINE with everything it holds. Open keys share it, so a key
// stays usable after its registry object is gone; deleted keys are kept aside
// for them.
struct Tree {
    TextArena arena;
    KeyNode root{"HKEY_LOCAL_MACHINE"};
    std::vector<std::unique_ptr<KeyNode>> deleted;
};

// Splits a path below HKEY_LOCAL_MACHINE into key names; empty names (doubled
// or trailing backslashes) are passed over, as the registry does.
template <class Visit>
bool ForEachKeyName(std::string_view path, Visit visit) {
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string_view::npos) end = path.size();
        if (end > pos && !visit(path.substr(pos, end - pos))) return false;
        pos = end + 1;
    }
    return true;
}

KeyNode* CreatePath(Tree& tree, std::string_view path) {
    KeyNode* node = &tree.root;
    size_t depth = 0;
    bool ok = ForEachKeyName(path, [&](std::string_view name) {
        if (++depth > MAX_KEY_DEPTH || name.size() > MAX_KEY_NAME) return false;
        KeyNode* child = node->FindChild(name);
        node = child ? child : node->AddChild(tree.arena.Copy(name));
        return true;
    });
    return ok ? node : nullptr;
}

KeyNode* FindPath(Tree& tree, std::string_view path) {
    KeyNode* node = &tree.root;
    bool ok = ForEachKeyName(path, [&](std::string_view name) {
        node = node->FindChild(name);
        return node != nullptr;
    });
    return ok ? node : nullptr;
}

void DeletePath(Tree& tree, std::string_view path) {
    size_t cut = path.find_last_not_of('\\');
    if (cut == std::string_view::npos) return;  // HKEY_LOCAL_MACHINE itself stays
    path = path.substr(0, cut + 1);
    size_t slash = path.rfind('\\');
    std::string_view parentPath = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (KeyNode* parent = FindPath(tree, parentPath))
        if (auto gone = parent->DetachChild(name)) tree.deleted.push_back(std::move(gone));
}

// ---- handles -------------------------------------------------------------------

// Copies data out as RegEnumValueA and RegQueryValueExA do: the whole of it or
// REG_MORE_DATA with the size needed. Unterminated string data gets a NUL after
// it when there is room, as the "A" functions add one.
long CopyData(const Value& value, unsigned char* data, uint32_t* dataLength) {
    uint32_t length = value.dataLength;
    if (data && !dataLength) return REG_INVALID_PARAMETER;
    long result = REG_OK;
    if (data) {
        if (length > *dataLength) {
            result = REG_MORE_DATA;
        } else {
            if (length) std::memcpy(data, value.dataPtr, length);
            if (IsStringType(value.type) && length && length < *dataLength && data[length - 1] != 0)
                data[length] = 0;
        }
    }
    if (dataLength) *dataLength = length;
    return result;
}

class MemoryKey final : public RegistryKey {
public:
    MemoryKey(std::shared_ptr<Tree> tree, KeyNode* node, unsigned access)
        : tree_(std::move(tree)), node_(node), access_(access) {}

    long EnumValue(uint32_t index, char* name, uint32_t* nameLength, unsigned char* data,
                   uint32_t* dataLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_QUERY)) return REG_ACCESS_DENIED;
        if (!name || !nameLength) return REG_INVALID_PARAMETER;
        if (index >= node_->values.size()) return REG_NO_MORE_ITEMS;
        const Value& value = node_->values[index];
        long result = CopyData(value, data, dataLength);
        if (result != REG_OK) return result;
        return CopyName(value.Name(), name, nameLength, true);
    }

    long EnumKey(uint32_t index, char* name, uint32_t* nameLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_ENUM_SUB_KEYS)) return REG_ACCESS_DENIED;
        if (!name || !nameLength) return REG_INVALID_PARAMETER;
        node_->SortChildren();
        if (index >= node_->children.size()) return REG_NO_MORE_ITEMS;
        return CopyName(node_->children[index]->name, name, nameLength, false);
    }

    long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_QUERY)) return REG_ACCESS_DENIED;
        const Value* value = node_->FindValue(name ? name : "");
        if (!value) return REG_FILE_NOT_FOUND;
        return CopyData(*value, data, dataLength);
    }

private:
    // The capacity counts the NUL. A value name that does not fit is copied
    // cut short, as RegEnumValueA leaves it; a key name is not copied.
    static long CopyName(std::string_view text, char* name, uint32_t* nameLength, bool copyCut) {
        uint32_t capacity = *nameLength;
        if (text.size() >= capacity) {
            if (copyCut && capacity) {
                std::memcpy(name, text.data(), capacity - 1);
                name[capacity - 1] = 0;
            }
            return REG_MORE_DATA;
        }
        if (!text.empty()) std::memcpy(name, text.data(), text.size());
        name[text.size()] = 0;
        *nameLength = static_cast<uint32_t>(text.size());
        return REG_OK;
    }

    std::shared_ptr<Tree> tree_;  // keeps node_ alive
    KeyNode* node_;
    unsigned access_;
};

std::unique_ptr<RegistryKey> OpenBelow(const std::shared_ptr<Tree>& tree, const char* path, unsigned access,
                                       long* error) {
    std::string_view rest = path ? path : "";
    long code = REG_OK;
    KeyNode* node = nullptr;
    if (!rest.empty() && rest.front() == '\\')
        code = REG_BAD_PATHNAME;
    else if (!(node = FindPath(*tree, rest)))
        code = REG_FILE_NOT_FOUND;
    if (error) *error = code;
    if (code != REG_OK) return nullptr;
    return std::make_unique<MemoryKey>(tree, node, access);
}

long RefuseRemote(const char* machine) {
    return (machine && *machine) ? REG_BAD_NETPATH : REG_OK;
}

// The local registry reached through ConnectRemote with no machine name.
class LocalView final : public RegistryReader {
public:
    explicit LocalView(std::shared_ptr<Tree> tree) : tree_(std::move(tree)) {}
    std::unique_ptr<RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        return OpenBelow(tree_, path, access, error);
    }
    std::unique_ptr<RegistryReader> ConnectRemote(const char* machine, long* error) override {
        long code = RefuseRemote(machine);
        if (error) *error = code;
        return code == REG_OK ? std::make_unique<LocalView>(tree_) : nullptr;
    }

private:
    std::shared_ptr<Tree> tree_;
};

// ---- the .reg loader -------------------------------------------------------------

const char HEADER_REGEDIT4[] = "REGEDIT4";
const char HEADER_VERSION5[] = "Windows Registry Editor Version 5.00";
const char ROOT_NAME[] = "HKEY_LOCAL_MACHINE";
const char* const OTHER_ROOTS[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_USERS",
                                   "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKEY_PERFORMANCE_DATA"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return s.substr(0, n);
}

struct HexTable {
    signed char value[256];
    HexTable() {
        for (int c = 0; c < 256; ++c)
            value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                       : -1);
    }
};

const HexTable HEX_TABLE;

int HexDigit(char c) { return HEX_TABLE.value[static_cast<unsigned char>(c)]; }

// Only blanks or a comment may follow the data of a value.
bool OnlyCommentLeft(std::string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == ';';
}

// The bytes of one UTF-16LE text to ANSI, a unit at a time, as the "A"
// functions convert; an odd last byte is not part of any character.
std::string Utf16ToAnsi(std::string_view bytes) {
    std::string out;
    out.resize(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        uint32_t unit = static_cast<unsigned char>(bytes[2 * i]) |
                        (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8);
        out[i] = static_cast<char>(UnicodeToAnsi(unit));
    }
    return out;
}

class RegFileParser {
public:
    RegFileParser(Tree& tree, std::string fileName) : tree_(tree), fileName_(std::move(fileName)) {}

    // Raw file bytes, in pieces of any size.
    bool Feed(const char* bytes, size_t count) {
        if (failed_) return false;
        if (encoding_ == Encoding::UNKNOWN) {
            pending_.append(bytes, count);
            if (pending_.size() < 3) return true;
            DetectEncoding();
            std::string start;
            start.swap(pending_);
            Decode(start.data(), start.size());
        } else {
            Decode(bytes, count);
        }
        return ProcessLines(false);
    }

    bool Finish() {
        if (failed_) return false;
        if (encoding_ == Encoding::UNKNOWN) {
            DetectEncoding();
            std::string start;
            start.swap(pending_);
            Decode(start.data(), start.size());
        }
        if (!carry_.empty()) {
            // A cut-off character at the end of the file.
            if (encoding_ == Encoding::UTF8) text_.push_back('?');
            carry_.clear();
        }
        if (!ProcessLines(true)) return false;
        if (state_ == State::HEADER) return Fail(lineNumber_ == 0 ? 1 : lineNumber_, "the file is empty");
        if (state_ == State::HEX_DATA) return Fail(lineNumber_, "hex data continued past the end of the file");
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    enum class Encoding { UNKNOWN, EIGHT_BIT, ANSI, UTF8, UTF16LE };
    enum class State { HEADER, LINES, HEX_DATA };

    // ---- decoding to Windows-1252 text --------------------------------------

    void DetectEncoding() {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(pending_.data());
        size_t n = pending_.size();
        if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
            encoding_ = Encoding::UTF16LE;
            pending_.erase(0, 2);
        } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
            encoding_ = Encoding::UTF8;
            pending_.erase(0, 3);
        } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
            encoding_ = Encoding::UNKNOWN;
            Fail(1, "UTF-16 big-endian text is not a registry file format (expected UTF-16LE)");
        } else if (n >= 2 && b[0] != 0 && b[1] == 0) {
            encoding_ = Encoding::UTF16LE;  // UTF-16LE without its byte order mark
        } else {
            // Windows-1252 or UTF-8: the header line decides.
            encoding_ = Encoding::EIGHT_BIT;
        }
    }

    void Decode(const char* bytes, size_t count) {
        switch (encoding_) {
        case Encoding::UTF16LE: DecodeUtf16(bytes, count); break;
        case Encoding::UTF8: DecodeUtf8(bytes, count); break;
        case Encoding::UNKNOWN: break;  // refused
        default: text_.append(bytes, count); break;
        }
    }

    void DecodeUtf16(const char* bytes, size_t count) {
        size_t i = 0;
        size_t start = text_.size();
        if (!carry_.empty() && count > 0) {
            uint32_t unit = static_cast<unsigned char>(carry_[0]) |
                            (static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 8);
            text_.push_back(static_cast<char>(UnicodeToAnsi(unit)));
            carry_.clear();
            i = 1;
            start = text_.size();
        }
        size_t units = (count - i) / 2;
        text_.resize(start + units);
        char* out = text_.data() + start;
        const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes + i);
        size_t k = 0;
        while (k < units) {
            // Four ASCII units at a time, the common case.
            uint64_t word;
            if (k + 4 <= units && (std::memcpy(&word, in + 2 * k, 8), (word & 0xFF80FF80FF80FF80ull) == 0)) {
                out[k] = static_cast<char>(in[2 * k]);
                out[k + 1] = static_cast<char>(in[2 * k + 2]);
                out[k + 2] = static_cast<char>(in[2 * k + 4]);
                out[k + 3] = static_cast<char>(in[2 * k + 6]);
                k += 4;
                continue;
            }
            out[k] = static_cast<char>(UnicodeToAnsi(in[2 * k] | (static_cast<uint32_t>(in[2 * k + 1]) << 8)));
            ++k;
        }
        i += units * 2;
        if (i < count) carry_.assign(1, bytes[i]);
    }

    // UTF-8 to UTF-16 units to ANSI; a character beyond the 16-bit plane takes
    // two units and so two '?'. Malformed bytes become '?' each.
    void DecodeUtf8(const char* bytes, size_t count) {
        std::string joined;
        if (!carry_.empty()) {
            joined = carry_ + std::string(bytes, count);
            carry_.clear();
            bytes = joined.data();
            count = joined.size();
        }
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
        size_t i = 0;
        while (i < count) {
            unsigned char c = b[i];
            if (c < 0x80) {
                text_.push_back(static_cast<char>(c));
                ++i;
                continue;
            }
            size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? (c < 0xF0 ? 3 : 0) : c >= 0xC2 ? 2 : 0;
            if (length == 0) {
                text_.push_back('?');
                ++i;
                continue;
            }
            if (i + length > count) {
                // Possibly a character cut by the piece boundary.
                bool prefixOk = true;
                for (size_t k = i + 1; k < count; ++k) prefixOk = prefixOk && (b[k] & 0xC0) == 0x80;
                if (prefixOk) {
                    carry_.assign(bytes + i, count - i);
                    return;
                }
            }
            uint32_t cp = c & (0xFF >> (length + 1));
            size_t k = 1;
            for (; k < length && i + k < count && (b[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (b[i + k] & 0x3F);
            bool overlong = (length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF));
            if (k < length || overlong || (cp >= 0xD800 && cp <= 0xDFFF)) {
                text_.push_back('?');
                i += k;
                continue;
            }
            if (cp >= 0x10000)
                text_.append("??");
            else
                text_.push_back(static_cast<char>(UnicodeToAnsi(cp)));
            i += length;
        }
    }

    // ---- lines ------------------------------------------------------------------

    bool ProcessLines(bool atEnd) {
        size_t pos = 0;
        while (pos < text_.size() && !failed_) {
            const char* text = text_.data();
            const size_t size = text_.size();
            const char* lf = static_cast<const char*>(std::memchr(text + pos, '\n', size - pos));
            size_t end = lf ? static_cast<size_t>(lf - text) : size;
            const char* cr = static_cast<const char*>(std::memchr(text + pos, '\r', end - pos));
            size_t next;
            if (cr) {
                end = static_cast<size_t>(cr - text);
                if (end + 1 < size)
                    next = end + 1 + (text[end + 1] == '\n' ? 1 : 0);
                else if (atEnd)
                    next = end + 1;
                else
                    break;  // a CR LF may be cut between pieces
            } else if (lf) {
                next = end + 1;
            } else if (atEnd) {
                next = size;  // the last line without its line end
            } else {
                break;
            }
            ++lineNumber_;
            HandleLine(std::string_view(text + pos, end - pos));
            pos = next;
            if (redecoded_) {
                // The header chose UTF-8: text_ now holds the rest, decoded afresh.
                redecoded_ = false;
                pos = 0;
            }
        }
        if (failed_) return false;
        text_.erase(0, pos);
        return true;
    }

    void HandleLine(std::string_view line) {
        switch (state_) {
        case State::HEADER: HandleHeader(line); break;
        case State::HEX_DATA: HandleHexLine(line); break;
        case State::LINES: HandleEntry(line); break;
        }
    }

    void HandleHeader(std::string_view line) {
        line = TrimRight(line);
        if (line == HEADER_REGEDIT4) {
            unicode_ = false;
            if (encoding_ == Encoding::EIGHT_BIT) encoding_ = Encoding::ANSI;
        } else if (line == HEADER_VERSION5) {
            unicode_ = true;
            if (encoding_ == Encoding::EIGHT_BIT) SwitchToUtf8();
        } else {
            Fail(lineNumber_, "not a registry file: the first line is neither \"REGEDIT4\" nor "
                              "\"Windows Registry Editor Version 5.00\"");
            return;
        }
        state_ = State::LINES;
    }

    // A 5.00 file without a byte order mark is UTF-8: decode what is buffered
    // after the header line again.
    void SwitchToUtf8() {
        encoding_ = Encoding::UTF8;
        size_t lineEnd = text_.find_first_of("\r\n");
        if (lineEnd == std::string::npos) {
            text_.clear();
            return;
        }
        size_t rest = lineEnd + 1;
        if (text_[lineEnd] == '\r' && rest < text_.size() && text_[rest] == '\n') ++rest;
        std::string raw = text_.substr(rest);
        text_.clear();
        DecodeUtf8(raw.data(), raw.size());
        redecoded_ = true;
    }

    void HandleEntry(std::string_view line) {
        line = TrimLeft(line);
        if (line.empty() || line.front() == ';') return;
        if (line.front() == '[') {
            HandleKeyLine(line);
        } else if (line.front() == '"' || line.front() == '@') {
            HandleValueLine(line);
        } else {
            Fail(lineNumber_, "unrecognised line (expected [key], \"name\"=data, @=data or a ; comment)");
        }
    }

    void HandleKeyLine(std::string_view line) {
        // The key ends at the last ']' (a key name may hold one); a comment may follow.
        size_t close = line.rfind(']');
        if (close == std::string_view::npos) {
            Fail(lineNumber_, "key line without its closing ']'");
            return;
        }
        if (!OnlyCommentLeft(line.substr(close + 1))) {
            Fail(lineNumber_, "text after the closing ']' of the key");
            return;
        }
        std::string_view path = line.substr(1, close - 1);
        bool deletion = !path.empty() && path.front() == '-';
        if (deletion) path.remove_prefix(1);
        size_t slash = path.find('\\');
        std::string_view root = path.substr(0, slash);
        std::string_view below = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (!NamesEqual(root, ROOT_NAME)) {
            for (const char* other : OTHER_ROOTS) {
                if (NamesEqual(root, other)) {
                    Fail(lineNumber_, std::string(other) +
                                          " is not part of a snapshot of the local machine (only HKEY_LOCAL_MACHINE)");
                    return;
                }
            }
            Fail(lineNumber_, "unknown root key \"" + std::string(root) + "\" (expected HKEY_LOCAL_MACHINE)");
            return;
        }
        if (!CheckKeyNames(below)) return;
        if (deletion) {
            if (below.find_first_not_of('\\') == std::string_view::npos) {
                Fail(lineNumber_, "HKEY_LOCAL_MACHINE itself cannot be deleted");
                return;
            }
            DeletePath(tree_, below);
            steps_.clear();
            current_ = nullptr;
            afterDeletion_ = true;
            return;
        }
        current_ = CreateKeyPath(below);
        afterDeletion_ = false;
    }

    // Creates the key and its parents. An export names sibling keys one after
    // another, so the keys shared with the previous key line are taken as found then.
    KeyNode* CreateKeyPath(std::string_view path) {
        size_t kept = 0;
        while (kept < steps_.size()) {
            size_t end = steps_[kept].end;
            if (end > path.size() || (end < path.size() && path[end] != '\\') ||
                path.compare(0, end, lastPath_, 0, end) != 0)
                break;
            ++kept;
        }
        steps_.resize(kept);
        KeyNode* node = kept ? steps_.back().node : &tree_.root;
        size_t pos = kept ? steps_.back().end : 0;
        while (pos < path.size()) {
            if (path[pos] == '\\') {
                ++pos;
                continue;
            }
            size_t end = std::min(path.find('\\', pos), path.size());
            std::string_view name = path.substr(pos, end - pos);
            KeyNode* child = node->FindChild(name);
            node = child ? child : node->AddChild(tree_.arena.Copy(name));
            steps_.push_back(PathStep{end, node});
            pos = end;
        }
        lastPath_.assign(path);
        return node;
    }

    bool CheckKeyNames(std::string_view path) {
        size_t depth = 0;
        bool longName = false;
        ForEachKeyName(path, [&](std::string_view name) {
            ++depth;
            longName = longName || name.size() > MAX_KEY_NAME;
            return true;
        });
        if (longName) return Fail(lineNumber_, "a key name is longer than 255 characters");
        if (depth > MAX_KEY_DEPTH) return Fail(lineNumber_, "the key path is deeper than 512 levels");
        return true;
    }

    void HandleValueLine(std::string_view line) {
        valueName_.clear();
        size_t pos = 1;
        if (line.front() == '"' && !ReadQuoted(line, &pos, &valueName_, "value name")) return;
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            Fail(lineNumber_, "expected '=' after the value name");
            return;
        }
        ++pos;
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
        std::string_view data = line.substr(pos);
        if (!current_ && !afterDeletion_) {
            Fail(lineNumber_, "value before the first [key] line");
            return;
        }
        ParseData(data);
    }

    // A quoted text with \\ and \" escapes; *pos is just after the opening quote.
    bool ReadQuoted(std::string_view line, size_t* pos, std::string* out, const char* what) {
        size_t i = *pos;
        while (i < line.size()) {
            size_t stop = i;
            while (stop < line.size() && line[stop] != '"' && line[stop] != '\\') ++stop;
            out->append(line.data() + i, stop - i);
            if (stop >= line.size()) break;
            if (line[stop] == '"') {
                *pos = stop + 1;
                return true;
            }
            // regedit knows \\, \" and \n; any other escape would be guessed at.
            char escaped = stop + 1 < line.size() ? line[stop + 1] : '\0';
            if (escaped == '\\' || escaped == '"') {
                out->push_back(escaped);
            } else if (escaped == 'n') {
                out->push_back('\n');
            } else if (stop + 1 < line.size()) {
                Fail(lineNumber_, std::string("unknown escape \\") + escaped + " in the " + what +
                                      " (known are \\\\, \\\" and \\n)");
                return false;
            } else {
                break;
            }
            i = stop + 2;
        }
        Fail(lineNumber_, std::string(what) + " without its closing quote");
        return false;
    }

    void ParseData(std::string_view data) {
        if (!data.empty() && data.front() == '-' && OnlyCommentLeft(data.substr(1))) {
            if (current_) current_->RemoveValue(valueName_);
            return;
        }
        if (!data.empty() && data.front() == '"') {
            scratch_.clear();
            size_t pos = 1;
            if (!ReadQuoted(data, &pos, &scratch_, "string")) return;
            if (!OnlyCommentLeft(data.substr(pos))) {
                Fail(lineNumber_, "text after the closing quote of the string");
                return;
            }
            scratch_.push_back('\0');
            Store(VALUE_SZ, scratch_);
            return;
        }
        if (data.substr(0, 6) == "dword:") {
            ParseDword(data.substr(6));
            return;
        }
        if (data.substr(0, 4) == "hex:") {
            StartHex(VALUE_BINARY, data.substr(4));
            return;
        }
        if (data.substr(0, 4) == "hex(") {
            size_t close = data.find(')');
            std::string_view digits =
                TrimLeft(data.substr(4, close == std::string_view::npos ? 0 : close - 4));
            uint64_t type = 0;
            bool ok = close != std::string_view::npos && !digits.empty() && digits.size() <= 8 &&
                      close + 1 < data.size() && data[close + 1] == ':';
            for (char c : digits) {
                ok = ok && HexDigit(c) >= 0;
                type = type * 16 + static_cast<uint64_t>(std::max(HexDigit(c), 0));
            }
            if (!ok) {
                Fail(lineNumber_, "malformed hex(type): prefix (expected hex(0) to hex(ffffffff) followed by ':')");
                return;
            }
            StartHex(static_cast<uint32_t>(type), data.substr(close + 2));
            return;
        }
        Fail(lineNumber_, "unknown value data (expected \"text\", dword:, hex:, hex(type): or -)");
    }

    void ParseDword(std::string_view digits) {
        digits = TrimLeft(digits);
        size_t n = 0;
        uint32_t number = 0;
        while (n < digits.size() && HexDigit(digits[n]) >= 0) {
            number = (number << 4) | static_cast<uint32_t>(HexDigit(digits[n]));
            ++n;
        }
        if (n == 0 || n > 8 || !OnlyCommentLeft(digits.substr(n))) {
            Fail(lineNumber_, "dword: needs 1 to 8 hex digits");
            return;
        }
        char bytes[4];
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
        Store(VALUE_DWORD, std::string_view(bytes, 4));
    }

    void StartHex(uint32_t type, std::string_view text) {
        hexType_ = type;
        hexBytes_.clear();
        expectByte_ = true;
        ParseHexPiece(text);
    }

    void HandleHexLine(std::string_view line) {
        line = TrimLeft(line);
        if (!line.empty() && line.front() == ';') return;  // a comment between continued lines
        if (line.empty()) {
            Fail(lineNumber_, "hex data continued onto an empty line");
            return;
        }
        ParseHexPiece(line);
    }

    // One line's part of hex data: bytes of 1 or 2 hex digits separated by
    // commas, blanks allowed before a byte; a backslash at the end continues
    // the data on the next line.
    void ParseHexPiece(std::string_view text) {
        size_t i = 0;
        bool continued = false;
        while (i < text.size()) {
            char c = text[i];
            if (IsBlank(c)) {
                size_t next = i;
                while (next < text.size() && IsBlank(text[next])) ++next;
                if (next == text.size() || text[next] == ';') break;
                if (!expectByte_ || HexDigit(text[next]) < 0) {
                    Fail(lineNumber_, "blank before a comma or backslash in hex data");
                    return;
                }
                i = next;
            } else if (c == ';') {
                break;
            } else if (c == ',') {
                if (expectByte_) {
                    Fail(lineNumber_, "empty byte in hex data (two commas)");
                    return;
                }
                expectByte_ = true;
                ++i;
            } else if (c == '\\') {
                if (!TrimLeft(text.substr(i + 1)).empty()) {
                    Fail(lineNumber_, "text after the continuation backslash in hex data");
                    return;
                }
                continued = true;
                break;
            } else if (HexDigit(c) >= 0) {
                if (!expectByte_) {
                    Fail(lineNumber_, "missing comma between bytes in hex data");
                    return;
                }
                int value = HexDigit(c);
                ++i;
                if (i < text.size() && HexDigit(text[i]) >= 0) value = value * 16 + HexDigit(text[i++]);
                if (i < text.size() && HexDigit(text[i]) >= 0) {
                    Fail(lineNumber_, "a byte in hex data has more than 2 hex digits");
                    return;
                }
                hexBytes_.push_back(static_cast<char>(value));
                expectByte_ = false;
            } else {
                Fail(lineNumber_, std::string("bad character '") + c + "' in hex data");
                return;
            }
        }
        if (continued) {
            state_ = State::HEX_DATA;
        } else {
            FinishHexValue();
        }
    }

    bool FinishHexValue() {
        state_ = State::LINES;
        std::string& bytes = hexBytes_;
        // String types hold UTF-16 in 5.00 files and ANSI in REGEDIT4 files;
        // regedit ends a string that lacks its NUL with one.
        if (IsStringType(hexType_)) {
            if (unicode_) bytes = Utf16ToAnsi(bytes);
            if (!bytes.empty() && bytes.back() != '\0') bytes.push_back('\0');
        }
        Store(hexType_, bytes);
        return !failed_;
    }

    void Store(uint32_t type, std::string_view data) {
        if (data.size() > UINT32_MAX) {
            Fail(lineNumber_, "the value's data is larger than 4 GB");
            return;
        }
        if (current_) current_->SetValue(tree_.arena, valueName_, type, data);
    }

    bool Fail(size_t line, const std::string& what) {
        if (!failed_) error_ = fileName_ + ":" + std::to_string(line) + ": " + what;
        failed_ = true;
        return false;
    }

    Tree& tree_;
    std::string fileName_;
    std::string error_;
    bool failed_ = false;

    Encoding encoding_ = Encoding::UNKNOWN;
    std::string pending_;  // bytes before the encoding is known
    std::string carry_;    // an incomplete character between pieces
    std::string text_;     // decoded text not yet split into lines
    bool redecoded_ = false;  // text_ was replaced while splitting lines
    size_t lineNumber_ = 0;

    State state_ = State::HEADER;
    bool unicode_ = false;
    KeyNode* current_ = nullptr;
    bool afterDeletion_ = false;
    struct PathStep {
        size_t end;  // where the key's name ends in lastPath_
        KeyNode* node;
    };
    std::string lastPath_;  // of the previous key line
    std::vector<PathStep> steps_;
    std::string valueName_;
    std::string scratch_;  // a string value's data
    uint32_t hexType_ = 0;
    std::string hexBytes_;
    bool expectByte_ = true;
};

}  // namespace

// ---- MemoryRegistry ------------------------------------------------------------

struct MemoryRegistry::Node {
    std::shared_ptr<Tree> tree = std::make_shared<Tree>();
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

bool MemoryRegistry::LoadFile(const std::string& path, std::string* error) {
    // Snapshot paths are the host's own, not Windows paths inside the system.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    RegFileParser parser(*root_->tree, path);
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got > 0 && !parser.Feed(buffer.data(), got)) {
            ok = false;
            break;
        }
        if (got < buffer.size()) break;
    }
    bool readFault = std::ferror(file) != 0;
    std::fclose(file);
    if (ok && readFault) {
        if (error) *error = path + ": read error";
        return false;
    }
    if (ok) ok = parser.Finish();
    if (!ok && error) *error = parser.Error();
    return ok;
}

bool MemoryRegistry::LoadText(const std::string& bytes, const std::string& name, std::string* error) {
    RegFileParser parser(*root_->tree, name);
    bool ok = parser.Feed(bytes.data(), bytes.size()) && parser.Finish();
    if (!ok && error) *error = parser.Error();
    return ok;
}

void MemoryRegistry::CreateKey(const std::string& path) { CreatePath(*root_->tree, path); }

void MemoryRegistry::SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                              const std::vector<unsigned char>& data) {
    if (KeyNode* key = CreatePath(*root_->tree, keyPath))
        key->SetValue(root_->tree->arena, name, type,
                      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

void MemoryRegistry::SetString(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (KeyNode* key = CreatePath(*root_->tree, keyPath))
        key->SetValue(root_->tree->arena, name, VALUE_SZ, std::string_view(text.c_str(), text.size() + 1));
}

void MemoryRegistry::DeleteKey(const std::string& path) { DeletePath(*root_->tree, path); }

void MemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    if (KeyNode* key = FindPath(*root_->tree, keyPath)) key->RemoveValue(name);
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(const char* path, unsigned access, long* error) {
    return OpenBelow(root_->tree, path, access, error);
}

std::unique_ptr<RegistryReader> MemoryRegistry::ConnectRemote(const char* machine, long* error) {
    long code = RefuseRemote(machine);
    if (error) *error = code;
    return code == REG_OK ? std::make_unique<LocalView>(root_->tree) : nullptr;
}

}  // namespace tavreg
