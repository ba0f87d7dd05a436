// Fuzz target: the password encoding. The input is a password (or a stored
// value) and up to three key parts, separated by NULs. A stored value must
// decode without harm; a password that encodes must come back when decoded.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "password/PasswordEncoding.h"

namespace {

constexpr const char* MARKERS = "~`{}]";
constexpr const char* NO_PASSWORD = "NONE";
constexpr size_t ENCODED_LENGTH = 88;

using Coder = char* (*)(const char*, ...);

// The C interface, whose key parts are a list ended by a null.
char* Call(Coder coder, const char* text, const PasswordKey& key) {
    auto at = [&key](size_t i) { return i < key.size() ? key[i].c_str() : nullptr; };
    return coder(text, at(0), at(1), at(2), nullptr);
}

std::string Copy(const char* result) { return result ? std::string(result) : std::string(); }

bool IsMarker(char c) { return c != '\0' && std::strchr(MARKERS, c) != nullptr; }

// What the encoding can hold: 1 to 49 characters of codes 1..127 but the tab.
bool Storable(const std::string& password) {
    if (password.empty() || password.size() > PASSWORD_MAX_LENGTH) return false;
    for (unsigned char c : password)
        if (c >= 128 || c == '\t') return false;
    return true;
}

bool IsEncodedForm(const std::string& value) {
    return value.size() == ENCODED_LENGTH && value.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// What the selection dialog shows for a stored value: the password, or the error text in its place.
std::string Shown(const DecodedPassword& decoded) {
    return decoded.status.Ok() ? decoded.password : decoded.status.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = tavfuzz::Split(tavfuzz::Text(data, size), '\0');
    const std::string password = parts[0];
    // Up to three key parts: the C interface is called with no more.
    const PasswordKey key(parts.begin() + 1, parts.begin() + std::min<size_t>(parts.size(), 4));

    // The password taken as a stored value: decoded, its result is a
    // password the encoding could have held, or a failure; the C interface
    // gives the same text.
    const DecodedPassword decoded = DecodePassword(password, key);
    if (decoded.status.Ok() && IsEncodedForm(password))
        FUZZ_CHECK(decoded.password.size() <= PASSWORD_MAX_LENGTH && decoded.password.find('\t') == std::string::npos,
                   "a stored value decodes to \"%s\"", decoded.password.c_str());
    FUZZ_CHECK(Copy(Call(decode_password, password.c_str(), key)) == Shown(decoded),
               "\"%s\" decodes to \"%s\" through the C interface only", password.c_str(), Shown(decoded).c_str());

    const std::optional<std::string> encoded = EncodePassword(password, key);
    if (!encoded) {
        FUZZ_CHECK(!Storable(password), "\"%s\" could be stored but was refused", password.c_str());
        return 0;
    }
    const std::string& value = *encoded;
    const std::string expected = IsMarker(password[0]) ? password.substr(1) : password;
    if (expected.empty() || expected == NO_PASSWORD) return 0;  // a marker alone, or "no password"
    FUZZ_CHECK(IsMarker(password[0]) || IsEncodedForm(value), "\"%s\" was stored as \"%s\"", password.c_str(),
               value.c_str());
    const DecodedPassword back = DecodePassword(value, key);
    FUZZ_CHECK(back.status.Ok() && back.password == expected, "\"%s\" was stored as \"%s\" and decodes to \"%s\"",
               password.c_str(), value.c_str(), Shown(back).c_str());
    return 0;
}
