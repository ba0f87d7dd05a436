// The registry: the conformance suite, run against the in-memory reader and, once
// tests/scripts/any-registry-conformance.sh has imported the fixtures (regedit /S
// under Wine, TAVNOVU_REGISTRY elsewhere), the machine's; the in-memory reader's
// own behaviour; the .reg loader's syntax, faults, encodings and pieces.
#include "registry/MachineRegistry.h"
#include "registry/MemoryRegistry.h"
#include "registry/RegFile.h"
#include "platform/RegistryReader.h"
#include "text/Text.h"

#include <sstream>
#include <string_view>
#include <tuple>

#include "TestSupport.h"

using namespace tavplat;
using namespace tavreg;
using namespace std::string_literals;

namespace {

const std::string FIXTURES = std::string(TAV_TEST_DATA) + "/fixtures/registry/";
const std::string GOLDEN = std::string(TAV_TEST_DATA) + "/golden/registry/";
const std::string BASE = "Software\\TavRegConformance";

// Bytes outside printable ASCII as \xNN.
std::string Escaped(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) out += c >= 0x20 && c < 0x7f ? std::string(1, c) : tavtext::Format("\\x%02x", c);
    return out;
}

// A key and all below it, depth first in enumeration order, read as discovery
// reads: fresh 256-byte capacities before every call, stopping at the first
// failure. Each value is also looked up by its name upper-cased in
// Windows-1252; a lookup that fails or finds other data (a name Windows-1252
// cannot spell) is noted.
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
        std::string upper = name;
        for (char& c : upper)
            if (unsigned char u = c; (u >= 'a' && u <= 'z') || (u >= 0xe0 && u != 0xf7 && u != 0xff))
                c = static_cast<char>(u - 0x20);
        out += "\"" + Escaped(std::string_view(name, nameLength)) + "\"=\"" + Escaped(bytes) + "\"";
        long found = key->QueryValue(upper.c_str(), again, &againLength);
        std::string_view other(reinterpret_cast<char*>(again), againLength);
        if (found != REG_OK || other != bytes)
            out += " lookup " + (found != REG_OK ? std::to_string(found) : "\"" + Escaped(other) + "\"");
        out += "\n";
        nameLength = dataLength = againLength = 256;
    }
    if (result != REG_NO_MORE_ITEMS) out += "stopped with " + std::to_string(result) + "\n";
    for (uint32_t i = 0; key->EnumKey(i, name, &nameLength) == REG_OK; ++i, nameLength = 256)
        out += DumpRegistryKey(registry, path + "\\" + std::string(name, nameLength));
    return out;
}

// One line of conformance-calls.txt run (its comment says how).
std::string RunCall(RegistryReader& registry, const std::string& line) {
    std::istringstream in(line);
    std::string access, path, call, a, b, c;
    in >> access >> path >> call >> a >> b >> c;
    long error = -1;
    if (access == "connect") {
        auto remote = registry.ConnectRemote(path == "-" ? nullptr : path.c_str(), &error);
        return std::to_string(error) + (remote ? remote->HasTwoViews() ? " two views" : " one view" : "");
    }
    const unsigned rights =
        (access[0] == 'q' ? KEY_QUERY : KEY_ENUM_SUB_KEYS) | (access.ends_with("32") ? KEY_WOW64_32 : 0);
    auto key = registry.OpenKey(path.c_str(), rights, &error);
    if (!key || call == "open") return std::to_string(error) + (!key == (error != REG_OK) ? "" : " and a key");
    char name[256] = {};
    unsigned char data[256] = {};
    auto number = [](const std::string& text) { return static_cast<uint32_t>(std::strtoul(text.c_str(), 0, 10)); };
    uint32_t nameRoom = call == "query" ? 0 : number(b), dataRoom = number(call == "query" ? b : c);
    long result = call == "value" ? key->EnumValue(number(a), name, &nameRoom, data, &dataRoom)
                  : call == "key"   ? key->EnumKey(number(a), name, &nameRoom)
                                    : key->QueryValue(a == "-" ? nullptr : a == "@" ? "" : a.c_str(),
                                                      b == "-" ? nullptr : data, &dataRoom);
    std::string out = std::to_string(result);
    if (call != "key" && (result == REG_OK || result == REG_MORE_DATA)) out += " " + std::to_string(dataRoom);
    if (result == REG_OK && call != "query") out += " " + Escaped(std::string_view(name, nameRoom));
    if (result == REG_OK && call != "key" && b != "-") out += " " + Escaped({reinterpret_cast<char*>(data), dataRoom});
    return out;
}

