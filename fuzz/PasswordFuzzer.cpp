// Fuzz target: the password encoding. The input is a password (or a stored
// value) and up to three key parts, separated by NULs. A stored value must
// decode without harm; a password that encodes must come back when decoded.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "password/PasswordEncoding.h"

namespace {

constexpr const char* MARKERS = "~`{}]";
constexpr const char* NO_PASSWORD = "NONE";
constexpr size_t ENCODED_LENGTH = 88;

using Coder = char* (*)(const char*, ...);

// The encoding's interface, in one place: the key parts as a list ended by a
// null, none at all for the runtime settings' key.
char* Call(Coder coder, const char* text, const std::vector<std::string>& key) {
    switch (key.size()) {
    case 0: return coder(text, nullptr);
    case 1: return coder(text, key[0].c_str(), nullptr);
    case 2: return coder(text, key[0].c_str(), key[1].c_str(), nullptr);
    default: return coder(text, key[0].c_str(), key[1].c_str(), key[2].c_str(), nullptr);
    }
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> parts = tavfuzz::Split(tavfuzz::Text(data, size), '\0');
    const std::string password = parts[0];
    const std::vector<std::string> key(parts.begin() + 1, parts.end());

    // The password taken as a stored value: decoded, its result is a
    // password the encoding could have held, or one of the error texts.
    const char* decoded = Call(decode_password, password.c_str(), key);
    if (decoded && IsEncodedForm(password))
        FUZZ_CHECK(std::strlen(decoded) <= PASSWORD_MAX_LENGTH && !std::strchr(decoded, '\t'),
                   "a stored value decodes to \"%s\"", decoded);

    const char* encoded = Call(encode_password, password.c_str(), key);
    if (!encoded) {
        FUZZ_CHECK(!Storable(password), "\"%s\" could be stored but was refused", password.c_str());
        return 0;
    }
    const std::string value = Copy(encoded);
    const std::string expected = IsMarker(password[0]) ? password.substr(1) : password;
    if (expected.empty() || expected == NO_PASSWORD) return 0;  // a marker alone, or "no password"
    FUZZ_CHECK(IsMarker(password[0]) || IsEncodedForm(value), "\"%s\" was stored as \"%s\"", password.c_str(),
               value.c_str());
    const std::string back = Copy(Call(decode_password, value.c_str(), key));
    FUZZ_CHECK(back == expected, "\"%s\" was stored as \"%s\" and decodes to \"%s\"", password.c_str(),
               value.c_str(), back.c_str());
    return 0;
}
