// The one policy for values that reach a generated file.
#include "machine/ValuePolicy.h"

#include "text/Text.h"

namespace tavmachine {

const char* ValueRefusal(std::string_view value) {
    if (tavtext::HasControlCharacter(value)) return "it holds a control character";
    if (value.size() > VALUE_MAX_LENGTH) return "it is longer than 4000 characters";
    return nullptr;
}

}  // namespace tavmachine