// Every type of value with its ANSI data and length, cp1252 conversion of
// Unicode text, snapshot syntax, deletions, and the enumeration order: values
// in creation order, sub-keys by their upper-cased names. Names that differ
// in Unicode alone; lines the Registry Editor passes over, what it reads after
// them, and how each is reported (regedit reports its own); and the calls of
// conformance-calls.txt.
void CheckConformance(RegistryReader& registry, const std::vector<std::string>& warnings, bool wine) {
    for (auto [key, golden] : {std::pair{BASE, "conformance"}, {"Software\\TavRegNames", "conformance-names"},
                               {"Software\\TavRegBadLines", "conformance-badlines"}}) {
        std::string dump = DumpRegistryKey(registry, key);
        // Wine 8 keeps values sorted by name and sorts sub-keys by their lower-cased names
        // ('_' before letters); its golden file differs only there, and is accepted from Wine alone.
        if (!wine || key != BASE || dump != tavtest::ReadBinary(GOLDEN + "conformance-wine.txt")) {
            EXPECT_EQ(tavtest::ReadBinary(GOLDEN + golden + ".txt"), dump);
        }
    }
    std::string reported;
    for (const std::string& line : warnings)
        reported += line.substr(line.starts_with(FIXTURES) ? FIXTURES.size() : 0) + "\n";
    EXPECT_EQ(wine ? "" : tavtest::ReadBinary(GOLDEN + "conformance-warnings.txt"), reported);
    std::istringstream calls(tavtest::ReadBinary(FIXTURES + "conformance-calls.txt"));
    int count = 0;
    for (std::string line; std::getline(calls, line);) {
        if (line.empty() || line[0] == '#') continue;
        size_t equals = line.find(" = ");
        EXPECT_EQ(line.substr(equals + 3), RunCall(registry, line.substr(0, equals))) << line;
        ++count;
    }
    EXPECT_EQ(34, count);
}

TEST(RegistryConformance, InMemoryReaderAnswersAsTheGoldenRegistry) {
    MemoryRegistry registry;
    std::vector<std::string> warnings;
    for (const char* file : {"conformance-unicode.reg", "conformance-ansi.reg", "conformance-names.reg",
                             "conformance-badlines.reg", "conformance-views.reg"}) {
        LoadResult loaded = registry.LoadFile(FIXTURES + file);
        ASSERT_TRUE(loaded.Ok()) << loaded.error;
        warnings.insert(warnings.end(), loaded.warnings.begin(), loaded.warnings.end());
    }
    CheckConformance(registry, warnings, false);
}

TEST(RegistryConformance, MachineRegistryAnswersAsTheGoldenRegistry) {
    const char* imported = std::getenv("TAV_REGISTRY_IMPORTED");
    if (!imported) GTEST_SKIP() << "the fixtures are not imported into this machine's registry";
    const MachineRegistry machine = OpenMachineRegistry();  // no problems from the system's own registry
    CheckConformance(*machine.reader, machine.problems, imported == "wine"s);
}

