// Reversible, key-bound encoding of the login password that the generated
// files carry.
#ifndef TAV_PASSWORD_PASSWORDENCODING_H
#define TAV_PASSWORD_PASSWORDENCODING_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/Report.h"

// The longest password the encoding holds.
#define PASSWORD_MAX_LENGTH 49

// Key parts in the order they were given; empty ones are skipped, and
// without any the runtime settings' logon and server id stand in.
using PasswordKey = std::vector<std::string>;

// The stored form of a password: 88 hexadecimal digits, or the text after a
// leading marker kept clear. Nothing for an empty password or one the
// encoding cannot hold whole (a message record says why).
std::optional<std::string> EncodePassword(std::string_view password, const PasswordKey& key);

// A stored value read back with the key it was stored under. The password is
// empty when none is stored (an empty value, or "NONE"). A value that does
// not decode with the key fails with EINVAL and the text decode_password
// gives in its place.
struct DecodedPassword {
    Status status;
    std::string password;
};
DecodedPassword DecodePassword(std::string_view value, const PasswordKey& key);

// The text that, given to EncodePassword, stands for the password clear: a
// leading marker asks for clear text and is dropped, so a password that
// begins with one takes one more in front.
std::string PasswordAsTyped(std::string_view clear);

// The same for the collector programs' C callers. The key parts follow the
// password (or the stored value) and end with a null. The results are kept
// by the runtime's state, one a kind, until the next call of that kind:
// copy them at once. decode_password gives an error text in place of the
// password, and null where no password is stored.
char* encode_password(const char* password, ...);
char* decode_password(const char* value, ...);
// Null for null.
char* password_as_typed(const char* clear);

#endif
