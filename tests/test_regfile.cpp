// The .reg snapshot loader of the in-memory registry: syntax, encodings,
// deletions, and the one-line messages for files it refuses.
#include "platform/MemoryRegistry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tav_testutil.h"

using namespace tavplat;

namespace {

const char HKLM[] = "HKEY_LOCAL_MACHINE\\";
const char V5[] = "Windows Registry Editor Version 5.00\r\n";

// UTF-8 source text to the UTF-16LE bytes of a regedit export, with its byte order mark.
std::string Utf16(const std::string& utf8, bool bom = true) {
    std::string out = bom ? "\xff\xfe" : "";
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xff));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t n = c < 0x80 ? 1 : c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4;
        cp = n == 1 ? c : c & (0x7f >> n);
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3f);
        i += n;
        if (cp >= 0x10000) {
            unit(0xd800 + ((cp - 0x10000) >> 10));
            unit(0xdc00 + ((cp - 0x10000) & 0x3ff));
        } else {
            unit(cp);
        }
    }
    return out;
}

class RegFile : public ::testing::Test {
protected:
    bool Load(const std::string& bytes) {
        error_.clear();
        return registry_.LoadText(bytes, "test.reg", &error_);
    }

    void Refused(const std::string& bytes, const std::string& message) {
        EXPECT_FALSE(Load(bytes)) << message;
        EXPECT_EQ(message, error_);
    }

    // The data of a value as RegQueryValueExA gives it; "<missing>" when absent.
    std::string Data(const char* key, const char* name) {
        auto handle = registry_.OpenKey(key, KEY_QUERY);
        if (!handle) return "<missing>";
        uint32_t length = 0;
        if (handle->QueryValue(name, nullptr, &length) != REG_OK) return "<missing>";
        std::string data(length, '\0');
        EXPECT_EQ(REG_OK, handle->QueryValue(name, reinterpret_cast<unsigned char*>(data.data()), &length));
        return data;
    }

    std::vector<std::string> ValueNames(const char* key) {
        std::vector<std::string> names;
        auto handle = registry_.OpenKey(key, KEY_QUERY);
        for (uint32_t i = 0; handle; ++i) {
            char name[300];
            uint32_t nameLength = sizeof name;
            uint32_t dataLength = 0;
            if (handle->EnumValue(i, name, &nameLength, nullptr, &dataLength) != REG_OK) break;
            names.push_back(name);
        }
        return names;
    }

    bool Exists(const char* key) { return registry_.OpenKey(key, KEY_QUERY) != nullptr; }

    MemoryRegistry registry_;
    std::string error_;
};

std::string S(const char* text, size_t length) { return std::string(text, length); }

// ---- syntax elements ------------------------------------------------------------------------

TEST_F(RegFile, ReadsEveryKindOfValue) {
    ASSERT_TRUE(Load(std::string("REGEDIT4\r\n\r\n; a comment line\r\n[") + HKLM + "Software\\Kinds]\r\n"
                     "@=\"the default\"\r\n"
                     "\"Path\"=\"C:\\\\Program Files\\\\x \\\"y\\\"\"\r\n"
                     "\"Lines\"=\"a\\nb\"\r\n"
                     "\"Count\"=dword:0000002a\r\n"
                     "\"Short\"=dword:ff ; trailing comment\r\n"
                     "\"Bin\"=hex:de,AD,0,7\r\n"
                     "\"Empty\"=hex:\r\n"
                     "\"None\"=hex(0):01\r\n"
                     "\"Sz\"=hex(1):41,42,00\r\n"
                     "\"SzOpen\"=hex(1):41,42\r\n"
                     "\"SzEmpty\"=hex(1):\r\n"
                     "\"Big\"=hex(5):00,00,00,01\r\n"
                     "\"Link\"=hex(6):6c,00\r\n"
                     "\"Res\"=hex(8):01\r\n"
                     "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                     "  \"Spaced\" = \"around the equals sign\"\r\n"
                     "\"Blank\"=dword: 7\r\n"
                     "\"Wide\"=hex( 7):41,00\r\n"));
    const char* key = "Software\\Kinds";
    EXPECT_EQ(S("the default", 12), Data(key, ""));
    EXPECT_EQ(S("C:\\Program Files\\x \"y\"", 23), Data(key, "Path"));
    EXPECT_EQ(S("a\nb", 4), Data(key, "Lines"));
    EXPECT_EQ(S("\x2a\0\0\0", 4), Data(key, "Count"));
    EXPECT_EQ(S("\xff\0\0\0", 4), Data(key, "Short"));
    EXPECT_EQ(S("\xde\xad\x00\x07", 4), Data(key, "Bin"));
    EXPECT_EQ("", Data(key, "Empty"));
    EXPECT_EQ(S("\x01", 1), Data(key, "None"));
    EXPECT_EQ(S("AB", 3), Data(key, "Sz"));
    EXPECT_EQ(S("AB", 3), Data(key, "SzOpen")) << "string data is ended with a NUL";
    EXPECT_EQ("", Data(key, "SzEmpty"));
    EXPECT_EQ(S("\0\0\0\x01", 4), Data(key, "Big"));
    EXPECT_EQ(S("l\0", 2), Data(key, "Link"));
    EXPECT_EQ(S("\x01", 1), Data(key, "Res"));
    EXPECT_EQ(S("\x01\0\0\0\0\0\0\0", 8), Data(key, "Q"));
    EXPECT_EQ(S("around the equals sign", 23), Data(key, "Spaced"));
    EXPECT_EQ(S("\x07\0\0\0", 4), Data(key, "Blank"));
    EXPECT_EQ(S("A", 2), Data(key, "Wide"));
}

