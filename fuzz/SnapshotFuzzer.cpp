// Fuzz target: a .reg snapshot. Whatever the loader keeps must read back as
// the Win32 registry would give it: every key it lists opens by its path, and
// every value reads the same by enumeration and by query.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/RegistryReader.h"
#include "registry/MemoryRegistry.h"
#include "text/Text.h"

namespace {

using namespace tavplat;

constexpr const char* SNAPSHOT_NAME = "snapshot.reg";
constexpr uint32_t KEY_NAME_CAPACITY = 256;  // 255 characters and the NUL

// A name beyond ASCII may have no exact ANSI spelling: as RegEnumValueA does on
// Windows, enumeration gives a best-fit one ("Ωmega" as "Omega") that a query
// or an open cannot find, or that finds another. Such inputs are checked only
// where the names are exact.
bool BeyondAscii(const std::string& bytes) {
    const bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || bytes[1] == '\0');
    if (!utf16) return std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
    for (size_t i = bytes[1] == '\0' ? 0 : 2; i + 1 < bytes.size(); i += 2)
        if ((bytes[i] & 0x80) != 0 || bytes[i + 1] != '\0') return true;
    return false;
}

bool namesExact = true;

// Every value of the key, by RegEnumValueA and again by RegQueryValueExA with
// the name enumeration gave. Capacities exceed anything the input can make.
void CheckValues(RegistryKey& key, const std::string& path, uint32_t capacity) {
    std::string name(capacity, '\0'), data(capacity, '\0'), queried(capacity, '\0');
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = capacity, dataLength = capacity;
        const long result = key.EnumValue(index, name.data(), &nameLength,
                                          reinterpret_cast<unsigned char*>(data.data()), &dataLength);
        if (result == REG_NO_MORE_ITEMS) return;
        FUZZ_CHECK(result == REG_OK, "value %u of [%s]: EnumValue gave %ld", index, path.c_str(), result);
        FUZZ_CHECK(std::strlen(name.c_str()) == nameLength, "value %u of [%s]: a name of %u characters holds a NUL",
                   index, path.c_str(), nameLength);
        uint32_t queriedLength = capacity;
        const long query =
            key.QueryValue(name.c_str(), reinterpret_cast<unsigned char*>(queried.data()), &queriedLength);
        const bool same = query == REG_OK && queriedLength == dataLength &&
                          queried.compare(0, dataLength, data, 0, dataLength) == 0;
        FUZZ_CHECK(same || !namesExact, "value \"%s\" of [%s]: %u bytes by enumeration, QueryValue gave %ld with %u",
                   name.c_str(), path.c_str(), dataLength, query, queriedLength);
    }
}

// The key at path opens; so does every sub-key it lists, recursively.
void CheckKey(RegistryReader& registry, const std::string& path, uint32_t capacity) {
    long error = REG_OK;
    auto key = registry.OpenKey(path.c_str(), KEY_QUERY | KEY_ENUM_SUB_KEYS, &error);
    if (!key && !namesExact) return;
    FUZZ_CHECK(key, "[%s] was listed but does not open (error %ld)", path.c_str(), error);
    CheckValues(*key, path, capacity);
    char name[KEY_NAME_CAPACITY];
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = KEY_NAME_CAPACITY;
        const long result = key->EnumKey(index, name, &nameLength);
        if (result == REG_NO_MORE_ITEMS) return;
        FUZZ_CHECK(result == REG_OK, "sub-key %u of [%s]: EnumKey gave %ld", index, path.c_str(), result);
        FUZZ_CHECK(nameLength > 0, "sub-key %u of [%s] has an empty name", index, path.c_str());
        FUZZ_CHECK(std::strlen(name) == nameLength, "sub-key %u of [%s]: a name of %u characters holds a NUL", index,
                   path.c_str(), nameLength);
        CheckKey(registry, path.empty() ? std::string(name) : path + "\\" + name, capacity);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tavreg::MemoryRegistry registry;
    const std::string bytes = tavfuzz::Text(data, size);
    namesExact = !BeyondAscii(bytes);
    const tavreg::LoadResult loaded = registry.LoadText(bytes, SNAPSHOT_NAME);
    for (const std::string& line : loaded.warnings)  // one line each, fit for a terminal
        FUZZ_CHECK(line.rfind(SNAPSHOT_NAME, 0) == 0 && !tavtext::HasControlCharacter(line),
                   "a warning names the file and holds no control character: \"%s\"", line.c_str());
    if (const std::string& error = loaded.error; !loaded.Ok()) {
        const std::string where = std::string(SNAPSHOT_NAME) + ":";
        FUZZ_CHECK(error.rfind(where, 0) == 0 && error.size() > where.size() && error.find('\n') == std::string::npos,
                   "a refused snapshot gets one line naming the file and the line, not \"%s\"", error.c_str());
    }
    // Keys read before a fault stay, so a refused snapshot is walked too.
    CheckKey(registry, "", static_cast<uint32_t>(size) + 2);
    return 0;
}
