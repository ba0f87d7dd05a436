// The maker's installation directories, read from its configuration keys in
// the registry of this machine or of another one.
#include "machine/InstallPaths.h"

#include <cstdint>
#include <memory>
#include <string>

#include "machine/RegistryValues.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"

namespace {

const char* const NT_VERSION_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const char* const CONFIGURATION_KEY = "Software\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration";
const char* const AGENT_KEY = "Software\\Veltra\\Quorvane\\VMA";

constexpr uint32_t VALUE_NAME_ROOM = 99;   // characters, the NUL included
constexpr uint32_t VALUE_DATA_ROOM = 264;  // bytes; the text's NUL goes behind them

using tavtext::EqualsIgnoringCase;

bool IsLocalMachine(const char* machine) {
    return machine == nullptr || *machine == '\0' || EqualsIgnoringCase(machine, "local");
}

// The code is the one the failing registry call returned: RegOpenKeyExA and
// RegConnectRegistryA do not set the thread's last error.
void TellErrorText(CReport& report, long code) {
    report.ConsoleF("MS err(%ld):%s", code, tavplat::SystemErrorText(code).c_str());
}

// The key in the 64-bit view when it is there, else in the 32-bit view (one
// view only on a machine that has one). A failure gives the first view's code.
std::unique_ptr<tavplat::RegistryKey> OpenInViews(tavplat::RegistryReader& reader, const char* path,
                                                  long* error = nullptr) {
    long firstCode = tavplat::REG_OK;
    bool first = true;
    for (const tavmachine::RegistryView& view : tavmachine::ViewsOf(reader)) {
        long code = tavplat::REG_OK;
        auto key = reader.OpenKey(path, tavplat::KEY_QUERY | view.access, &code);
        if (first)
            firstCode = code;
        first = false;
        if (key) {
            if (error) *error = code;
            return key;
        }
    }
    if (error) *error = firstCode;
    return nullptr;
}

void TellKeyNotOpened(CReport& report, const char* path) {
    report.ConsoleF("Could not open registry key %s\n", path);
}

// Lists the values of key from position 0 on, each with the line format, until
// the first position that returns none (a value too large for the buffers
// included), and hands each to use(name, text).
template <typename Use>
void ListValues(tavplat::RegistryKey& key, CReport& report, const char* format, Use use) {
    tavmachine::ForEachValue(key, VALUE_NAME_ROOM, VALUE_DATA_ROOM, [&](const tavmachine::RegValue& value) {
        report.ConsoleF(format, value.name.c_str(), value.text.c_str());
        use(value.name, value.text);
        return true;
    });
}

void TakeConfigurationPath(InstallPaths& paths, const std::string& name, const std::string& text) {
    if (EqualsIgnoringCase(name, "BinPath"))
        paths.bin = text;
    else if (EqualsIgnoringCase(name, "DllPath"))
        paths.dll = text;
    else if (EqualsIgnoringCase(name, "EtcPath"))
        paths.etc = text;
    else if (EqualsIgnoringCase(name, "LogPath"))
        paths.log = text;
}

// The agent key's "Directory" gives all four paths. Its values are searched for
// that name, since its position among them is not fixed.
void TakeAgentDirectory(tavplat::RegistryKey& key, CReport& report, InstallPaths& paths) {
    bool found = false;
    ListValues(key, report, " Veltra: key= %s, value=%s.\n", [&](const std::string& name, const std::string& text) {
        if (found || !EqualsIgnoringCase(name, "Directory"))
            return;
        found = true;
        paths.bin = text;
        paths.dll = text;
        paths.etc = text;
        paths.log = text + "\\logs";
    });
}

}  // namespace

InstallPaths ReadInstallPaths(tavplat::RegistryReader& registry, const char* machine, CReport& report) {
    InstallPaths paths;
    tavplat::RegistryReader* reader = &registry;
    std::unique_ptr<tavplat::RegistryReader> remote;
    if (!IsLocalMachine(machine)) {
        // The whole name is kept, however long: a shortened name would reach another machine.
        const std::string name =
            (machine[0] == '\\' && machine[1] == '\\') ? std::string(machine) : "\\\\" + std::string(machine);
        long error = 0;
        remote = registry.ConnectRemote(name.c_str(), &error);
        if (!remote) {
            report.ConsoleF("Could not open remote registry %s\n", name.c_str() + 2);
            TellErrorText(report, error);
            return paths;
        }
        reader = remote.get();
    }

    long error = 0;
    auto versionKey = OpenInViews(*reader, NT_VERSION_KEY, &error);
    if (!versionKey) {
        TellKeyNotOpened(report, NT_VERSION_KEY);
        TellErrorText(report, error);
        return paths;
    }
    ListValues(*versionKey, report, " NT: key= %s, value=%s.\n", [](const std::string&, const std::string&) {});
    versionKey.reset();

    auto configuration = OpenInViews(*reader, CONFIGURATION_KEY, &error);
    if (configuration) {
        ListValues(*configuration, report, " Veltra: key= %s, value=%s.\n",
                   [&](const std::string& name, const std::string& text) { TakeConfigurationPath(paths, name, text); });
        return paths;
    }
    TellKeyNotOpened(report, CONFIGURATION_KEY);
    TellErrorText(report, error);

    auto agent = OpenInViews(*reader, AGENT_KEY);
    if (!agent) {
        TellKeyNotOpened(report, AGENT_KEY);
        return paths;
    }
    TakeAgentDirectory(*agent, report, paths);
    return paths;
}