TEST_F(RegFile, HexDataContinuesOverLines) {
    ASSERT_TRUE(Load(std::string("REGEDIT4\n[") + HKLM + "Software\\Cont]\n"
                     "\"Long\"=hex: 01, 2,\\ \n"
                     "  03,04,\\\n"
                     "; a comment between the lines\n"
                     "  05 ; and one after the data\n"
                     "\"Trailing\"=hex:0a,\n"
                     "\"After\"=\"x\"\n"));
    EXPECT_EQ(S("\x01\x02\x03\x04\x05", 5), Data("Software\\Cont", "Long"));
    EXPECT_EQ(S("\x0a", 1), Data("Software\\Cont", "Trailing"));
    EXPECT_EQ(S("x", 2), Data("Software\\Cont", "After"));
}

TEST_F(RegFile, LineEndsMayBeCrLfLfOrCrAndTheLastMayBeMissing) {
    std::string body = std::string("[") + HKLM + "Software\\E]@\"a\"=\"1\"@\"b\"=hex:01,\\@02@\"c\"=\"3\"";
    for (const char* end : {"\r\n", "\n", "\r"}) {
        MemoryRegistry fresh;
        std::string text = "REGEDIT4" + std::string(end) + body;
        for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, end);
        std::string error;
        ASSERT_TRUE(fresh.LoadText(text, "e.reg", &error)) << error;
        auto key = fresh.OpenKey("Software\\E", KEY_QUERY);
        ASSERT_TRUE(key);
        unsigned char data[8];
        uint32_t length = sizeof data;
        ASSERT_EQ(REG_OK, key->QueryValue("b", data, &length));
        EXPECT_EQ(2u, length);
        length = sizeof data;
        ASSERT_EQ(REG_OK, key->QueryValue("c", data, &length)) << "the last line has no line end";
        EXPECT_STREQ("3", reinterpret_cast<char*>(data));
    }
}

TEST_F(RegFile, KeysAreCreatedWithTheirParentsAndKeepTheFirstSpelling) {
    ASSERT_TRUE(Load(std::string("REGEDIT4\n[") + HKLM + "Software\\A\\B\\C]\n[" + HKLM +
                     "SOFTWARE\\a\\b\\c\\] ; trailing backslash\n\"v\"=\"1\"\n[hkey_local_machine\\Software\\D]\n"
                     "[" + HKLM + "Software\\E]]\n[" + HKLM + "Software\\\\F\\\\G]\n"));
    EXPECT_TRUE(Exists("Software\\A\\B"));
    EXPECT_EQ(S("1", 2), Data("Software\\A\\B\\C", "v"));
    EXPECT_TRUE(Exists("Software\\D"));
    EXPECT_TRUE(Exists("Software\\E]")) << "the key ends at the last ']'";
    EXPECT_TRUE(Exists("Software\\F\\G")) << "doubled backslashes separate once";
    auto key = registry_.OpenKey("software", KEY_ENUM_SUB_KEYS);
    ASSERT_TRUE(key);
    char name[8];
    uint32_t length = sizeof name;
    ASSERT_EQ(REG_OK, key->EnumKey(0, name, &length));
    EXPECT_STREQ("A", name);
}

// ---- encodings ----------------------------------------------------------------------------------

