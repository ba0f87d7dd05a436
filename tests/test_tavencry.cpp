// Password encoding: fixed decode vectors that pin the scheme's tables and
// constants, round trips, clear-text markers, the key check and the limits.
#include <gtest/gtest.h>

#include <cctype>
#include <ctime>
#include <string>

#include "password/tavencry.h"
#include "runtime/coll.h"

namespace {

const char* const PW49 = "!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQ";
const char* const PW48 = "RSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~ Az";
const char* const LONG_LOGIN = "a_rather_long_login_name";
const char* const LONG_SERVER = "A_VERY_LONG_SERVER_NAME_FOR_CUTTING";

// Results live in static buffers: copy them at once.
std::string Text(const char* result) { return result ? std::string(result) : std::string("(null)"); }

bool IsEncodedForm(const std::string& value) {
    if (value.size() != 88) return false;
    for (char c : value)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c))) return false;
    return true;
}

// Sets the settings' logon and server id, the default key text, for one test.
class ScopedDefaultKey {
public:
    ScopedDefaultKey(const char* logon, const char* server_id)
        : old_logon_(coll_settings.logon), old_server_id_(coll_settings.server_id),
          logon_(logon ? logon : ""), server_id_(server_id ? server_id : "") {
        coll_settings.logon = logon ? logon_.data() : nullptr;
        coll_settings.server_id = server_id ? server_id_.data() : nullptr;
    }
    ~ScopedDefaultKey() {
        coll_settings.logon = old_logon_;
        coll_settings.server_id = old_server_id_;
    }

private:
    char* old_logon_;
    char* old_server_id_;
    std::string logon_;
    std::string server_id_;
};

struct DecodeVector {
    const char* name;
    const char* value;
    const char* password;
    const char* login;
    const char* server;
};

// Made once with the finished implementation; they must decode forever.
const DecodeVector VECTORS[] = {
    {"one character", "A86FD3C0F74191F917E789303F1B808D0BFCCBC7D248A6F0E287C0EC596D7262578280329AAC2114442206F9",
     "x", "dbsnmp", "PROD01"},
    {"twenty characters",
     "5FC4E9745B61EF55F5A0CACF71574ADACF7A9ED0B5F74042DCEA9B4B1C80E3EB8A6652BB158AD409D8567747",
     "Tr0ub4dor&3 horse~ok", "monitor", "SALES_DB"},
    {"48 characters, key cut to one character",
     "4B57576575E48ACB124269C759F8ECE72DCC49B40B617434E029455FAA9123CECAB30AC21B644D1BB69B9C74", PW48, "system",
     "DB9"},
    {"49 characters, no key stored",
     "D5C09CBFD5D1E6A9DB0F425D18A85B2B6150344D3505E148570D14045EC1BE49AE7CD3A4C76170A8569A8040", PW49, "sa",
     "MSSQL$INST"},
    {"key text cut at position 0",
     "176A6C651C5BD0D7FF6688C50BD8ED5B1CE1E72E5639FC75901B3B5D1A2F3F63B9B2F080A61FE6264CE17C77", "secret",
     LONG_LOGIN, LONG_SERVER},
    {"control characters, DEL and 8-bit key characters",
     "77DCBEB0361CCCB0A9279F4791D1B6B6C79267FD507A2618C04F5609F16895B224FD201A8890D6AA9F6AF4F2", "Gr\x7f\x01n",
     "op\xe9rateur", "Z\xfcrich"},
    // Made by the Windows build: its rand() gives other filler.
    {"one character, Windows filler",
     "0AF88469C1E574858F185D294BD401EF954CA1C55BC9058005A17884463D9029928280329AAC2114442206F9", "x", "dbsnmp",
     "PROD01"},
    {"twenty characters, Windows filler",
     "098B2EF7FAC9249551A51957DE91266840A8539125033C41B256DAFCC5A29E44C11317C3E4D7454F17127F25",
     "Tr0ub4dor&3 horse~ok", "monitor", "SALES_DB"},
};

// Made with no key parts, logon "collector" and server id "SRV7".
const char* const DEFAULT_KEY_VECTOR =
    "2A7F6A36F60CEE2D83825426B19AA2413AD9C76BE407F43127C2F2A9D831637A357398BE8377F2B31F944B9C";