// Edits made directly: string data without its NUL gets one when there is
// room, as RegQueryValueExA adds it. Without Software\Wow6432Node the machine
// has one view. Open keys share the tree: a deleted key answers
// REG_KEY_DELETED, and the registry object going away leaves them usable.
TEST(MemoryRegistry, EditsReadAsTheAnsiCallsGiveThemAndOpenKeysOutliveDeletion) {
    auto registry = std::make_unique<MemoryRegistry>();
    registry->SetValue("Software\\U", "sz", VALUE_SZ, {'A', 'B'});
    registry->SetValue("Software\\U", "binary", VALUE_BINARY, {'A', 'B'});
    registry->SetString("Software\\A\\B", "v", "x");
    auto key = registry->OpenKey("Software\\U", KEY_QUERY | KEY_WOW64_32);
    auto gone = registry->OpenKey("Software\\A\\B", KEY_QUERY | KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(key && gone);
    EXPECT_FALSE(registry->HasTwoViews());
    registry->DeleteKey("Software\\A");
    registry.reset();
    for (auto [name, room, expected] : {std::tuple{"sz", 4u, "AB\0x"}, {"sz", 2u, "ABxx"}, {"binary", 4u, "ABxx"}}) {
        unsigned char data[4] = {'x', 'x', 'x', 'x'};
        uint32_t length = room;
        EXPECT_EQ(REG_OK, key->QueryValue(name, data, &length));
        EXPECT_EQ(2u, length);
        EXPECT_EQ(std::string(expected, 4), std::string(reinterpret_cast<char*>(data), 4)) << name << room;
    }
    char name[8];
    unsigned char data[8];
    uint32_t nameLength = sizeof name, dataLength = sizeof data;
    EXPECT_EQ(REG_KEY_DELETED, gone->QueryValue("v", data, &dataLength));
    EXPECT_EQ(REG_KEY_DELETED, gone->EnumValue(0, name, &nameLength, data, &dataLength));
    EXPECT_EQ(REG_KEY_DELETED, gone->EnumKey(0, name, &nameLength));
    // A value name without room for its NUL is copied cut short.
    nameLength = 4;
    EXPECT_EQ(REG_MORE_DATA, key->EnumValue(1, name, &nameLength, nullptr, nullptr));
    EXPECT_STREQ("bin", name);
    // Key names of up to 255 characters and trees of up to 512 levels, as Windows makes them.
    MemoryRegistry limits;
    std::string deepest = "Software";
    for (int level = 2; level <= 512; ++level) deepest += "\\k";
    const std::string longest = "Software\\" + std::string(255, 'n');
    for (const std::string& path : {deepest, deepest + "\\k", longest, longest + "n"})
        limits.CreateKey(path);
    EXPECT_TRUE(limits.OpenKey(deepest.c_str(), KEY_QUERY) && limits.OpenKey(longest.c_str(), KEY_QUERY));
    EXPECT_FALSE(limits.OpenKey((deepest + "\\k").c_str(), KEY_QUERY) || limits.OpenKey((longest + "n").c_str(), KEY_QUERY));
}

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
    const auto [registry, problems, system] = OpenMachineRegistry();
    EXPECT_FALSE(system);
    EXPECT_EQ((std::vector<std::string>{faulty + ":7: HKEY_CURRENT_USER is not part of a snapshot of the local "
                                                 "machine (only HKEY_LOCAL_MACHINE); key and its values skipped",
                                        missing + ": cannot open: No such file or directory"}),
              problems);
    EXPECT_TRUE(DumpRegistryKey(*registry, BASE + "\\Ansi")
                    .ends_with("\"Text\"=\"changed\\x00\"\n\"Later\"=\"read after the skipped key\\x00\"\n"));
    EXPECT_TRUE(registry->OpenKey((BASE + "\\Types").c_str(), KEY_QUERY));  // read after the missing file
}
#endif