TEST_F(RegFile, Version5InUtf16ConvertsTextToWindows1252) {
    std::string text = std::string(V5) + "[" + HKLM + "Software\\U]\r\n"
                       "\"Näme\"=\"€ café Ω中\"\r\n"
                       "\"Multi\"=hex(7):e9,00,00,00,61,00,00,00,00,00\r\n"
                       "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                       "\"Odd\"=hex(1):41,00,42\r\n"
                       "\"Raw\"=hex:41,00\r\n";
    for (bool bom : {true, false}) {
        ASSERT_TRUE(Load(Utf16(text, bom))) << error_;
        EXPECT_EQ(S("\x80 caf\xe9 O?", 10), Data("Software\\U", "N\xe4me")) << "best fit, else '?'";
        EXPECT_EQ(S("\xe9\0a\0", 5), Data("Software\\U", "Multi"));
        EXPECT_EQ(S("%A%", 4), Data("Software\\U", "Expand"));
        EXPECT_EQ(S("A", 2), Data("Software\\U", "Odd")) << "an odd last byte is no character";
        EXPECT_EQ(S("A\0", 2), Data("Software\\U", "Raw")) << "binary data stays as it is";
    }
}

TEST_F(RegFile, Version5InUtf8WithOrWithoutByteOrderMark) {
    std::string text = std::string(V5) + "[" + HKLM + "Software\\U8]\n\"K\xc3\xa9y\"=\"\xe2\x82\xac \xf0\x9f\x98\x80\"\n"
                       "\"Bad\"=\"\xff\xc3\"\n";
    for (const char* bom : {"\xef\xbb\xbf", ""}) {
        ASSERT_TRUE(Load(bom + text)) << error_;
        EXPECT_EQ(S("\x80 ??", 5), Data("Software\\U8", "K\xe9y"));
        EXPECT_EQ(S("??", 3), Data("Software\\U8", "Bad"));
    }
}

TEST_F(RegFile, Regedit4KeepsAnsiBytesAndItsMultiStringsAreAnsi) {
    ASSERT_TRUE(Load(std::string("REGEDIT4\n[") + HKLM + "Software\\R4]\n\"N\xe4me\"=\"\x80\xe9\"\n"
                     "\"Multi\"=hex(7):61,00,e9,00,00\n\"Expand\"=hex(2):25,41,25,00\n"));
    EXPECT_EQ(S("\x80\xe9", 3), Data("Software\\R4", "N\xc4ME"));
    EXPECT_EQ(S("a\0\xe9\0", 5), Data("Software\\R4", "Multi"));
    EXPECT_EQ(S("%A%", 4), Data("Software\\R4", "Expand"));
}

// ---- deletions and order ------------------------------------------------------------------------

TEST_F(RegFile, DeletionsRemoveKeysWithTheirSubKeysAndSingleValues) {
    ASSERT_TRUE(Load(std::string("REGEDIT4\n[") + HKLM + "Software\\Del\\Sub\\Deep]\n\"v\"=\"1\"\n[" + HKLM +
                     "Software\\Keep]\n\"a\"=\"1\"\n\"b\"=\"2\"\n\"c\"=\"3\"\n"
                     "[-" + HKLM + "Software\\Del\\Sub]\n\"ignored\"=\"after a deletion\"\n"
                     "[-" + HKLM + "Software\\NeverThere]\n[" + HKLM + "Software\\Keep]\n\"b\"=-\n\"a\"=\"again\"\n"
                     "\"d\"=\"4\"\n\"nothing\"=-\n"
                     "[" + HKLM + "Software\\Again\\Sub\\Old]\n[-" + HKLM + "Software\\Again\\Sub]\n[" + HKLM +
                     "Software\\Again\\Sub\\New]\n"));
    EXPECT_TRUE(Exists("Software\\Del"));
    EXPECT_FALSE(Exists("Software\\Del\\Sub"));
    EXPECT_TRUE(Exists("Software\\Again\\Sub\\New")) << "a key made again after its deletion";
    EXPECT_FALSE(Exists("Software\\Del\\Sub\\Deep"));
    EXPECT_EQ("<missing>", Data("Software\\Del", "ignored"));
    EXPECT_EQ((std::vector<std::string>{"a", "c", "d"}), ValueNames("Software\\Keep"));
    EXPECT_EQ(S("again", 6), Data("Software\\Keep", "a"));
}

// ---- refusals ------------------------------------------------------------------------------------------

