// The .reg snapshot loader of the in-memory registry: the syntax elements, the
// faulty lines, encodings and line ends, reading in pieces, damaged input.
#include "registry/MemoryRegistry.h"
#include "text/Text.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "tav_testutil.h"

using namespace tavplat;
using namespace tavreg;
using namespace std::string_literals;

std::string DumpRegistryKey(RegistryReader& registry, const std::string& path);  // in test_registry.cpp

namespace {

const std::string FIXTURES = std::string(TAV_TEST_DATA) + "/fixtures/registry/";
const std::string GOLDEN = std::string(TAV_TEST_DATA) + "/golden/registry/";
const std::string V5 = "Windows Registry Editor Version 5.00\r\n";

// Latin-1 text as the UTF-16LE bytes of a regedit export, with its byte order mark.
std::string Utf16(const std::string& latin1) {
    std::string out = "\xff\xfe";
    for (char c : latin1) out += {c, '\0'};
    return out;
}

// Each key of the fixtures holds one group of syntax elements; the golden
// files hold what they read as.
TEST(RegFile, ReadsEverySyntaxElementAsRegeditDoes) {
    for (std::string name : {"loader-syntax", "loader-syntax-5"}) {
        MemoryRegistry registry;
        std::string error;
        EXPECT_TRUE(registry.LoadFile(FIXTURES + name + ".reg", &error)) << error;
        EXPECT_EQ(tavtest::ReadFile(GOLDEN + name + ".txt"), DumpRegistryKey(registry, "Software")) << name;
    }
}

// The cases are in loader-badlines.txt: a line "=== N: message", then the file's text.
TEST(RegFile, RefusesOrPassesOverFaultyLinesWithTheFileAndLine) {
    const std::string all = tavtest::ReadFile(FIXTURES + "loader-badlines.txt");
    int cases = 0;
    for (size_t at = all.find("=== "); at != std::string::npos; ++cases) {
        size_t eol = all.find('\n', at), next = all.find("\n=== ", eol);
        std::string text = all.substr(eol + 1, next == std::string::npos ? next : next - eol);
        std::string expected = "test.reg:" + all.substr(at + 4, eol - at - 4);
        MemoryRegistry registry;
        std::string error;
        std::vector<std::string> warnings;
        bool refused = std::stoi(all.substr(at + 4)) == 1;
        EXPECT_EQ(!refused, registry.LoadText(text, "test.reg", &error, &warnings)) << expected;
        EXPECT_EQ(refused ? expected : "", error);
        EXPECT_EQ(refused ? std::vector<std::string>() : std::vector{expected}, warnings);
        std::string dump = DumpRegistryKey(registry, "Software\\M");
        EXPECT_EQ(text.find("\"kept\"") != std::string::npos, dump.find("\"kept\"") != std::string::npos) << expected;
        EXPECT_EQ(std::string::npos, dump.find("\"skipped")) << expected;
        at = next == std::string::npos ? next : next + 1;
    }
    EXPECT_EQ(38, cases);
    // A file faulty throughout names the first hundred lines and counts the rest.
    std::string text = "REGEDIT4\n";
    for (int i = 0; i < 102; ++i) text += "bad\n";
    std::vector<std::string> warnings;
    EXPECT_TRUE(MemoryRegistry().LoadText(text, "test.reg", nullptr, &warnings));
    EXPECT_EQ(101u, warnings.size());
    EXPECT_EQ("test.reg: 2 more warnings not listed", warnings.back());
}

// The UTF-16 export regedit writes, as UTF-16 without its byte order mark and
// as UTF-8 with or without one, with LF or CR line ends, the last one missing.
TEST(RegFile, EncodingsAndLineEndsReadAlike) {
    const std::string utf16 = tavtest::ReadFile(FIXTURES + "conformance-unicode.reg");
    const std::string utf8 = tavtest::ReadFile(FIXTURES + "conformance-utf8.reg");  // the same text
    std::string error;
    const std::string lf = std::regex_replace(utf8.substr(3), std::regex("\r\n"), "\n");
    const std::string cr = std::regex_replace(utf8, std::regex("\r\n"), "\r");
    for (const std::string& variant : {utf16.substr(2), utf8, lf, cr.substr(0, cr.size() - 1)}) {
        MemoryRegistry registry;
        EXPECT_TRUE(registry.LoadText(variant, "v.reg", &error)) << error;
        EXPECT_TRUE(registry.LoadFile(FIXTURES + "conformance-ansi.reg", &error)) << error;
        std::string dump = DumpRegistryKey(registry, "Software\\TavRegConformance");
        EXPECT_EQ(tavtest::ReadFile(GOLDEN + "conformance.txt"), dump) << variant.substr(0, 40);
    }
}

// LoadFile reads a megabyte at a time: a CR LF pair (here inside hex data,
// where an empty line is refused) or a character cut by the piece boundary
// must read as LoadText reads the whole text.
TEST(RegFile, FilesReadInPiecesGiveWhatTheWholeTextGives) {
    const size_t PIECE = 1 << 20;
    std::string body = "[HKEY_LOCAL_MACHINE\\Software\\P]\r\n";
    for (int i = 0; body.size() < PIECE + 4096; ++i)
        body += "\"v" + std::to_string(i) + "\"=\"\xc3\xa9\xe2\x82\xac\"\r\n\"h\"=hex:01,\\\r\n 02\r\n";
    tavtest::TempDir dir;
    // ANSI, UTF-8, UTF-16; UTF-8 also with a character cut after each of its bytes.
    const std::tuple<int, const char*, size_t> cuts[] = {{0, "\\\r\n", 2},       {1, "\\\r\n", 2},
                                                         {1, "\xc3\xa9", 1},      {1, "\xe2\x82\xac", 1},
                                                         {1, "\xe2\x82\xac", 2}, {2, "\\\r\n", 2}};
    for (auto [encoding, pattern, offset] : cuts) {
        // A comment line as long as it takes to put the cut first in the second piece.
        std::string head = (encoding ? V5 : "REGEDIT4\r\n") + ";";
        size_t boundary = encoding == 2 ? (PIECE - 2) / 2 : PIECE;
        size_t at = body.rfind(pattern, boundary - head.size() - 2 - offset) + offset;
        std::string text = head + std::string(boundary - head.size() - 2 - at, ';') + "\r\n" + body;
        ASSERT_EQ(pattern[offset], text[boundary]);
        std::string bytes = encoding == 2 ? Utf16(text) : text;
        tavtest::WriteFile(dir.file("p.reg"), bytes);
        MemoryRegistry whole, pieces;
        std::string error;
        ASSERT_TRUE(whole.LoadText(bytes, "p.reg", &error)) << error;
        ASSERT_TRUE(pieces.LoadFile(dir.file("p.reg"), &error)) << error;
        EXPECT_EQ(DumpRegistryKey(whole, "Software\\P"), DumpRegistryKey(pieces, "Software\\P"))
            << encoding << offset;
    }
}

// Damaged files end in a registry, with messages, or in a refusal, never in a
// crash or a hang (the sanitizer build checks the reads).
TEST(RegFile, DamagedInputNeverBreaksTheLoader) {
    const std::string samples[] = {tavtest::ReadFile(FIXTURES + "loader-syntax.reg"),
                                   tavtest::ReadFile(FIXTURES + "loader-syntax-5.reg"),
                                   tavtest::ReadFile(FIXTURES + "conformance-unicode.reg"),
                                   tavtest::ReadFile(FIXTURES + "conformance-names.reg")};
    const std::string alphabet = "[]\\\"@=-;:,(){}\r\n\t 0123456789abcdefxhdword\xff\xfe\xef\xbb\xbf\xc3\xe2\x80\0"s;
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text = samples[round % 4];
        for (int edits = 1 + static_cast<int>(random() % 8); edits > 0 && !text.empty(); --edits) {
            size_t at = random() % text.size();
            char c = alphabet[random() % alphabet.size()];
            switch (random() % 4) {
            case 0: text[at] = c; break;
            case 1: text.erase(at, 1 + random() % 4); break;
            case 2: text.insert(at, 1, c); break;
            default: text.resize(random() % 4 ? text.size() : at);  // now and then the file ends early
            }
        }
        std::string error;
        std::vector<std::string> warnings;
        bool loaded = MemoryRegistry().LoadText(text, "f.reg", &error, &warnings);
        if (!loaded) warnings.push_back(error);
        for (const std::string& line : warnings)  // one line each, fit for a terminal
            EXPECT_TRUE(line.starts_with("f.reg:") && !tavtext::HasControlCharacter(line)) << line;
    }
}

}  // namespace
