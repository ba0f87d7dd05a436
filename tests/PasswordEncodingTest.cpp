// Password encoding: decode vectors that pin the scheme's tables and constants, round
// trips, clear-text markers, the key check and the limits.
#include "password/PasswordEncoding.h"

#include "TestSupport.h"

#include <cerrno>

using namespace tavtest;

namespace {

using Parts = std::vector<std::string>;

// The C interface on its first argument and up to four key parts (a null ends the list). Results
// live in the runtime state's buffers: copied at once, "~" for null.
std::string Call(char* (*function)(const char*, ...), const std::string& first, const Parts& p) {
    auto at = [&p](size_t i) { return i < p.size() ? p[i].c_str() : nullptr; };
    const char* result = function(first.c_str(), at(0), at(1), at(2), at(3), nullptr);
    return result ? result : "~";
}

// The stored form, "~" for none.
std::string Encode(const std::string& password, const Parts& p) { return EncodePassword(password, p).value_or("~"); }

// What decoding shows, as the tables spell it: the password, "~" for none, or the failure's text
// in its place, which the C interface gives too.
std::string Decode(const std::string& value, const Parts& p) {
    const DecodedPassword decoded = DecodePassword(value, p);
    const std::string shown = !decoded.status.Ok() ? decoded.status.text : decoded.password.empty() ? "~" : decoded.password;
    EXPECT_EQ(decoded.status.Ok() ? 0 : EINVAL, decoded.status.code) << shown;
    EXPECT_EQ(Call(decode_password, value, p), shown) << "through the C interface";
    return shown;
}

// The settings' logon and server id make the key text when no part is given ("~": null).
struct DefaultKey {
    char* saved[2] = {coll_settings.logon, coll_settings.server_id};
    std::string logon, server;
    DefaultKey(const std::string& l, const std::string& s) : logon(l), server(s) {
        coll_settings.logon = l == "~" ? nullptr : logon.data();
        coll_settings.server_id = s == "~" ? nullptr : server.data();
    }
    ~DefaultKey() {
        coll_settings.logon = saved[0];
        coll_settings.server_id = saved[1];
    }
};

}  // namespace

TEST(Password, DecodeTable) {
    for (const std::vector<std::string>& r : Rows("password/decode.txt")) {
        SCOPED_TRACE(r.at(0).substr(0, 24) + " " + r.at(1));
        DefaultKey key(r.at(2), r.at(3));
        EXPECT_EQ(Decode(r[0], Parts(r.begin() + 4, r.end())), r[1]);
    }
    EXPECT_EQ(decode_password(nullptr, "a", nullptr), nullptr);
}

TEST(Password, EncodeTable) {
    for (const std::vector<std::string>& r : Rows("password/encode.txt")) {
        SCOPED_TRACE(r.at(0) + " " + r.at(1));
        testing::internal::CaptureStderr();
        const std::string value = Encode(r[0], Split(r[1], '+'));
        EXPECT_EQ(Normalized(testing::internal::GetCapturedStderr()), r.size() > 5 ? r[5] : "");
        EXPECT_TRUE(r[2] == "hex" ? std::regex_match(value, std::regex("[0-9A-F]{88}")) : value == r[2]) << value;
        if (r[3] != "-") {
            EXPECT_EQ(Decode(value, Split(r[3], '+')), r.at(4));
        }
    }
    EXPECT_EQ(encode_password(nullptr, "a", nullptr), nullptr);
}

TEST(Password, EveryLengthAndEveryEncodableCharacterRoundTrips) {
    std::string all;
    for (int c = 1; c < 128; ++c)
        if (c != '\t')
            all += static_cast<char>(c);
    for (size_t length = 1; length <= PASSWORD_MAX_LENGTH; ++length) {
        for (size_t start = 0; start + length <= all.size(); start += 17) {
            const std::string password = all.substr(start, length);
            if (std::string("~`{}]").find(password[0]) != std::string::npos)
                continue;  // markers
            EXPECT_EQ(Decode(Encode(password, {"scott", "ORCL"}), {"scott", "ORCL"}), password) << start;
        }
    }
    // Key texts longer than any buffer.
    const Parts longKey = {std::string(300, 'L'), std::string(500, 'S')};
    EXPECT_EQ(Decode(Encode("pw", longKey), longKey), "pw");
    // The generator is seeded once: two encodings within one second differ in their filler.
    EXPECT_NE(Encode("pw", {"a", "b"}), Encode("pw", {"a", "b"}));
}

TEST(Password, DefaultKeyFromTheSettings) {
    for (const char* server : {"SRV", "~"}) {
        DefaultKey key("~", server);
        EXPECT_EQ(Decode(Encode("pw", {}), {}), "pw") << server;
    }
    // An empty part of the caller's against a stored one.
    const std::string login(44, 'L');
    const std::string value = Encode("p", {login, "S"});
    DefaultKey key(login, "");
    EXPECT_EQ(Decode(value, {}), "Error invalid password 2");
}

// The C interface: null for nothing to encode, one result buffer of each kind.
TEST(Password, CInterfaceKeepsOneResultOfEachKind) {
    EXPECT_EQ(encode_password("", "a", nullptr), nullptr);
    EXPECT_EQ(Call(encode_password, "~", {"a"}), "");
    const char* clear = encode_password("~kept", "a", nullptr);
    const std::string value = Call(encode_password, "pw", {"a"});
    EXPECT_STREQ(clear, "kept");
    EXPECT_EQ(Decode(value, {"a"}), "pw");
    const char* typed = password_as_typed("~x");
    EXPECT_STREQ(password_as_typed("y"), "y");
    EXPECT_STREQ(typed, "y") << "a second result of the kind takes the place of the first";
    EXPECT_EQ(password_as_typed(nullptr), nullptr);
    EXPECT_EQ(PasswordAsTyped("~x"), "~~x");
}
