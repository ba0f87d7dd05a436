// The registry readers: one conformance suite run against the in-memory reader
// (loaded from the .reg fixtures) and against the machine's own reader, which
// is advapi32 in the Windows build once the fixtures have been imported into
// its prefix (tests/scripts/wine-registry-conformance.sh), and the snapshot
// registry of TAVNOVU_REGISTRY elsewhere (native-registry-conformance.sh).
// TAV_REGISTRY_IMPORTED tells the suite that the machine holds the fixtures;
// its value "wine" lets the checks accept Wine's known departures.
#include "platform/MemoryRegistry.h"
#include "platform/RegistryReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tav_testutil.h"

using namespace tavplat;

namespace {

const std::string FIXTURES = std::string(TAV_TEST_DATA) + "/fixtures/registry/";
const char BASE[] = "Software\\TavRegConformance";

std::string KeyPath(const char* below) { return std::string(BASE) + "\\" + below; }

struct MemoryBackend {
    static constexpr const char* NAME = "Memory";
    static std::unique_ptr<RegistryReader> Open(std::string* skip) {
        auto registry = std::make_unique<MemoryRegistry>();
        for (const char* file : {"conformance-unicode.reg", "conformance-ansi.reg"}) {
            std::string error;
            if (!registry->LoadFile(FIXTURES + file, &error)) {
                *skip = "fixture not loaded: " + error;
                ADD_FAILURE() << error;
                return nullptr;
            }
        }
        return registry;
    }
    static bool UnderWine() { return false; }
};

struct MachineBackend {
    static constexpr const char* NAME = "Machine";
    static std::unique_ptr<RegistryReader> Open(std::string* skip) {
        if (!std::getenv("TAV_REGISTRY_IMPORTED")) {
            *skip = "the fixtures are not imported into this machine's registry";
            return nullptr;
        }
        return OpenMachineRegistry();
    }
    static bool UnderWine() {
        const char* imported = std::getenv("TAV_REGISTRY_IMPORTED");
        return imported && std::strcmp(imported, "wine") == 0;
    }
};

struct Item {
    std::string name;
    std::string data;
    bool operator==(const Item& other) const { return name == other.name && data == other.data; }
};

std::ostream& operator<<(std::ostream& out, const Item& item) {
    out << '"' << item.name << "\"=";
    for (unsigned char c : item.data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", c);
        out << hex;
    }
    return out;
}

std::string Bytes(const char* text, size_t length) { return std::string(text, length); }

template <class Backend>
class RegistryConformance : public ::testing::Test {
protected:
    void SetUp() override {
        std::string skip;
        registry_ = Backend::Open(&skip);
        if (!registry_) GTEST_SKIP() << skip;
    }

    // Accepts a result only for the reader that is known to depart from
    // Windows there, in the manner of Wine's own broken().
    static bool WineDeparture(bool condition) { return Backend::UnderWine() && condition; }

    std::unique_ptr<RegistryKey> Open(const std::string& path, unsigned access = KEY_QUERY) {
        long error = -1;
        auto key = registry_->OpenKey(path.c_str(), access, &error);
        EXPECT_TRUE(key) << path << " does not open: " << error;
        EXPECT_EQ(REG_OK, error);
        return key;
    }

    // Enumerates values as discovery does: fresh capacities before every call,
    // stopping at the first failure.
    std::vector<Item> Values(RegistryKey& key, long* stop = nullptr) {
        std::vector<Item> items;
        for (uint32_t index = 0;; ++index) {
            char name[256];
            unsigned char data[257];
            uint32_t nameLength = sizeof name;
            uint32_t dataLength = 256;
            long result = key.EnumValue(index, name, &nameLength, data, &dataLength);
            if (result != REG_OK) {
                if (stop) *stop = result;
                return items;
            }
            EXPECT_EQ(std::strlen(name), nameLength);
            items.push_back({name, Bytes(reinterpret_cast<char*>(data), dataLength)});
        }
    }

    std::vector<std::string> SubKeys(RegistryKey& key) {
        std::vector<std::string> names;
        for (uint32_t index = 0;; ++index) {
            char name[256];
            uint32_t nameLength = sizeof name;
            if (key.EnumKey(index, name, &nameLength) != REG_OK) return names;
            EXPECT_EQ(std::strlen(name), nameLength);
            names.push_back(name);
        }
    }

