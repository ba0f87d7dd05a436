// The maker's installation directories, read from its configuration keys in
// the registry of this machine or of another one.
#include "setup/tavixext.h"

#include "platform/RegistryReader.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const NT_VERSION_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const char* const CONFIGURATION_KEY = "Software\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration";
const char* const AGENT_KEY = "Software\\Veltra\\Quorvane\\VMA";

constexpr uint32_t VALUE_NAME_ROOM = 99;   // characters, the NUL included
constexpr uint32_t VALUE_DATA_ROOM = 264;  // bytes; the text's NUL goes behind them

// _stricmp in the "C" locale: only ASCII letters are folded.
bool EqualsIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

bool IsLocalMachine(const char* machine) {
    return machine == nullptr || *machine == '\0' || EqualsIgnoreCase(machine, "local");
}

// The code is the one the failing registry call returned: RegOpenKeyExA and
// RegConnectRegistryA do not set the thread's last error.
void PrintErrorText(long code) {
    printf("MS err(%ld):%s", code, tavplat::SystemErrorText(code).c_str());
}

void PrintKeyNotOpened(const char* path) {
    printf("Could not open registry key %s\n", path);
}

// Lists the values of key from position 0 on, each with the line format, until
// the first position that returns none (a value too large for the buffers
// included), and hands each to use(name, text).
template <typename Use>
void ListValues(tavplat::RegistryKey& key, const char* format, Use use) {
    std::vector<char> name(VALUE_NAME_ROOM + 1, '\0');
    std::vector<unsigned char> data(VALUE_DATA_ROOM + 1, 0);
    for (uint32_t index = 0;; ++index) {
        uint32_t nameLength = VALUE_NAME_ROOM;
        uint32_t dataLength = VALUE_DATA_ROOM;
        if (key.EnumValue(index, name.data(), &nameLength, data.data(), &dataLength) != tavplat::REG_OK)
            return;
        if (nameLength >= VALUE_NAME_ROOM || dataLength > VALUE_DATA_ROOM)
            return;
        name[nameLength] = '\0';
        data[dataLength] = 0;  // data filling all 264 bytes keeps every byte
        const char* text = reinterpret_cast<const char*>(data.data());
        printf(format, name.data(), text);
        use(name.data(), text);
    }
}

void TakeConfigurationPath(const char* name, const char* text) {
    if (EqualsIgnoreCase(name, "BinPath"))
        BinPath = text;
    else if (EqualsIgnoreCase(name, "DllPath"))
        DllPath = text;
    else if (EqualsIgnoreCase(name, "EtcPath"))
        EtcPath = text;
    else if (EqualsIgnoreCase(name, "LogPath"))
        LogPath = text;
}

// The agent key's "Directory" gives all four paths. Its values are searched for
// that name, since its position among them is not fixed.
void TakeAgentDirectory(tavplat::RegistryKey& key) {
    bool found = false;
    ListValues(key, " Veltra: key= %s, value=%s.\n", [&](const char* name, const char* text) {
        if (found || !EqualsIgnoreCase(name, "Directory"))
            return;
        found = true;
        BinPath = text;
        DllPath = text;
        EtcPath = text;
        LogPath = std::string(text) + "\\logs";
    });
}

}  // namespace

void ReadInstallPaths(tavplat::RegistryReader& registry, const char* machine) {
    tavplat::RegistryReader* reader = &registry;
    std::unique_ptr<tavplat::RegistryReader> remote;
    if (!IsLocalMachine(machine)) {
        // The whole name is kept, however long: a shortened name would reach another machine.
        const std::string name =
            (machine[0] == '\\' && machine[1] == '\\') ? std::string(machine) : "\\\\" + std::string(machine);
        long error = 0;
        remote = registry.ConnectRemote(name.c_str(), &error);
        if (!remote) {
            printf("Could not open remote registry %s\n", name.c_str() + 2);
            PrintErrorText(error);
            return;
        }
        reader = remote.get();
    }

    long error = 0;
    auto versionKey = reader->OpenKey(NT_VERSION_KEY, tavplat::KEY_QUERY, &error);
    if (!versionKey) {
        PrintKeyNotOpened(NT_VERSION_KEY);
        PrintErrorText(error);
        return;
    }
    ListValues(*versionKey, " NT: key= %s, value=%s.\n", [](const char*, const char*) {});
    versionKey.reset();

    auto configuration = reader->OpenKey(CONFIGURATION_KEY, tavplat::KEY_QUERY, &error);
    if (configuration) {
        ListValues(*configuration, " Veltra: key= %s, value=%s.\n", TakeConfigurationPath);
        return;
    }
    PrintKeyNotOpened(CONFIGURATION_KEY);
    PrintErrorText(error);

    auto agent = reader->OpenKey(AGENT_KEY, tavplat::KEY_QUERY);
    if (!agent) {
        PrintKeyNotOpened(AGENT_KEY);
        return;
    }
    TakeAgentDirectory(*agent);
}
