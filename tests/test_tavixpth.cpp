// The maker's installation paths from the registry.
#include "registry/MemoryRegistry.h"
#include "platform/RegistryReader.h"
#include "report/Report.h"
#include "setup/tavixpth.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using tavreg::MemoryRegistry;

const char* const NT_KEY = "Software\\Microsoft\\Windows NT\\CurrentVersion";
const char* const CONFIG_KEY = "Software\\Veltra\\Common\\CurrentVersion\\Primary\\Configuration";
const char* const AGENT_KEY = "Software\\Veltra\\Quorvane\\VMA";

// Forwards to another machine's registry, as a remote connection reaches it.
class RemoteView : public tavplat::RegistryReader {
public:
    explicit RemoteView(tavplat::RegistryReader& target) : target_(target) {}
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        return target_.OpenKey(path, access, error);
    }
    bool HasTwoViews() override { return target_.HasTwoViews(); }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override {
        return target_.ConnectRemote(machine, error);
    }

private:
    tavplat::RegistryReader& target_;
};

// The local registry, which reaches one other machine by name.
class Network : public tavplat::RegistryReader {
public:
    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        return local.OpenKey(path, access, error);
    }
    bool HasTwoViews() override { return local.HasTwoViews(); }
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override {
        connected.push_back(machine);
        if (std::string(machine) != remoteName) {
            *error = tavplat::REG_BAD_NETPATH;
            return nullptr;
        }
        *error = tavplat::REG_OK;
        return std::make_unique<RemoteView>(remote);
    }
    MemoryRegistry local;
    MemoryRegistry remote;
    std::string remoteName = "\\\\DBHOST02";
    std::vector<std::string> connected;
};

class InstallPathsTest : public ::testing::Test {
protected:
    void SetUp() override { net_.local.SetString(NT_KEY, "CurrentVersion", "5.2"); }

    // What the lookup prints; the paths it found are kept in paths_.
    std::string Read(const char* machine) {
        testing::internal::CaptureStdout();
        paths_ = ReadInstallPaths(net_, machine, StandardReport());
        return testing::internal::GetCapturedStdout();
    }
    static std::string ErrorText(long code) { return "MS err(" + std::to_string(code) + "):" + tavplat::SystemErrorText(code); }

    Network net_;
    InstallPaths paths_;
};

}  // namespace

TEST_F(InstallPathsTest, ConfigurationKeyGivesThePathsItHolds) {
    net_.local.SetString(NT_KEY, "ProductName", "Windows Server 2003");
    net_.local.SetString(CONFIG_KEY, "binpath", "C:\\Veltra\\bin");
    net_.local.SetString(CONFIG_KEY, "EtcPath", "C:\\Veltra\\etc");
    net_.local.SetString(CONFIG_KEY, "LogPath", "C:\\Veltra\\logs");
    net_.local.SetString(CONFIG_KEY, "Directory", "C:\\Veltra");
    net_.local.SetString(AGENT_KEY, "Directory", "C:\\Other");
    EXPECT_EQ(" NT: key= CurrentVersion, value=5.2.\n"
              " NT: key= ProductName, value=Windows Server 2003.\n"
              " Veltra: key= binpath, value=C:\\Veltra\\bin.\n"
              " Veltra: key= EtcPath, value=C:\\Veltra\\etc.\n"
              " Veltra: key= LogPath, value=C:\\Veltra\\logs.\n"
              " Veltra: key= Directory, value=C:\\Veltra.\n",
              Read(nullptr));
    EXPECT_EQ("C:\\Veltra\\bin", paths_.bin);
    EXPECT_EQ("", paths_.dll);  // no DllPath value: the environment's DLLPATH will count
    EXPECT_EQ("C:\\Veltra\\etc", paths_.etc);
    EXPECT_EQ("C:\\Veltra\\logs", paths_.log);
}

TEST_F(InstallPathsTest, AgentDirectoryGivesAllFourWhenConfigurationIsMissing) {
    net_.local.SetString(AGENT_KEY, "Version", "3.1");
    net_.local.SetString(AGENT_KEY, "DIRECTORY", "C:\\Agents");
    const std::string output = Read("LOCAL");
    EXPECT_EQ(std::string(" NT: key= CurrentVersion, value=5.2.\n") +
                  "Could not open registry key " + CONFIG_KEY + "\n" + ErrorText(tavplat::REG_FILE_NOT_FOUND) +
                  " Veltra: key= Version, value=3.1.\n"
                  " Veltra: key= DIRECTORY, value=C:\\Agents.\n",
              output);
    EXPECT_EQ("C:\\Agents", paths_.bin);
    EXPECT_EQ("C:\\Agents", paths_.dll);
    EXPECT_EQ("C:\\Agents", paths_.etc);
    EXPECT_EQ("C:\\Agents\\logs", paths_.log);
    EXPECT_TRUE(net_.connected.empty());
}

