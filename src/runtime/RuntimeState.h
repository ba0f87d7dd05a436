// The collector runtime's process-wide state as one object: a setup run owns
// it through a session, so that a second run in the same process starts as
// the first did and nothing of a run outlives it.
#ifndef TAV_RUNTIME_RUNTIMESTATE_H
#define TAV_RUNTIME_RUNTIMESTATE_H

#include <string>

namespace tavrun {

// The buffers in which the C interface returns text: one a kind, each
// overwritten by the next call of its kind. The password encoding, shipped
// with the runtime, keeps its results here too.
enum class ResultKind {
    OUTPUT_PATH,        // coll_output_path without a buffer
    TIMESTAMP,          // coll_timestamp without a buffer
    ENCODED_PASSWORD,   // encode_password: the hexadecimal value
    ENCODE_CLEAR_TEXT,  // encode_password: a password kept clear
    DECODED_PASSWORD,   // decode_password: a decoded value or its error text
    DECODE_CLEAR_TEXT,  // decode_password: a value stored clear
    TYPED_PASSWORD,     // password_as_typed
    COUNT
};

// Keeps text as the latest result of its kind; the pointer stays valid until
// the next result of that kind or the end of the session. A result of up to
// 127 characters takes the place of the previous one of its kind.
char* KeepResult(ResultKind kind, const std::string& text);

// From construction to destruction the runtime's state is the session's. It
// starts as a fresh process's: no settings, every trace level 0, no message
// output file, and what the runtime reads once (COLL_DEBUG, the home, current
// and temporary directories, COLL_ZEROMEM, the backup count, the wrap limit)
// still unread. At the end the message output file the runtime opened is
// closed, the texts coll_init_settings filled in are freed (pointers to them,
// in any settings record, dangle from then on) and all is as at the start.
// Sessions do not nest: each one starts and ends the one state.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The local time in one of coll_timestamp's styles.
std::string Timestamp(int style);

}  // namespace tavrun

#endif
