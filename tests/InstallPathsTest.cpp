// The maker's installation paths from the registry of this machine or another.
// tests/fixtures/discovery/paths-*.reg show the paths and the listings; the
// cases here are the failures and the machines reached by name.
#include "registry/MemoryRegistry.h"
#include "platform/RegistryReader.h"
#include "report/Report.h"
#include "machine/InstallPaths.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const std::string NT_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const std::string CONFIG_KEY = "Software\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration";
const std::string AGENT_KEY = "Software\\Veltra\\Quorvane\\VMA";

// The local registry ("LOCAL"), and the machines a connection reaches by
// their names; each can be reached once.
class Network : public tavplat::RegistryReader {
public:
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        return Machine("LOCAL").OpenKey(path, access, error);
    }
    bool HasTwoViews() override { return false; }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override {
        connected += std::string(machine) + " ";
        std::unique_ptr<tavreg::MemoryRegistry> found = std::move(machines_[machine]);
        *error = found ? tavplat::REG_OK : tavplat::REG_BAD_NETPATH;
        return found;
    }
    tavreg::MemoryRegistry& Machine(const std::string& name) {
        auto& machine = machines_[name];
        if (!machine) machine = std::make_unique<tavreg::MemoryRegistry>();
        return *machine;
    }
    std::string connected;

private:
    std::map<std::string, std::unique_ptr<tavreg::MemoryRegistry>> machines_;
};

}  // namespace

// Each row names the machine to read, what the lookup prints and the paths it finds.
TEST(InstallPaths, EachMachinePrintsWhatItReadsOrWhyItCouldNotAndGivesItsPaths) {
    Network net;
    net.Machine("LOCAL").SetString(NT_KEY, "CurrentVersion", "5.2");
    net.Machine("LOCAL").SetString(AGENT_KEY, "DIRECTORY", "C:\\Agents");
    net.Machine("\\\\BARE").SetString(NT_KEY, "CurrentVersion", "5.0");
    net.Machine("\\\\NOVERSION").SetString(CONFIG_KEY, "BinPath", "C:\\never");
    net.Machine("\\\\DBHOST02").SetString(NT_KEY, "CurrentVersion", "6.0");
    net.Machine("\\\\DBHOST02").SetString(CONFIG_KEY, "EtcPath", "D:\\Veltra\\etc");
    const std::string E2 = "MS err(2):" + tavplat::SystemErrorText(2), E53 = "MS err(53):" + tavplat::SystemErrorText(53);
    const std::string NO_CONFIG = "Could not open registry key " + CONFIG_KEY + "\n" + E2, longName(200, 'm');
    struct Row { std::string machine; std::string printed; const char* paths; };
    const Row ROWS[] = {
        {"LOCAL", " NT: key= CurrentVersion, value=5.2.\n" + NO_CONFIG + " Veltra: key= DIRECTORY, value=C:\\Agents.\n",
         "C:\\Agents|C:\\Agents|C:\\Agents|C:\\Agents\\logs"},
        {"BARE", " NT: key= CurrentVersion, value=5.0.\n" + NO_CONFIG + "Could not open registry key " + AGENT_KEY + "\n", "|||"},
        {"\\\\NOVERSION", "Could not open registry key " + NT_KEY + "\n" + E2, "|||"},
        {"DBHOST02", " NT: key= CurrentVersion, value=6.0.\n Veltra: key= EtcPath, value=D:\\Veltra\\etc.\n", "||D:\\Veltra\\etc|"},
        {"\\NOSUCHHOST", "Could not open remote registry \\NOSUCHHOST\n" + E53, "|||"},  // one backslash: no UNC name
        {longName, "Could not open remote registry " + longName + "\n" + E53, "|||"},  // the name whole
    };
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.machine);
        testing::internal::CaptureStdout();
        const InstallPaths paths = ReadInstallPaths(net, row.machine.c_str(), StandardReport());
        EXPECT_EQ(row.printed, testing::internal::GetCapturedStdout());
        EXPECT_EQ(row.paths, paths.bin + "|" + paths.dll + "|" + paths.etc + "|" + paths.log);
    }
    EXPECT_EQ("\\\\BARE \\\\NOVERSION \\\\DBHOST02 \\\\\\NOSUCHHOST \\\\" + longName + " ", net.connected);
}
