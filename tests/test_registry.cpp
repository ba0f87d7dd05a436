// The registry readers: one conformance suite run against the in-memory reader
// loaded from the .reg fixtures, and against the machine's reader once the
// scripts tests/scripts/*-registry-conformance.sh have given it the fixtures
// (regedit /S under Wine, TAVNOVU_REGISTRY elsewhere) and set TAV_REGISTRY_IMPORTED.
#include "registry/MachineRegistry.h"
#include "registry/MemoryRegistry.h"
#include "platform/RegistryReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "tav_testutil.h"

using namespace tavplat;
using namespace tavreg;

// Bytes outside printable ASCII as \xNN.
static std::string Escaped(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += c >= 0x20 && c < 0x7f ? std::string(1, static_cast<char>(c))
                                     : std::string{'\\', 'x', "0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return out;
}

// The upper case the registry compares names in, for Windows-1252 letters.
static std::string Upper(std::string name) {
    for (char& c : name)
        if (unsigned char u = c; (u >= 'a' && u <= 'z') || (u >= 0xe0 && u != 0xf7 && u != 0xff)) c = char(u - 0x20);
    return name;
}

// A key and all below it, depth first in enumeration order, read as discovery
// reads: fresh 256-byte capacities before every call, stopping at the first
// failure. Each value is also looked up by its upper-cased name; a lookup that
// fails or finds other data (a name Windows-1252 cannot spell) is noted.
// Shared with test_regfile.cpp.
std::string DumpRegistryKey(RegistryReader& registry, const std::string& path) {
    auto key = registry.OpenKey(path.c_str(), KEY_QUERY | KEY_ENUM_SUB_KEYS);
    std::string out = "[" + Escaped(path) + "]" + (key ? "\n" : " missing\n");
    if (!key) return out;
    char name[256];
    unsigned char data[256], again[256];
    uint32_t nameLength = 256, dataLength = 256, againLength = 256;
    long result;
    for (uint32_t i = 0; (result = key->EnumValue(i, name, &nameLength, data, &dataLength)) == REG_OK; ++i) {
        std::string_view bytes(reinterpret_cast<char*>(data), dataLength);
        out += "\"" + Escaped(name) + "\"=\"" + Escaped(bytes) + "\"";
        EXPECT_EQ(std::strlen(name), nameLength);
        long found = key->QueryValue(Upper(name).c_str(), again, &againLength);
        std::string_view other(reinterpret_cast<char*>(again), againLength);
        if (found != REG_OK)
            out += " lookup " + std::to_string(found);
        else if (other != bytes)
            out += " lookup \"" + Escaped(other) + "\"";
        out += "\n";
        nameLength = dataLength = againLength = 256;
    }
    if (result != REG_NO_MORE_ITEMS) out += "stopped with " + std::to_string(result) + "\n";
    for (uint32_t i = 0; key->EnumKey(i, name, &nameLength) == REG_OK; ++i, nameLength = 256) {
        EXPECT_EQ(std::strlen(name), nameLength);
        out += DumpRegistryKey(registry, path + "\\" + name);
    }
    return out;
}

namespace {

const std::string FIXTURES = std::string(TAV_TEST_DATA) + "/fixtures/registry/";
const std::string GOLDEN = std::string(TAV_TEST_DATA) + "/golden/registry/";
const std::string BASE = "Software\\TavRegConformance";
const char* const CONFORMANCE_FILES[] = {"conformance-unicode.reg", "conformance-ansi.reg", "conformance-names.reg",
                                         "conformance-badlines.reg"};

struct Memory {};
struct Machine {};

template <class Backend>
class RegistryConformance : public ::testing::Test {
protected:
    static constexpr bool MACHINE = std::is_same_v<Backend, Machine>;

    void SetUp() override {
        const char* imported = std::getenv("TAV_REGISTRY_IMPORTED");
        if (MACHINE && !imported) GTEST_SKIP() << "the fixtures are not imported into this machine's registry";
        wine_ = MACHINE && std::string(imported) == "wine";
        if (MACHINE) {
            registry_ = OpenMachineRegistry(&warnings_);
        } else {
            auto memory = std::make_unique<MemoryRegistry>();
            std::string error;
            for (const char* file : CONFORMANCE_FILES)
                ASSERT_TRUE(memory->LoadFile(FIXTURES + file, &error, &warnings_)) << error;
            registry_ = std::move(memory);
        }
    }

    std::unique_ptr<RegistryReader> registry_;
    std::vector<std::string> warnings_;  // none from the system's own registry
    bool wine_ = false;
};

struct BackendNames {
    template <class T>
    static std::string GetName(int) { return std::is_same_v<T, Machine> ? "Machine" : "Memory"; }
};

using Backends = ::testing::Types<Memory, Machine>;
TYPED_TEST_SUITE(RegistryConformance, Backends, BackendNames);

// Every type of value with its ANSI data and length, cp1252 conversion of
// Unicode text, snapshot syntax, deletions, and the enumeration order: values
// in creation order, sub-keys by their upper-cased names. Names that differ
// in Unicode alone; lines the Registry Editor passes over, and what it reads
// after them.
TYPED_TEST(RegistryConformance, EnumerationGivesWhatRegeditImported) {
    for (auto [key, golden] : {std::pair{BASE, "conformance"}, {"Software\\TavRegNames", "conformance-names"},
                               {"Software\\TavRegBadLines", "conformance-badlines"}}) {
        std::string dump = DumpRegistryKey(*this->registry_, key);
        // Wine 8 keeps values sorted by name and sorts sub-keys by their lower-cased
        // names ('_' before letters); its golden file differs only there. Accepted
        // from Wine alone, as Wine's own tests accept broken() results.
        if (!this->wine_ || key != BASE || dump != tavtest::ReadFile(GOLDEN + "conformance-wine.txt")) {
            EXPECT_EQ(tavtest::ReadFile(GOLDEN + golden + ".txt"), dump);
        }
    }
}

// Each line passed over is reported with its file and line, what is wrong and
// what was left out; regedit reports its own.
TYPED_TEST(RegistryConformance, SkippedLinesAreReported) {
    std::string reported;
    for (const std::string& line : this->warnings_)
        reported += line.substr(line.starts_with(FIXTURES) ? FIXTURES.size() : 0) + "\n";
    EXPECT_EQ(this->wine_ ? "" : tavtest::ReadFile(GOLDEN + "conformance-warnings.txt"), reported);
}

TYPED_TEST(RegistryConformance, OpenKeyIgnoresCaseAndFailsAsWindowsDoes) {
    const std::pair<std::string, long> cases[] = {
        {"software\\tavregconformance\\TYPES", REG_OK},   {BASE + "\\Lengths\\", REG_OK},
        {BASE + "\\NoSuchKey", REG_FILE_NOT_FOUND},       {BASE + "\\Types\\Deeper", REG_FILE_NOT_FOUND},
        {BASE + "\\Deletions\\Gone\\Child", REG_FILE_NOT_FOUND}, {"\\" + BASE, REG_BAD_PATHNAME},
    };
    for (const auto& [path, expected] : cases) {
        long error = -1;
        auto key = this->registry_->OpenKey(path.c_str(), KEY_QUERY, &error);
        EXPECT_EQ(expected, error) << path;
        EXPECT_EQ(expected == REG_OK, key != nullptr) << path;
    }
    long error = -1;
    EXPECT_FALSE(this->registry_->ConnectRemote("\\\\TAV-NO-SUCH-HOST", &error));
    EXPECT_EQ(REG_BAD_NETPATH, error);
    auto local = this->registry_->ConnectRemote(nullptr, &error);
    ASSERT_TRUE(local) << error;
    EXPECT_TRUE(local->OpenKey(BASE.c_str(), KEY_QUERY));
}

// Discovery stops on these: a name or data that does not fit fails the call,
// reporting the data size needed; so do a missing value and a missing right.
// Each call gives its result, the data length after success or REG_MORE_DATA,
// and the name after success.
TYPED_TEST(RegistryConformance, CallsFailAsWindowsFailsThem) {
    auto values = this->registry_->OpenKey((BASE + "\\Lengths").c_str(), KEY_QUERY);
    auto types = this->registry_->OpenKey((BASE + "\\Types").c_str(), KEY_QUERY);
    auto keys = this->registry_->OpenKey((BASE + "\\SubKeys").c_str(), KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(values && keys && types);
    char name[32];
    unsigned char data[32];
    auto length = [](long result, uint32_t n) {
        return std::to_string(result) + (result == REG_OK || result == REG_MORE_DATA ? " " + std::to_string(n) : "");
    };
    auto enumValue = [&](RegistryKey& key, uint32_t nameRoom, uint32_t dataRoom) {
        long result = key.EnumValue(0, name, &nameRoom, data, &dataRoom);
        return length(result, dataRoom) + (result ? "" : " " + std::string(name));
    };
    auto query = [&](RegistryKey& key, const char* value, unsigned char* to, uint32_t room) {
        long result = key.QueryValue(value, to, &room);
        return length(result, room);
    };
    auto enumKey = [&](RegistryKey& key, uint32_t index, uint32_t room) {
        long result = key.EnumKey(index, name, &room);
        return std::to_string(result) + (result ? "" : " " + std::string(name));
    };
    EXPECT_EQ("0 11 TenLetters", enumValue(*values, 11, 11));  // = "0123456789" and its NUL
    EXPECT_EQ("234 11", enumValue(*values, 10, 11));
    EXPECT_EQ("234 11", enumValue(*values, 11, 10));
    EXPECT_EQ("234 11", query(*values, "TenLetters", data, 10));
    EXPECT_EQ("0 11", query(*values, "TenLetters", nullptr, 0));
    EXPECT_EQ("0 13", query(*types, nullptr, data, 32));  // the default, "default text"
    EXPECT_EQ("2", query(*types, "NoSuchValue", data, 32));
    EXPECT_EQ("2", query(*values, "", data, 32));  // no default value
    EXPECT_EQ("234", enumKey(*keys, 5, 3));  // the sixth sub-key, "\xc9t\xe9", in either order
    EXPECT_EQ("0 \xc9t\xe9", enumKey(*keys, 5, 4));
    EXPECT_EQ("259", enumKey(*keys, 6, 32));
    EXPECT_EQ("5", enumKey(*values, 0, 32));  // opened for values only
    EXPECT_EQ("5", enumValue(*keys, 32, 32));  // opened for sub-keys only
    EXPECT_EQ("5", query(*keys, "Text", data, 32));
}

// ---- the in-memory reader's own behaviour ------------------------------------------------

// RegQueryValueExA puts a NUL after string data that lacks one when there is room.
TEST(MemoryRegistry, UnterminatedStringDataGetsANulWhenThereIsRoom) {
    MemoryRegistry registry;
    registry.SetValue("Software\\U", "sz", VALUE_SZ, {'A', 'B'});
    registry.SetValue("Software\\U", "binary", VALUE_BINARY, {'A', 'B'});
    auto key = registry.OpenKey("Software\\U", KEY_QUERY);
    ASSERT_TRUE(key);
    for (auto [name, room, expected] : {std::tuple{"sz", 4u, "AB\0x"}, {"sz", 2u, "ABxx"}, {"binary", 4u, "ABxx"}}) {
        unsigned char data[4] = {'x', 'x', 'x', 'x'};
        uint32_t length = room;
        EXPECT_EQ(REG_OK, key->QueryValue(name, data, &length));
        EXPECT_EQ(2u, length);
        EXPECT_EQ(std::string(expected, 4), std::string(reinterpret_cast<char*>(data), 4)) << name << room;
    }
}

// Open keys share the tree: a deleted key answers REG_KEY_DELETED, and the
// registry object going away leaves the open keys usable.
TEST(MemoryRegistry, OpenKeysOutliveDeletionsAndTheRegistry) {
    auto registry = std::make_unique<MemoryRegistry>();
    registry->SetString("Software\\A\\B", "v", "x");
    registry->SetString("Software\\Other", "v", "kept");
    auto key = registry->OpenKey("Software\\A\\B", KEY_QUERY | KEY_ENUM_SUB_KEYS);
    auto other = registry->OpenKey("Software\\Other", KEY_QUERY);
    ASSERT_TRUE(key && other);
    registry->DeleteKey("Software\\A");
    registry.reset();
    char name[8];
    unsigned char data[8];
    uint32_t nameLength = sizeof name, dataLength = sizeof data;
    EXPECT_EQ(REG_KEY_DELETED, key->QueryValue("v", data, &dataLength));
    EXPECT_EQ(REG_KEY_DELETED, key->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_EQ(REG_KEY_DELETED, key->EnumKey(0, name, &nameLength));
    ASSERT_EQ(REG_OK, other->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_STREQ("kept", reinterpret_cast<char*>(data));
}

// Past the size where names are looked up through a hash index.
TEST(MemoryRegistry, ManyKeysAndValuesStayFoundAndOrdered) {
    MemoryRegistry registry;
    for (int i = 99; i >= 0; --i) {
        registry.SetString("Software\\Many\\K" + std::to_string(i), "v", std::to_string(i));
        registry.SetString("Software\\Many", "V" + std::to_string(i), std::to_string(i));
    }
    registry.SetString("software\\many", "v99", "again");  // keeps its place and spelling
    registry.DeleteValue("Software\\Many", "v50");
    registry.DeleteKey("Software\\Many\\k50");
    EXPECT_EQ("[Software\\Many\\k49]\n\"v\"=\"49\\x00\"\n", DumpRegistryKey(registry, "Software\\Many\\k49"));
    std::string dump = DumpRegistryKey(registry, "Software\\Many");
    EXPECT_TRUE(dump.starts_with("[Software\\Many]\n\"V99\"=\"again\\x00\"\n\"V98\"=\"98\\x00\"\n")) << dump;
    EXPECT_EQ(std::string::npos, dump.find("50"));
    for (int i = 0; i < 100; i += 7)  // each key found as itself
        EXPECT_NE(std::string::npos, dump.find("K" + std::to_string(i) + "]\n\"v\"=\"" + std::to_string(i))) << i;
    size_t k0 = dump.find("K0]"), k1 = dump.find("K1]"), k10 = dump.find("K10]"), k9 = dump.find("K9]");
    EXPECT_TRUE(k0 < k1 && k1 < k10 && k10 < k9 && k9 != std::string::npos) << dump;
}

// A snapshot of a 64-bit machine holds the 32-bit view of Software under
// Software\Wow6432Node; without that key the flags change nothing.
TEST(MemoryRegistry, KeysBelowSoftwareAreRedirectedForThe32BitView) {
    MemoryRegistry registry;
    registry.SetString("Software\\Db", "v", "64");
    registry.SetString("System\\Db", "v", "system");
    auto read = [&](const char* path, unsigned view) {
        long error = 0;
        auto key = registry.OpenKey(path, KEY_QUERY | view, &error);
        unsigned char data[16] = {};
        uint32_t length = sizeof data - 1;
        return key && key->QueryValue("v", data, &length) == REG_OK ? std::string(reinterpret_cast<char*>(data))
                                                                     : "error " + std::to_string(error);
    };
    EXPECT_FALSE(registry.HasTwoViews());
    EXPECT_EQ("64", read("Software\\Db", KEY_WOW64_32));
    registry.SetString("Software\\Wow6432Node\\Db", "v", "32");
    EXPECT_TRUE(registry.HasTwoViews());
    EXPECT_TRUE(registry.ConnectRemote(nullptr, nullptr)->HasTwoViews());
    for (auto [path, view, expected] : {std::tuple{"Software\\Db", 0u, "64"},
                                        {"Software\\Db", KEY_WOW64_64, "64"},
                                        {"SOFTWARE\\\\Db", KEY_WOW64_32, "32"},
                                        {"software\\wow6432node\\Db", KEY_WOW64_32, "32"},
                                        {"System\\Db", KEY_WOW64_32, "system"},
                                        {"Software2\\Db", KEY_WOW64_32, "error 2"},
                                        {"\\Software\\Db", KEY_WOW64_32, "error 161"}})
        EXPECT_EQ(expected, read(path, view)) << path << " " << view;
}

// ---- the machine registry and error texts --------------------------------------------------

TEST(SystemErrorText, GivesTheSystemsTextWithItsLineEnd) {
    for (long code : {REG_OK, REG_FILE_NOT_FOUND, REG_ACCESS_DENIED, REG_BAD_NETPATH, REG_NO_MORE_ITEMS, 1400L})
        EXPECT_TRUE(SystemErrorText(code).ends_with(".\r\n") && !SystemErrorText(code).starts_with("Unknown")) << code;
    EXPECT_EQ("Unknown error 2147483632.\r\n", SystemErrorText(0x7ffffff0L));
}

#ifndef _WIN32
// Snapshots load in the order named, later ones over earlier ones; one that
// cannot be read, and each line passed over, is reported.
TEST(MachineRegistry, LoadsTheSnapshotsNamedAndReportsTheOnesThatFail) {
    const std::string faulty = FIXTURES + "machine-faulty.reg", missing = FIXTURES + "missing.reg";
    std::string list = FIXTURES + "conformance-ansi.reg::" + faulty + ":" + missing + ":" + FIXTURES +
                       "conformance-unicode.reg";
    tavtest::ScopedEnv env("TAVNOVU_REGISTRY", list.c_str());
    std::vector<std::string> problems;
    std::string dump = DumpRegistryKey(*OpenMachineRegistry(&problems), BASE);
    EXPECT_EQ((std::vector<std::string>{faulty + ":7: HKEY_CURRENT_USER is not part of a snapshot of the local "
                                                 "machine (only HKEY_LOCAL_MACHINE); key and its values skipped",
                                        missing + ": cannot open: No such file or directory"}),
              problems);
    EXPECT_NE(std::string::npos, dump.find("\"Text\"=\"changed\\x00\"")) << dump;
    EXPECT_NE(std::string::npos, dump.find("\"Later\"=\"read after the skipped key\\x00\"")) << dump;
    EXPECT_NE(std::string::npos, dump.find("[" + BASE + "\\Types]")) << dump;
}
#endif

}  // namespace