TEST_F(RegFile, RefusesWhatIsNotASnapshotOfTheLocalMachine) {
    const std::string start = std::string("REGEDIT4\n; c\n");
    Refused("", "test.reg:1: the file is empty");
    Refused("REGEDIT5\n", "test.reg:1: not a registry file: the first line is neither \"REGEDIT4\" nor "
                          "\"Windows Registry Editor Version 5.00\"");
    Refused(start + "[HKEY_CURRENT_USER\\Software]\n",
            "test.reg:3: HKEY_CURRENT_USER is not part of a snapshot of the local machine (only HKEY_LOCAL_MACHINE)");
    Refused(start + "[HKEY_USERS\\.DEFAULT]\n",
            "test.reg:3: HKEY_USERS is not part of a snapshot of the local machine (only HKEY_LOCAL_MACHINE)");
    Refused(start + "[HKLM\\Software]\n", "test.reg:3: unknown root key \"HKLM\" (expected HKEY_LOCAL_MACHINE)");
    Refused(start + "[-HKEY_LOCAL_MACHINE]\n", "test.reg:3: HKEY_LOCAL_MACHINE itself cannot be deleted");
    Refused("\xfe\xff", "test.reg:1: UTF-16 big-endian text is not a registry file format (expected UTF-16LE)");
}

TEST_F(RegFile, MalformedLinesAreNamedWithFileAndLine) {
    const std::string start = std::string("REGEDIT4\n[") + HKLM + "Software\\M]\n";
    Refused("REGEDIT4\n\"v\"=\"x\"\n", "test.reg:2: value before the first [key] line");
    Refused(start + "[" + HKLM + "Software\\N\n", "test.reg:3: key line without its closing ']'");
    Refused(start + "[" + HKLM + "Software\\N] x\n", "test.reg:3: text after the closing ']' of the key");
    Refused(start + "\"v\"\"x\"\n", "test.reg:3: expected '=' after the value name");
    Refused(start + "\"v=\"x\"\n", "test.reg:3: expected '=' after the value name");
    Refused(start + "\"v\"=\"x\n", "test.reg:3: string without its closing quote");
    Refused(start + "\"v\n", "test.reg:3: value name without its closing quote");
    Refused(start + "\"v\"=\"x\" y\n", "test.reg:3: text after the closing quote of the string");
    Refused(start + "\"v\"=dword:123456789\n", "test.reg:3: dword: needs 1 to 8 hex digits");
    Refused(start + "\"v\"=dword:\n", "test.reg:3: dword: needs 1 to 8 hex digits");
    Refused(start + "\"v\"=dword:12g\n", "test.reg:3: dword: needs 1 to 8 hex digits");
    Refused(start + "\"v\"=hex:01,,02\n", "test.reg:3: empty byte in hex data (two commas)");
    Refused(start + "\"v\"=hex:01\\\n02\n", "test.reg:4: missing comma between bytes in hex data");
    Refused(start + "\"v\"=hex:0102\n", "test.reg:3: a byte in hex data has more than 2 hex digits");
    Refused(start + "\"v\"=hex:01 02\n", "test.reg:3: blank before a comma or backslash in hex data");
    Refused(start + "\"v\"=hex:01 ,02\n", "test.reg:3: blank before a comma or backslash in hex data");
    Refused(start + "\"v\"=hex:01,02 \\\n03\n", "test.reg:3: blank before a comma or backslash in hex data");
    Refused(start + "\"v\"=hex:01,\\ x\n", "test.reg:3: text after the continuation backslash in hex data");
    Refused(start + "\"v\"=hex:01,\\\n\n\"w\"=\"x\"\n", "test.reg:4: hex data continued onto an empty line");
    Refused(start + "\"v\"=hex:01,\\\n; c\n", "test.reg:4: hex data continued past the end of the file");
    Refused(start + "\"v\"=\"a\\tb\"\n", "test.reg:3: unknown escape \\t in the string (known are \\\\, \\\" and \\n)");
    Refused(start + "\"v\\0\"=\"x\"\n", "test.reg:3: unknown escape \\0 in the value name (known are \\\\, \\\" and \\n)");
    Refused(start + "\"v\"=hex:123\n", "test.reg:3: a byte in hex data has more than 2 hex digits");
    Refused(start + "\"v\"=hex:01,\\\n 0x\n", "test.reg:4: bad character 'x' in hex data");
    Refused(start + "\"v\"=hex(7:00\n",
            "test.reg:3: malformed hex(type): prefix (expected hex(0) to hex(ffffffff) followed by ':')");
    Refused(start + "\"v\"=hex(2)00\n",
            "test.reg:3: malformed hex(type): prefix (expected hex(0) to hex(ffffffff) followed by ':')");
    Refused(start + "\"v\"=str:x\n", "test.reg:3: unknown value data (expected \"text\", dword:, hex:, hex(type): or -)");
    Refused(start + "v=1\n", "test.reg:3: unrecognised line (expected [key], \"name\"=data, @=data or a ; comment)");
    Refused(start + "[" + HKLM + std::string(256, 'k') + "]\n", "test.reg:3: a key name is longer than 255 characters");
    std::string deep;
    for (int i = 0; i < 513; ++i) deep += "\\k";
    Refused(start + "[HKEY_LOCAL_MACHINE" + deep + "]\n", "test.reg:3: the key path is deeper than 512 levels");
}