TEST(PasswordDecodeVectors, DecodeToTheirPasswords) {
    for (const DecodeVector& v : VECTORS)
        EXPECT_EQ(Text(decode_password(v.value, v.login, v.server, nullptr)), v.password) << v.name;
}

TEST(PasswordDecodeVectors, DefaultKeyComesFromTheSettings) {
    {
        ScopedDefaultKey key("collector", "SRV7");
        EXPECT_EQ(Text(decode_password(DEFAULT_KEY_VECTOR, nullptr)), "default-key");
        EXPECT_EQ(Text(decode_password(DEFAULT_KEY_VECTOR, "", "", nullptr)), "default-key");
    }
    EXPECT_EQ(Text(decode_password(DEFAULT_KEY_VECTOR, "collector", "SRV7", nullptr)), "default-key");
    ScopedDefaultKey other("collector", "SRV8");
    EXPECT_EQ(Text(decode_password(DEFAULT_KEY_VECTOR, nullptr)), "Error invalid password 3");
}

TEST(PasswordDecodeVectors, OtherKeysAreRefused) {
    EXPECT_EQ(Text(decode_password(VECTORS[0].value, "dbsnmp", "PROD02", nullptr)), "Error invalid password 3");
    EXPECT_EQ(Text(decode_password(VECTORS[0].value, "PROD01", "dbsnmp", nullptr)), "Error invalid password 3");
    EXPECT_EQ(Text(decode_password(VECTORS[2].value, "sys", "DB9", nullptr)), "Error invalid password 3");
    // Without a stored key the mixing alone still binds the value to its key.
    EXPECT_EQ(Text(decode_password(VECTORS[3].value, "sa", "MSSQL$OTHER", nullptr)), "Error invalid password 3");
    // 8-bit key characters are compared as their own bytes.
    EXPECT_EQ(Text(decode_password(VECTORS[5].value, "op\xe8rateur", "Z\xfcrich", nullptr)),
              "Error invalid password 3");
    // No key parts and empty settings against a stored key.
    ScopedDefaultKey empty(nullptr, nullptr);
    EXPECT_EQ(Text(decode_password(VECTORS[1].value, nullptr)), "Error invalid password 3");
}

TEST(PasswordDecodeVectors, KeyCutAtPositionZeroAcceptsTheFullKeyAndLongerParts) {
    const char* value = VECTORS[4].value;
    // The block holds the key up to "...SERVER"; the mixing uses its first 44 characters.
    EXPECT_EQ(Text(decode_password(value, LONG_LOGIN, "A_VERY_LONG_SERVER_NAME_CHANGED", nullptr)), "secret");
    EXPECT_EQ(Text(decode_password(value, LONG_LOGIN, "A_VERY_LONG_SERVER_", nullptr)), "secret");
    EXPECT_EQ(Text(decode_password(value, LONG_LOGIN, "A_VERY_LONG_SERVEX_NAME", nullptr)),
              "Error invalid password 3");
}

class PasswordRoundTrip : public ::testing::Test {};

TEST_F(PasswordRoundTrip, EveryLengthAndEveryEncodableCharacter) {
    std::string all;
    for (int c = 1; c < 128; ++c)
        if (c != '\t') all += static_cast<char>(c);
    for (size_t length = 1; length <= PASSWORD_MAX_LENGTH; ++length) {
        for (size_t start = 0; start + length <= all.size(); start += 17) {
            std::string password = all.substr(start, length);
            if (password[0] == '~' || password[0] == '`' || password[0] == '{' || password[0] == '}' ||
                password[0] == ']')
                continue;
            const std::string value = Text(encode_password(password.c_str(), "scott", "ORCL", nullptr));
            ASSERT_TRUE(IsEncodedForm(value)) << value;
            EXPECT_EQ(Text(decode_password(value.c_str(), "scott", "ORCL", nullptr)), password)
                << "length " << length << " start " << start;
        }
    }
}

TEST_F(PasswordRoundTrip, EmptyKeyPartsAreSkipped) {
    const std::string value = Text(encode_password("pw", "", "alice", "", "srv", nullptr));
    EXPECT_EQ(Text(decode_password(value.c_str(), "alice", "srv", nullptr)), "pw");
}