    std::string Query(RegistryKey& key, const char* name, long expected = REG_OK) {
        unsigned char data[257];
        uint32_t dataLength = 256;
        EXPECT_EQ(expected, key.QueryValue(name, data, &dataLength)) << name;
        return expected == REG_OK ? Bytes(reinterpret_cast<char*>(data), dataLength) : std::string();
    }

    std::unique_ptr<RegistryReader> registry_;
};

using Backends = ::testing::Types<MemoryBackend, MachineBackend>;

class BackendNames {
public:
    template <class T>
    static std::string GetName(int) { return T::NAME; }
};

TYPED_TEST_SUITE(RegistryConformance, Backends, BackendNames);

// ---- opening keys ----------------------------------------------------------------

TYPED_TEST(RegistryConformance, MissingKeyFailsWithFileNotFound) {
    long error = -1;
    EXPECT_FALSE(this->registry_->OpenKey(KeyPath("NoSuchKey").c_str(), KEY_QUERY, &error));
    EXPECT_EQ(REG_FILE_NOT_FOUND, error);
    error = -1;
    EXPECT_FALSE(this->registry_->OpenKey(KeyPath("Types\\Deeper").c_str(), KEY_ENUM_SUB_KEYS, &error));
    EXPECT_EQ(REG_FILE_NOT_FOUND, error);
}

TYPED_TEST(RegistryConformance, PathsIgnoreCaseAndATrailingBackslash) {
    auto lower = this->Open("software\\tavregconformance\\TYPES");
    ASSERT_TRUE(lower);
    EXPECT_EQ(Bytes("plain", 6), this->Query(*lower, "Text"));
    auto trailing = this->Open(KeyPath("Lengths\\"));
    ASSERT_TRUE(trailing);
    EXPECT_EQ(Bytes("0123456789", 11), this->Query(*trailing, "tenletters"));
}

TYPED_TEST(RegistryConformance, LeadingBackslashIsABadPath) {
    long error = -1;
    EXPECT_FALSE(this->registry_->OpenKey(("\\" + KeyPath("Types")).c_str(), KEY_QUERY, &error));
    EXPECT_EQ(REG_BAD_PATHNAME, error);
}

TYPED_TEST(RegistryConformance, RemoteMachineIsNotReached) {
    long error = -1;
    EXPECT_FALSE(this->registry_->ConnectRemote("\\\\TAV-NO-SUCH-HOST", &error));
    EXPECT_EQ(REG_BAD_NETPATH, error);
}

TYPED_TEST(RegistryConformance, AccessRightsAreChecked) {
    auto valuesOnly = this->Open(BASE, KEY_QUERY);
    ASSERT_TRUE(valuesOnly);
    char name[64];
    uint32_t nameLength = sizeof name;
    EXPECT_EQ(REG_ACCESS_DENIED, valuesOnly->EnumKey(0, name, &nameLength));

    auto keysOnly = this->Open(KeyPath("Types"), KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(keysOnly);
    unsigned char data[64];
    uint32_t dataLength = sizeof data;
    nameLength = sizeof name;
    EXPECT_EQ(REG_ACCESS_DENIED, keysOnly->EnumValue(0, name, &nameLength, data, &dataLength));
    dataLength = sizeof data;
    EXPECT_EQ(REG_ACCESS_DENIED, keysOnly->QueryValue("Text", data, &dataLength));
}

// ---- values: types, data and lengths ---------------------------------------------------

TYPED_TEST(RegistryConformance, ValuesOfEveryTypeAsTheAnsiFunctionsGiveThem) {
    auto key = this->Open(KeyPath("Types"));
    ASSERT_TRUE(key);
    long stop = 0;
    std::vector<Item> expected = {
        {"", Bytes("default text", 13)},
        {"Binary", Bytes("\x00\x01\xfe\xff", 4)},
        {"Dword", Bytes("\x40\xe2\x01\x00", 4)},
        {"Empty", Bytes("", 1)},
        {"EmptyBinary", ""},
        {"Escaped", Bytes("C:\\Oracle\\ora92 \"quoted\"", 25)},
        {"Expand", Bytes("%SystemRoot%\\system32\\drivers\\etc", 34)},
        {"Multi", Bytes("alpha\0be\0c\0", 12)},
        {"None", Bytes("\x01\x02", 2)},
        {"Qword", Bytes("\x01\0\0\0\0\0\0\0", 8)},
        {"Text", Bytes("plain", 6)},
        {"Unterminated", Bytes("AB", 3)},  // regedit ends string data with a NUL
    };
    EXPECT_EQ(expected, this->Values(*key, &stop));
    EXPECT_EQ(REG_NO_MORE_ITEMS, stop);
}

TYPED_TEST(RegistryConformance, QueryFindsValuesByNameIgnoringCase) {
    auto key = this->Open(KeyPath("Types"));
    ASSERT_TRUE(key);
    EXPECT_EQ(Bytes("\x40\xe2\x01\x00", 4), this->Query(*key, "DWORD"));
    EXPECT_EQ(Bytes("default text", 13), this->Query(*key, ""));
    EXPECT_EQ(Bytes("default text", 13), this->Query(*key, nullptr));
    this->Query(*key, "NoSuchValue", REG_FILE_NOT_FOUND);
    auto noDefault = this->Open(KeyPath("Lengths"));
    ASSERT_TRUE(noDefault);
    this->Query(*noDefault, "", REG_FILE_NOT_FOUND);
}

// What regedit accepts besides what it writes itself.
TYPED_TEST(RegistryConformance, SnapshotSyntaxReadsAsRegeditImportsIt) {
    auto key = this->Open(KeyPath("Syntax"));
    ASSERT_TRUE(key);
    std::vector<Item> expected = {
        {"Blanks", Bytes("around the equals sign", 23)},
        {"Dword", Bytes("\x1f\0\0\0", 4)},
        {"Hex", Bytes("ABC", 3)},
        {"NewLine", Bytes("one\ntwo", 8)},
        {"Short", Bytes("A", 2)},
    };
    EXPECT_EQ(expected, this->Values(*key));
}

// What discovery relies on to stop: a name or data that does not fit fails
// the call, and the data size needed is reported.
TYPED_TEST(RegistryConformance, BuffersThatAreTooSmallGiveMoreData) {
    auto key = this->Open(KeyPath("Lengths"));
    ASSERT_TRUE(key);
    char name[32];
    unsigned char data[32];

    uint32_t nameLength = 11, dataLength = 11;  // "TenLetters" + NUL, "0123456789" + NUL
    ASSERT_EQ(REG_OK, key->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_EQ(10u, nameLength);
    EXPECT_EQ(11u, dataLength);

    nameLength = 10;  // the NUL does not fit
    dataLength = 11;
    EXPECT_EQ(REG_MORE_DATA, key->EnumValue(0, name, &nameLength, data, &dataLength));

    nameLength = 11;
    dataLength = 10;
    EXPECT_EQ(REG_MORE_DATA, key->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_EQ(11u, dataLength);

    dataLength = 10;
    EXPECT_EQ(REG_MORE_DATA, key->QueryValue("TenLetters", data, &dataLength));
    EXPECT_EQ(11u, dataLength);

    dataLength = 0;
    EXPECT_EQ(REG_OK, key->QueryValue("TenLetters", nullptr, &dataLength));
    EXPECT_EQ(11u, dataLength);

    nameLength = sizeof name;
    dataLength = sizeof data;
    EXPECT_EQ(REG_NO_MORE_ITEMS, key->EnumValue(1, name, &nameLength, data, &dataLength));
}

TYPED_TEST(RegistryConformance, SubKeyNameThatDoesNotFitGivesMoreData) {
    auto key = this->Open(KeyPath("SubKeys"), KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(key);
    std::vector<std::string> names = this->SubKeys(*key);
    ASSERT_FALSE(names.empty());
    char name[64];
    uint32_t nameLength = static_cast<uint32_t>(names[0].size());
    EXPECT_EQ(REG_MORE_DATA, key->EnumKey(0, name, &nameLength));
    nameLength = static_cast<uint32_t>(names[0].size() + 1);
    EXPECT_EQ(REG_OK, key->EnumKey(0, name, &nameLength));
    EXPECT_EQ(names[0], name);
    nameLength = sizeof name;
    EXPECT_EQ(REG_NO_MORE_ITEMS, key->EnumKey(static_cast<uint32_t>(names.size()), name, &nameLength));
}

// ---- enumeration order -------------------------------------------------------------

TYPED_TEST(RegistryConformance, ValuesComeInTheOrderTheyWereCreated) {
    auto key = this->Open(KeyPath("Order"));
    ASSERT_TRUE(key);
    std::vector<Item> values = this->Values(*key);
    std::vector<Item> created = {
        {"b", Bytes("first again", 12)}, {"C", Bytes("second", 7)}, {"a", Bytes("third", 6)}};
    std::vector<Item> byName = {created[2], created[0], created[1]};
    // Wine 8 keeps a key's values sorted by name.
    EXPECT_TRUE(values == created || this->WineDeparture(values == byName)) << ::testing::PrintToString(values);
}

TYPED_TEST(RegistryConformance, SubKeysComeSortedByTheirUpperCasedNames) {
    auto key = this->Open(KeyPath("SubKeys"), KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(key);
    std::vector<std::string> names = this->SubKeys(*key);
    std::vector<std::string> upper = {"Alpha", "alpha2", "beta", "Zulu", "_under", "\xc9t\xe9"};
    // Wine 8 sorts sub-keys by their lower-cased names: '_' comes before the letters.
    std::vector<std::string> lower = {"_under", "Alpha", "alpha2", "beta", "Zulu", "\xc9t\xe9"};
    EXPECT_TRUE(names == upper || this->WineDeparture(names == lower)) << ::testing::PrintToString(names);
}

// ---- text conversion -------------------------------------------------------------------

TYPED_TEST(RegistryConformance, UnicodeTextComesAsWindows1252) {
    auto key = this->Open(KeyPath("Charset"));
    ASSERT_TRUE(key);
    EXPECT_EQ(Bytes("caf\xe9 cr\xe8me", 11), this->Query(*key, "Accent"));
    EXPECT_EQ(Bytes("\x80" "5 \x96 \x93quoted\x94", 14), this->Query(*key, "Euro"));
    EXPECT_EQ(Bytes("\xe9\0\x80\0", 5), this->Query(*key, "Multi"));
    EXPECT_EQ(Bytes("accented name", 14), this->Query(*key, "N\xe4m\xe9"));
    EXPECT_EQ(Bytes("accented name", 14), this->Query(*key, "N\xc4M\xc9")) << "upper-cased accents";
    // Look-alikes where Windows has them ("best fit"), else one '?' per UTF-16 unit.
    EXPECT_EQ(Bytes("A?", 3), this->Query(*key, "Outside"));
    EXPECT_EQ(Bytes("x??y", 5), this->Query(*key, "Surrogate"));
}

TYPED_TEST(RegistryConformance, AnsiSnapshotTextIsKeptAsWritten) {
    auto key = this->Open(KeyPath("Ansi"));
    ASSERT_TRUE(key);
    std::vector<Item> expected = {
        {"Accent", Bytes("caf\xe9", 5)},
        {"Euro", Bytes("\x80", 2)},
        {"Expand", Bytes("%TEMP%\\x", 9)},
        {"Multi", Bytes("one\0tw\xf6\0", 9)},
        {"Sz", Bytes("AB", 3)},
        {"Text", Bytes("ansi text", 10)},
    };
    EXPECT_EQ(expected, this->Values(*key));
}

// ---- deletions in a snapshot ---------------------------------------------------------

TYPED_TEST(RegistryConformance, DeletedKeysAndValuesAreGone) {
    long error = -1;
    EXPECT_FALSE(this->registry_->OpenKey(KeyPath("Deletions\\Gone").c_str(), KEY_QUERY, &error));
    EXPECT_EQ(REG_FILE_NOT_FOUND, error);
    EXPECT_FALSE(this->registry_->OpenKey(KeyPath("Deletions\\Gone\\Child").c_str(), KEY_QUERY, &error));
    auto kept = this->Open(KeyPath("Deletions\\Kept"));
    ASSERT_TRUE(kept);
    EXPECT_EQ((std::vector<Item>{{"Stays", Bytes("yes", 4)}}), this->Values(*kept));
    auto parent = this->Open(KeyPath("Deletions"), KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(parent);
    EXPECT_EQ(std::vector<std::string>{"Kept"}, this->SubKeys(*parent));
}

// ---- the in-memory reader's own behaviour ------------------------------------------------

TEST(MemoryRegistry, EditsFollowTheRegistrysRules) {
    MemoryRegistry registry;
    registry.SetString("Software\\A", "one", "1");
    registry.SetValue("Software\\A", "two", VALUE_DWORD, {2, 0, 0, 0});
    registry.SetString("software\\a", "ONE", "again");  // same value, same place
    auto key = registry.OpenKey("Software\\A", KEY_QUERY);
    ASSERT_TRUE(key);
    char name[16];
    unsigned char data[16];
    uint32_t nameLength = sizeof name, dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_STREQ("one", name);
    EXPECT_EQ(Bytes("again", 6), Bytes(reinterpret_cast<char*>(data), dataLength));

    registry.DeleteValue("Software\\A", "one");
    nameLength = sizeof name;
    dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_STREQ("two", name);
}

// RegQueryValueExA puts a NUL after string data that lacks one when there is room.
TEST(MemoryRegistry, UnterminatedStringDataGetsANulWhenThereIsRoom) {
    MemoryRegistry registry;
    registry.SetValue("Software\\U", "v", VALUE_SZ, {'A', 'B'});
    registry.SetValue("Software\\U", "b", VALUE_BINARY, {'A', 'B'});
    auto key = registry.OpenKey("Software\\U", KEY_QUERY);
    ASSERT_TRUE(key);
    unsigned char data[4] = {'x', 'x', 'x', 'x'};
    uint32_t dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->QueryValue("v", data, &dataLength));
    EXPECT_EQ(2u, dataLength);
    EXPECT_EQ(0, std::memcmp(data, "AB\0x", 4));
    std::memset(data, 'x', sizeof data);
    dataLength = 2;
    ASSERT_EQ(REG_OK, key->QueryValue("v", data, &dataLength));
    EXPECT_EQ(0, std::memcmp(data, "ABxx", 4));
    dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->QueryValue("b", data, &dataLength));
    EXPECT_EQ(0, std::memcmp(data, "ABxx", 4)) << "binary data gets no NUL";
}

TEST(MemoryRegistry, OpenKeyOfADeletedKeyAnswersKeyDeleted) {
    auto registry = std::make_unique<MemoryRegistry>();
    registry->SetString("Software\\A\\B", "v", "x");
    registry->SetString("Software\\Other", "v", "kept");
    auto key = registry->OpenKey("Software\\A\\B", KEY_QUERY | KEY_ENUM_SUB_KEYS);
    auto other = registry->OpenKey("Software\\Other", KEY_QUERY);
    ASSERT_TRUE(key && other);
    registry->DeleteKey("Software\\A");
    unsigned char data[8];
    uint32_t dataLength = sizeof data;
    EXPECT_EQ(REG_KEY_DELETED, key->QueryValue("v", data, &dataLength));
    // The registry going away leaves the open keys usable.
    registry.reset();
    dataLength = sizeof data;
    EXPECT_EQ(REG_KEY_DELETED, key->QueryValue("v", data, &dataLength));
    dataLength = sizeof data;
    ASSERT_EQ(REG_OK, other->QueryValue("v", data, &dataLength));
    EXPECT_STREQ("kept", reinterpret_cast<char*>(data));
}

TEST(MemoryRegistry, ManyKeysAndValuesStayFoundAndOrdered) {
    // Past the size where names are looked up through a hash index.
    MemoryRegistry registry;
    for (int i = 99; i >= 0; --i) {
        registry.SetString("Software\\Many\\K" + std::to_string(i), "v", "x");
        registry.SetString("Software\\Many", "V" + std::to_string(i), std::to_string(i));
    }
    registry.DeleteValue("Software\\Many", "v50");
    registry.DeleteKey("Software\\Many\\k50");
    auto key = registry.OpenKey("Software\\Many", KEY_QUERY | KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(key);
    unsigned char data[8];
    uint32_t dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->QueryValue("v7", data, &dataLength));
    EXPECT_STREQ("7", reinterpret_cast<char*>(data));
    dataLength = sizeof data;
    EXPECT_EQ(REG_FILE_NOT_FOUND, key->QueryValue("v50", data, &dataLength));
    char name[16];
    std::string previous;
    uint32_t count = 0;
    for (;; ++count) {
        uint32_t nameLength = sizeof name;
        if (key->EnumKey(count, name, &nameLength) != REG_OK) break;
        EXPECT_LT(previous, std::string(name));  // K0, K1, K10, K11 ...
        previous = name;
    }
    EXPECT_EQ(99u, count);
    char valueName[16];
    uint32_t nameLength = sizeof valueName;
    dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->EnumValue(0, valueName, &nameLength, data, &dataLength));
    EXPECT_STREQ("V99", valueName);  // creation order
}

TEST(MemoryRegistry, RemoteNamesFailAndNoNameIsTheLocalRegistry) {
    MemoryRegistry registry;
    registry.CreateKey("Software\\Here");
    long error = -1;
    EXPECT_FALSE(registry.ConnectRemote("\\\\elsewhere", &error));
    EXPECT_EQ(REG_BAD_NETPATH, error);
    auto local = registry.ConnectRemote(nullptr, &error);
    ASSERT_TRUE(local);
    EXPECT_EQ(REG_OK, error);
    EXPECT_TRUE(local->OpenKey("Software\\Here", KEY_QUERY));
}

// ---- the machine registry and error texts --------------------------------------------------

TEST(SystemErrorText, GivesTheSystemsTextWithItsLineEnd) {
    for (long code : {REG_OK, REG_FILE_NOT_FOUND, REG_ACCESS_DENIED, REG_BAD_NETPATH, REG_MORE_DATA,
                      REG_NO_MORE_ITEMS, 1400L, 0x7ffffff0L}) {
        std::string text = SystemErrorText(code);
        ASSERT_GE(text.size(), 3u) << code;
        EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << code;
    }
    EXPECT_EQ("Unknown error 2147483632.\r\n", SystemErrorText(0x7ffffff0L));
}

#ifndef _WIN32
TEST(SystemErrorText, HasTheWindowsEnglishTexts) {
    EXPECT_EQ("The operation completed successfully.\r\n", SystemErrorText(0));
    EXPECT_EQ("The system cannot find the file specified.\r\n", SystemErrorText(2));
    EXPECT_EQ("Access is denied.\r\n", SystemErrorText(5));
    EXPECT_EQ("The network path was not found.\r\n", SystemErrorText(53));
    EXPECT_EQ("More data is available.\r\n", SystemErrorText(234));
    EXPECT_EQ("No more data is available.\r\n", SystemErrorText(259));
    EXPECT_EQ("Invalid window handle.\r\n", SystemErrorText(1400));
}

TEST(MachineRegistry, LoadsTheSnapshotsNamedAndReportsTheOnesThatFail) {
    tavtest::TempDir dir;
    tavtest::WriteFile(dir.file("a.reg"), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"v\"=\"a\"\n");
    tavtest::WriteFile(dir.file("bad.reg"),
                       "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Partial]\n[HKEY_CURRENT_USER\\Software\\X]\n");
    tavtest::WriteFile(dir.file("b.reg"), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"v\"=\"b\"\n");
    std::string list = dir.file("a.reg") + "::" + dir.file("bad.reg") + ":" + dir.file("missing.reg") + ":" +
                       dir.file("b.reg");
    tavtest::ScopedEnv env("TAVNOVU_REGISTRY", list.c_str());
    ::testing::internal::CaptureStderr();
    auto registry = OpenMachineRegistry();
    std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(dir.file("bad.reg") + ":3: HKEY_CURRENT_USER is not part of a snapshot of the local machine "
                                     "(only HKEY_LOCAL_MACHINE)\n" + dir.file("missing.reg") +
                  ": cannot open: No such file or directory\n",
              errors);
    auto key = registry->OpenKey("Software\\A", KEY_QUERY);
    ASSERT_TRUE(key);
    unsigned char data[8];
    uint32_t dataLength = sizeof data;
    ASSERT_EQ(REG_OK, key->QueryValue("v", data, &dataLength));
    EXPECT_STREQ("b", reinterpret_cast<char*>(data));  // later snapshots add to earlier ones
    EXPECT_TRUE(registry->OpenKey("Software\\Partial", KEY_QUERY)) << "what loaded before the fault stays";
}

TEST(MachineRegistry, NoSnapshotIsAnEmptyRegistry) {
    tavtest::ScopedEnv env("TAVNOVU_REGISTRY", nullptr);
    auto registry = OpenMachineRegistry();
    long error = -1;
    EXPECT_FALSE(registry->OpenKey("Software", KEY_QUERY, &error));
    EXPECT_EQ(REG_FILE_NOT_FOUND, error);
    EXPECT_TRUE(registry->OpenKey("", KEY_QUERY, &error));
}
#endif

}  // namespace