TEST_F(RegFile, WhatWasReadBeforeAFaultStays) {
    EXPECT_FALSE(Load(std::string("REGEDIT4\n[") + HKLM + "Software\\Before]\n\"v\"=\"kept\"\n[" + HKLM +
                      "Software\\Also]\nbroken line\n[" + HKLM + "Software\\After]\n"));
    EXPECT_EQ(S("kept", 5), Data("Software\\Before", "v"));
    EXPECT_TRUE(Exists("Software\\Also"));
    EXPECT_FALSE(Exists("Software\\After"));
}

// ---- reading in pieces ------------------------------------------------------------------------------

// LoadFile reads a megabyte at a time; characters, CR LF pairs and lines cut
// by a piece boundary must read as LoadText reads them whole.
TEST_F(RegFile, FilesReadInPiecesGiveWhatTheWholeTextGives) {
    tavtest::TempDir dir;
    for (bool unicode : {false, true}) {
        for (size_t shift = 0; shift < 4; ++shift) {
            std::string text = std::string(unicode ? V5 : "REGEDIT4\r\n") + std::string(shift, ';') + "\r\n[" + HKLM +
                               "Software\\P]\r\n";
            for (int i = 0; text.size() < (unicode ? 600000u : 1100000u); ++i)
                text += "\"v" + std::to_string(i) + "\"=\"\xc3\xa9\xe2\x82\xac-" + std::to_string(i) + "\"\r\n";
            std::string bytes = unicode ? Utf16(text) : text;
            tavtest::WriteFile(dir.file("p.reg"), bytes);
            MemoryRegistry whole, pieces;
            std::string error;
            ASSERT_TRUE(whole.LoadText(bytes, "p.reg", &error)) << error;
            ASSERT_TRUE(pieces.LoadFile(dir.file("p.reg"), &error)) << error;
            auto a = whole.OpenKey("Software\\P", KEY_QUERY);
            auto b = pieces.OpenKey("Software\\P", KEY_QUERY);
            ASSERT_TRUE(a && b);
            uint32_t count = 0;
            for (;; ++count) {
                char nameA[32], nameB[32];
                unsigned char dataA[64], dataB[64];
                uint32_t nlA = 32, nlB = 32, dlA = 64, dlB = 64;
                long ra = a->EnumValue(count, nameA, &nlA, dataA, &dlA);
                long rb = b->EnumValue(count, nameB, &nlB, dataB, &dlB);
                ASSERT_EQ(ra, rb) << count;
                if (ra != REG_OK) break;
                ASSERT_STREQ(nameA, nameB);
                ASSERT_EQ(S(reinterpret_cast<char*>(dataA), dlA), S(reinterpret_cast<char*>(dataB), dlB));
            }
            EXPECT_GT(count, 10000u);
        }
    }
}

// Damaged files end in a message or a registry, never in a crash or a hang
// (the sanitizer build checks the reads).
TEST_F(RegFile, DamagedInputNeverBreaksTheLoader) {
    std::string sample = std::string("REGEDIT4\r\n[") + HKLM + "Software\\F\\G]\r\n@=\"d\"\r\n\"s\"=\"a\\\\b\\\"c\"\r\n"
                         "\"d\"=dword:12\r\n\"h\"=hex(7):41,00,\\\r\n  00\r\n[-" + HKLM + "Software\\F]\r\n\"x\"=-\r\n";
    std::mt19937 random(12345);
    const char alphabet[] = "[]\\\"@=-;:,(){}\r\n\t 0123456789abcdefxhdword\xff\xfe\x00";
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 3 == 0 ? Utf16(sample) : sample;
        int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = alphabet[random() % (sizeof alphabet - 1)]; break;
            case 1: text.erase(at, 1 + random() % 4); break;
            default: text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]); break;
            }
        }
        MemoryRegistry fresh;
        std::string error;
        if (!fresh.LoadText(text, "f.reg", &error)) {
            EXPECT_EQ(0u, error.rfind("f.reg:", 0)) << error;
            EXPECT_EQ(std::string::npos, error.find('\n')) << error;
        }
    }
}

}  // namespace
