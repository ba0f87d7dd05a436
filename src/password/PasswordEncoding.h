// Reversible, key-bound encoding of the login password that the generated
// files carry. Results live in process-wide buffers: copy them at once.
#ifndef TAV_PASSWORD_PASSWORDENCODING_H
#define TAV_PASSWORD_PASSWORDENCODING_H

// The key parts follow the password (or the stored value); the list ends with a null.
char* encode_password(const char* password, ...);
char* decode_password(const char* value, ...);

// The text that, given to encode_password, stands for the password clear: a
// leading marker asks for clear text and is dropped, so a password that
// begins with one takes one more in front. Null for null.
char* password_as_typed(const char* clear);

// The longest password the encoding holds.
#define PASSWORD_MAX_LENGTH 49

#endif