TEST_F(PasswordRoundTrip, KeyTextsLongerThanAnyBuffer) {
    const std::string login(300, 'L');
    const std::string server(500, 'S');
    const std::string value = Text(encode_password("pw", login.c_str(), server.c_str(), nullptr));
    ASSERT_TRUE(IsEncodedForm(value));
    EXPECT_EQ(Text(decode_password(value.c_str(), login.c_str(), server.c_str(), nullptr)), "pw");
}

TEST_F(PasswordRoundTrip, DefaultKeyWithEmptyOrNullSettings) {
    ScopedDefaultKey key(nullptr, "SRV");  // key text: a tab, then SRV
    const std::string value = Text(encode_password("pw", nullptr));
    EXPECT_EQ(Text(decode_password(value.c_str(), nullptr)), "pw");
    ScopedDefaultKey none(nullptr, nullptr);
    const std::string bare = Text(encode_password("pw", nullptr));
    EXPECT_EQ(Text(decode_password(bare.c_str(), nullptr)), "pw");
}

TEST_F(PasswordRoundTrip, SameSecondSameValue) {
    const std::time_t before = std::time(nullptr);
    const std::string first = Text(encode_password("pw", "a", "b", nullptr));
    const std::string second = Text(encode_password("pw", "a", "b", nullptr));
    if (std::time(nullptr) != before) GTEST_SKIP() << "the clock moved on between the encodings";
    EXPECT_EQ(first, second);
}

TEST(PasswordClearText, MarkersPassThePasswordUnencoded) {
    for (const char* password : {"~pw", "`pw", "{pw", "}pw", "]pw"}) {
        EXPECT_EQ(Text(encode_password(password, "a", "b", nullptr)), "pw") << password;
        EXPECT_EQ(Text(decode_password(password, "a", "b", nullptr)), "pw") << password;
    }
    EXPECT_EQ(Text(decode_password("pw", "a", "b", nullptr)), "pw");
    EXPECT_EQ(Text(encode_password("~", "a", nullptr)), "");
}

TEST(PasswordClearText, MarkerKeptWhereDecodingWouldMisreadTheText) {
    const std::string hex = Text(encode_password("~DEADBEEF", "a", nullptr));
    EXPECT_EQ(hex, "~DEADBEEF");
    EXPECT_EQ(Text(decode_password(hex.c_str(), "a", nullptr)), "DEADBEEF");
    const std::string marked = Text(encode_password("}~pw", "a", nullptr));
    EXPECT_EQ(Text(decode_password(marked.c_str(), "a", nullptr)), "~pw");
}

TEST(PasswordClearText, OnlyUpperCaseHexDigitsAreTakenAsEncoded) {
    EXPECT_EQ(Text(decode_password("abc", "a", nullptr)), "abc");
    EXPECT_EQ(Text(decode_password("12G4", "a", nullptr)), "12G4");
    std::string lower = VECTORS[0].value;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Text(decode_password(lower.c_str(), "dbsnmp", "PROD01", nullptr)), lower);
    EXPECT_EQ(Text(decode_password("ABC", "a", nullptr)), "Error incorrect password length");
    const std::string value = VECTORS[0].value;
    EXPECT_EQ(Text(decode_password(value.substr(0, 86).c_str(), "dbsnmp", "PROD01", nullptr)),
              "Error incorrect password length");
    EXPECT_EQ(Text(decode_password((value + "00").c_str(), "dbsnmp", "PROD01", nullptr)),
              "Error incorrect password length");
}

TEST(PasswordClearText, LongClearTextsStayWhole) {
    const std::string text(150, 'c');
    EXPECT_EQ(Text(encode_password(("~" + text).c_str(), "a", nullptr)), text);
    EXPECT_EQ(Text(decode_password(text.c_str(), "a", nullptr)), text);
    EXPECT_EQ(Text(decode_password(("]" + text).c_str(), "a", nullptr)), text);
}