TEST_F(InstallPathsTest, NeitherKeyFindsNoPath) {
    EXPECT_EQ(std::string(" NT: key= CurrentVersion, value=5.2.\n") + "Could not open registry key " + CONFIG_KEY +
                  "\n" + ErrorText(tavplat::REG_FILE_NOT_FOUND) + "Could not open registry key " + AGENT_KEY + "\n",
              Read("local"));
    EXPECT_EQ("", paths_.bin + paths_.dll + paths_.etc + paths_.log);
}

TEST_F(InstallPathsTest, MissingVersionKeyStopsTheReading) {
    net_.local.DeleteKey(NT_KEY);
    net_.local.SetString(CONFIG_KEY, "BinPath", "C:\\Veltra\\bin");
    EXPECT_EQ(std::string("Could not open registry key ") + NT_KEY + "\n" + ErrorText(tavplat::REG_FILE_NOT_FOUND),
              Read(""));
    EXPECT_EQ("", paths_.bin);
}

TEST_F(InstallPathsTest, BufferLimitsOfNamesAndData) {
    const std::string full(263, 'p');  // with its NUL, exactly 264 bytes
    net_.local.SetString(CONFIG_KEY, std::string(98, 'k'), "fits");
    net_.local.SetString(CONFIG_KEY, "BinPath", full);
    net_.local.SetString(CONFIG_KEY, "Notes", std::string(264, 'n'));  // 265 bytes: ends the listing
    net_.local.SetString(CONFIG_KEY, "LogPath", "C:\\never");
    EXPECT_EQ(" NT: key= CurrentVersion, value=5.2.\n Veltra: key= " + std::string(98, 'k') +
                  ", value=fits.\n Veltra: key= BinPath, value=" + full + ".\n",
              Read(nullptr));
    EXPECT_EQ(full, paths_.bin);
    EXPECT_EQ("", paths_.log);
    // Binary data filling all 264 bytes keeps every byte.
    const std::string raw(264, 'r');
    net_.local.SetValue(CONFIG_KEY, "BinPath", tavreg::VALUE_BINARY, std::vector<unsigned char>(raw.begin(), raw.end()));
    Read(nullptr);
    EXPECT_EQ(raw, paths_.bin);
    // A name of 99 characters does not fit its room of 99 with the NUL.
    net_.local.DeleteKey(CONFIG_KEY);
    net_.local.SetString(CONFIG_KEY, std::string(99, 'k'), "too long");
    net_.local.SetString(CONFIG_KEY, "BinPath", "C:\\never");
    EXPECT_EQ(" NT: key= CurrentVersion, value=5.2.\n", Read(nullptr));
    EXPECT_EQ("", paths_.bin);
}

TEST_F(InstallPathsTest, RemoteMachines) {
    net_.remote.SetString(NT_KEY, "CurrentVersion", "6.0");
    net_.remote.SetString(CONFIG_KEY, "EtcPath", "D:\\Veltra\\etc");
    EXPECT_EQ(" NT: key= CurrentVersion, value=6.0.\n Veltra: key= EtcPath, value=D:\\Veltra\\etc.\n",
              Read("DBHOST02"));
    EXPECT_EQ("D:\\Veltra\\etc", paths_.etc);
    Read("\\\\DBHOST02");
    // Unreachable: named without the backslashes; a long name is kept whole.
    const std::string longName(200, 'm');
    EXPECT_EQ("Could not open remote registry NOSUCHHOST\n" + ErrorText(tavplat::REG_BAD_NETPATH), Read("NOSUCHHOST"));
    EXPECT_EQ("Could not open remote registry " + longName + "\n" + ErrorText(tavplat::REG_BAD_NETPATH),
              Read(longName.c_str()));
    EXPECT_EQ((std::vector<std::string>{"\\\\DBHOST02", "\\\\DBHOST02", "\\\\NOSUCHHOST", "\\\\" + longName}),
              net_.connected);
}
