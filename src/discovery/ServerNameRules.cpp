// The rules of server names: Windows file names, checked on every platform.
#include "discovery/ServerNameRules.h"

#include <algorithm>
#include <unordered_map>

#include "discovery/ServerRecord.h"
#include "machine/ValuePolicy.h"
#include "registry/CodePage.h"
#include "text/Text.h"

namespace tavdiscovery {

namespace {

// Characters Windows refuses in a file name, and those a batch file or the
// agent's registry key cannot carry as they are.
constexpr std::string_view REFUSED_CHARACTERS = "<>:\"/|?*%^&";

constexpr std::string_view DEVICE_NAMES[] = {"CON", "PRN", "AUX", "NUL"};
constexpr std::string_view NUMBERED_DEVICES[] = {"COM", "LPT"};

// CON, or CON.txt: Windows opens the device for either.
bool IsDeviceName(std::string_view part) {
    const std::string_view stem = part.substr(0, part.find('.'));
    for (std::string_view device : DEVICE_NAMES)
        if (tavtext::EqualsIgnoringCase(stem, device)) return true;
    for (std::string_view device : NUMBERED_DEVICES)
        if (stem.size() == 4 && tavtext::StartsWithIgnoringCase(stem, device) && stem[3] >= '1' && stem[3] <= '9')
            return true;
    return false;
}

// The five bytes that Windows-1252 leaves unassigned come back as C1 controls.
bool IsAnsiCharacter(unsigned char c) {
    const uint16_t unit = tavreg::detail::AnsiToUnicode(c);
    return unit < 0x80 || unit >= 0xA0;
}

std::string PartRefusal(std::string_view part) {
    if (part.empty()) return "a part between backslashes is empty";
    if (part == "." || part == "..") return "a part is \"" + std::string(part) + "\"";
    if (part.back() == '.' || part.back() == ' ') return "a part ends in a dot or a blank";
    if (IsDeviceName(part)) return "\"" + std::string(part) + "\" is a device name on Windows";
    return std::string();
}

}  // namespace

std::string NameRefusal(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (const char* why = tavmachine::ValueRefusal(name)) return std::string("the name: ") + why;
    for (const char c : name) {
        if (REFUSED_CHARACTERS.find(c) != std::string_view::npos)
            return std::string("the name holds '") + c + "', which a file name cannot hold";
        if (!IsAnsiCharacter(static_cast<unsigned char>(c)))
            return "the name holds a character that the ANSI code page lacks";
    }
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find('\\', start), name.size());
        if (std::string why = PartRefusal(name.substr(start, end - start)); !why.empty()) return why;
        if (end == name.size()) return std::string();
        start = end + 1;
    }
}

std::string ServerRefusal(const CServerFields& server) {
    if (std::string why = NameRefusal(server.GetServerName()); !why.empty()) return why;
    if (const char* why = tavmachine::ValueRefusal(server.GetClusterServer()))
        return std::string("the cluster server name: ") + why;
    return std::string();
}

std::string FileNameKey(std::string_view name) {
    const uint16_t* upper = tavreg::detail::Tables().upper;
    std::string key;
    key.reserve(2 * name.size());
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find('\\', start), name.size());
        const std::string_view part = tavtext::TrimRight(name.substr(start, end - start), ". ");
        for (const char c : part) {
            const uint16_t unit = upper[static_cast<unsigned char>(c)];
            key += static_cast<char>(unit >> 8);
            key += static_cast<char>(unit & 0xFF);
        }
        if (end == name.size()) return key;
        key += std::string_view("\0\\", 2);  // the backslash's own unit
        start = end + 1;
    }
}

std::optional<NameCollision> FindNameCollision(const std::vector<std::string>& names) {
    std::unordered_map<std::string, size_t> seen;
    for (size_t i = 0; i < names.size(); ++i) {
        const auto [at, added] = seen.emplace(FileNameKey(names[i]), i);
        if (!added) return NameCollision{at->second, i};
    }
    return std::nullopt;
}

std::string CollisionMessage(const std::string& first, const std::string& second) {
    return "The servers '" + first + "' and '" + second +
           "' would share their files: Windows does not tell the names apart";
}

}  // namespace tavdiscovery