// Each key of the syntax fixtures holds one group of elements; the many-keys
// one has more names than are looked up without an index. The UTF-16 export
// regedit writes reads alike as UTF-16 without its byte order mark and as
// UTF-8 with or without one, with LF or CR line ends, the last one missing.
// The golden files hold what each reads as.
TEST(RegFile, ReadsEverySyntaxElementAndEncodingAsRegeditDoes) {
    const std::string utf16 = tavtest::ReadBinary(FIXTURES + "conformance-unicode.reg");
    const std::string utf8 = tavtest::ReadBinary(FIXTURES + "conformance-utf8.reg");  // the same text
    const std::string ansi = tavtest::ReadBinary(FIXTURES + "conformance-ansi.reg");
    const std::tuple<const char*, std::string, std::string, const char*> cases[] = {
        {"REGEDIT4 syntax", tavtest::ReadBinary(FIXTURES + "loader-syntax.reg"), "", "loader-syntax"},
        {"version 5 syntax", tavtest::ReadBinary(FIXTURES + "loader-syntax-5.reg"), "", "loader-syntax-5"},
        {"many keys", tavtest::ReadBinary(FIXTURES + "loader-many.reg"), "", "loader-many"},
        {"UTF-16 without its byte order mark", utf16.substr(2), ansi, "conformance"},
        {"UTF-8 with a byte order mark", utf8, ansi, "conformance"},
        {"UTF-8 with LF", std::regex_replace(utf8.substr(3), std::regex("\r\n"), "\n"), ansi, "conformance"},
        {"UTF-8 with CR, the last missing", std::regex_replace(utf8.substr(0, utf8.size() - 2), std::regex("\r\n"), "\r"),
         ansi, "conformance"}};
    for (const auto& [label, text, also, golden] : cases) {
        SCOPED_TRACE(label);
        MemoryRegistry registry;
        for (const auto& [bytes, name] : {std::pair{text, "v.reg"}, {also, "a.reg"}}) {
            if (bytes.empty()) continue;
            const LoadResult loaded = registry.LoadText(bytes, name);
            EXPECT_TRUE(loaded.Ok() && loaded.warnings.empty()) << loaded.error << loaded.warnings.size();
        }
        std::string key = golden == "conformance"s ? "Software\\TavRegConformance" : "Software";
        EXPECT_EQ(tavtest::ReadBinary(GOLDEN + golden + ".txt"), DumpRegistryKey(registry, key));
    }
}

// The cases are in loader-badlines.txt: a line "=== N: message", then the file's text.
TEST(RegFile, RefusesOrPassesOverFaultyLinesWithTheFileAndLine) {
    const std::string all = tavtest::ReadBinary(FIXTURES + "loader-badlines.txt");
    int cases = 0;
    for (size_t at = all.find("=== "); at != std::string::npos; ++cases) {
        size_t eol = all.find('\n', at), next = all.find("\n=== ", eol);
        std::string text = all.substr(eol + 1, next == std::string::npos ? next : next - eol);
        std::string expected = "test.reg:" + all.substr(at + 4, eol - at - 4);
        SCOPED_TRACE(expected);
        MemoryRegistry registry;
        bool refused = std::stoi(all.substr(at + 4)) == 1;
        const LoadResult loaded = registry.LoadText(text, "test.reg");
        EXPECT_EQ(refused ? expected : "", loaded.error);
        EXPECT_EQ(refused ? std::vector<std::string>() : std::vector{expected}, loaded.warnings);
        std::string dump = DumpRegistryKey(registry, "Software\\M");
        EXPECT_EQ(text.find("\"kept\"") != std::string::npos, dump.find("\"kept\"") != std::string::npos);
        EXPECT_EQ(std::string::npos, dump.find("\"skipped"));
        at = next == std::string::npos ? next : next + 1;
    }
    EXPECT_EQ(40, cases);
    // A file faulty throughout names the first hundred lines and counts the rest.
    std::string text = "REGEDIT4\n";
    for (int i = 0; i < 102; ++i) text += "bad\n";
    const LoadResult loaded = MemoryRegistry().LoadText(text, "test.reg");
    EXPECT_TRUE(loaded.Ok()) << loaded.error;
    ASSERT_EQ(101u, loaded.warnings.size());
    EXPECT_EQ("test.reg: 2 more warnings not listed", loaded.warnings.back());
}