TEST(PasswordClearText, NoneNullAndEmpty) {
    EXPECT_EQ(decode_password("NONE", "a", nullptr), nullptr);
    EXPECT_EQ(decode_password("~NONE", "a", nullptr), nullptr);
    EXPECT_NE(decode_password("NONEX", "a", nullptr), nullptr);
    const std::string value = Text(encode_password("NONE", "a", nullptr));
    EXPECT_TRUE(IsEncodedForm(value));
    EXPECT_EQ(decode_password(value.c_str(), "a", nullptr), nullptr);
    EXPECT_EQ(encode_password(nullptr, "a", nullptr), nullptr);
    EXPECT_EQ(encode_password("", "a", nullptr), nullptr);
    EXPECT_EQ(decode_password(nullptr, "a", nullptr), nullptr);
    EXPECT_EQ(decode_password("", "a", nullptr), nullptr);
}

// Key checks that get past the mixing need key texts that agree in their first
// 44 characters, the bytes the mixing uses.
TEST(PasswordKeyCheck, PartsMayBePrefixesEitherWay) {
    const std::string login(40, 'L');
    const std::string value = Text(encode_password("p", login.c_str(), "SERVERNAME", nullptr));
    // Stored: login, then "SERVERN" (cut at position 0).
    EXPECT_EQ(Text(decode_password(value.c_str(), login.c_str(), "SERV", nullptr)), "p");
    EXPECT_EQ(Text(decode_password(value.c_str(), login.c_str(), "SERVERNAME_LONGER", nullptr)), "p");
    EXPECT_EQ(Text(decode_password(value.c_str(), login.c_str(), "SERX", nullptr)), "Error invalid password 3");
    EXPECT_EQ(Text(decode_password(value.c_str(), login.c_str(), "SERVEX", nullptr)),
              "Error invalid password 3");
}

TEST(PasswordKeyCheck, EmptyCallerPartAgainstStoredPartGivesError2) {
    const std::string login(44, 'L');
    const std::string value = Text(encode_password("p", login.c_str(), "S", nullptr));
    ScopedDefaultKey key(login.c_str(), "");  // key text: login, a tab, nothing
    EXPECT_EQ(Text(decode_password(value.c_str(), nullptr)), "Error invalid password 2");
}

TEST(PasswordKeyCheck, FortyNineCharactersStoreNoKey) {
    const std::string key(44, 'K');
    const std::string value = Text(encode_password(PW49, key.c_str(), "first", nullptr));
    EXPECT_EQ(Text(decode_password(value.c_str(), key.c_str(), "first", nullptr)), PW49);
    // Nothing of the key is stored, so parts beyond the mixed ones are not compared.
    EXPECT_EQ(Text(decode_password(value.c_str(), key.c_str(), "second", "third", nullptr)), PW49);
    // The same with a password one shorter stores the tab and the key's first character only.
    const std::string shorter(PW49, 48);
    const std::string value48 = Text(encode_password(shorter.c_str(), key.c_str(), "first", nullptr));
    EXPECT_EQ(Text(decode_password(value48.c_str(), key.c_str(), "second", nullptr)), shorter);
}

TEST(PasswordKeyCheck, EightBitKeyCharactersRoundTrip) {
    const std::string value = Text(encode_password("pw", "op\xe9rateur", "Z\xfcrich", nullptr));
    EXPECT_EQ(Text(decode_password(value.c_str(), "op\xe9rateur", "Z\xfcrich", nullptr)), "pw");
}

TEST(PasswordLimits, TooLongIsRefusedWithAMessage) {
    const std::string password(50, 'p');
    ::testing::internal::CaptureStderr();
    const char* result = encode_password(password.c_str(), "a", "b", nullptr);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, nullptr);
    EXPECT_NE(errors.find("PWE0010E TAVENCRY("), std::string::npos) << errors;
    EXPECT_NE(errors.find("50 characters"), std::string::npos) << errors;
    EXPECT_TRUE(IsEncodedForm(Text(encode_password(password.substr(0, 49).c_str(), "a", nullptr))));
}

TEST(PasswordLimits, CharactersWithoutASymbolAreRefusedWithAMessage) {
    for (const char* password : {"Passw\xf6rt", "tab\there"}) {
        ::testing::internal::CaptureStderr();
        const char* result = encode_password(password, "a", "b", nullptr);
        const std::string errors = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, nullptr) << password;
        EXPECT_NE(errors.find("PWE0020E TAVENCRY("), std::string::npos) << errors;
    }
}

}  // namespace