// LoadFile reads a megabyte at a time: a CR LF pair (here inside hex data,
// where an empty line is refused) or a character cut by the piece boundary
// must read as LoadText reads the whole text. ANSI, UTF-8 (also with a
// character cut after each of its bytes), and UTF-16.
TEST(RegFile, FilesReadInPiecesGiveWhatTheWholeTextGives) {
    const size_t PIECE = 1 << 20;
    std::string body = "[HKEY_LOCAL_MACHINE\\Software\\P]\r\n";
    for (int i = 0; body.size() < PIECE + 4096; ++i)
        body += "\"v" + std::to_string(i) + "\"=\"\xc3\xa9\xe2\x82\xac\"\r\n\"h\"=hex:01,\\\r\n 02\r\n";
    body += "a faulty line, whose number counts the lines before it\r\n";
    tavtest::TempDir dir;
    const std::tuple<int, const char*, size_t> cuts[] = {{0, "\\\r\n", 2},         {1, "\\\r\n", 2},
                                                         {1, "\xc3\xa9", 1},       {1, "\xe2\x82\xac", 1},
                                                         {1, "\xe2\x82\xac", 2}, {2, "\\\r\n", 2}};
    for (auto [encoding, pattern, offset] : cuts) {
        // A comment line as long as it takes to put the cut first in the second piece.
        std::string head = encoding ? "Windows Registry Editor Version 5.00\r\n;" : "REGEDIT4\r\n;";
        size_t boundary = encoding == 2 ? (PIECE - 2) / 2 : PIECE;
        size_t at = body.rfind(pattern, boundary - head.size() - 2 - offset) + offset;
        std::string text = head + std::string(boundary - head.size() - 2 - at, ';') + "\r\n" + body, bytes = text;
        ASSERT_EQ(pattern[offset], text[boundary]);
        if (encoding == 2) {  // Latin-1 text as UTF-16LE, with its byte order mark
            bytes = "\xff\xfe";
            for (char c : text) bytes += {c, '\0'};
        }
        tavtest::WriteFile(dir.file("p.reg"), bytes);
        SCOPED_TRACE("encoding " + std::to_string(encoding) + ", cut " + std::to_string(offset) + " into " +
                     Escaped(pattern));
        MemoryRegistry whole, pieces;
        const LoadResult wholeLoaded = whole.LoadText(bytes, dir.file("p.reg"));
        const LoadResult pieceLoaded = pieces.LoadFile(dir.file("p.reg"));
        ASSERT_TRUE(wholeLoaded.Ok()) << wholeLoaded.error;
        ASSERT_TRUE(pieceLoaded.Ok()) << pieceLoaded.error;
        EXPECT_EQ(DumpRegistryKey(whole, "Software\\P"), DumpRegistryKey(pieces, "Software\\P"));
        EXPECT_EQ(1u, wholeLoaded.warnings.size());
        EXPECT_EQ(wholeLoaded.warnings, pieceLoaded.warnings);
    }
}

// The parser takes pieces of any size (a file gives even ones): a UTF-16 unit
// cut between two pieces reads whole.
TEST(RegFile, OddPiecesOfUtf16ReadAsTheWholeText) {
    std::string bytes = "\xff\xfe";
    for (char c : "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Software\\P]\r\n\"v\"=\"odd\"\r\n"s)
        bytes += {c, '\0'};
    tavreg::detail::Tree tree;
    tavreg::detail::RegFileParser parser(tree, "p.reg");
    for (size_t at = 0; at < bytes.size(); at += 7)
        ASSERT_TRUE(parser.Feed(bytes.data() + at, std::min<size_t>(7, bytes.size() - at)));
    ASSERT_TRUE(parser.Finish());
    const tavreg::detail::KeyNode* key = tavreg::detail::FindPath(tree, tavreg::detail::RegText{"Software\\P"});
    ASSERT_TRUE(key && key->values.size() == 1);
    EXPECT_EQ("odd"s + '\0', key->values[0].Data().bytes);
}

}  // namespace
