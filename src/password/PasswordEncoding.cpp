// Reversible, key-bound encoding of the login password that the generated
// agent files carry.
//
// A password and its key text (the identity it is bound to, normally login and
// server name) are laid out in a 50-position block, turned into 7-bit symbols,
// packed into 44 bytes, mixed with the key text and written as 88 upper-case
// hexadecimal digits. Decoding undoes this with the caller's key text and checks
// that the key stored in the block agrees with it.
//
// Every stored password depends on the tables and constants below. Once a value
// has been written with them they can never change, or every installed agent's
// password becomes unreadable; the decode vectors in the tests pin them.
#include "password/PasswordEncoding.h"

#include <algorithm>
#include <cerrno>
#include <array>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/CollectorRuntime.h"
#include "runtime/RuntimeState.h"

// The module its message records name, whatever this file is called.
constexpr const char RECORD_MODULE[] = "tavencry";

namespace {

// ---- Layout ------------------------------------------------------------------

constexpr int BLOCK_POSITIONS = 50;  // numbered 49 (read first) down to 0
constexpr int GROUP_SYMBOLS = 8;
constexpr int GROUP_BYTES = 7;
constexpr int GROUP_COUNT = 7;                                // groups start at 0, 8, ..., 48
constexpr int PADDED_SYMBOLS = GROUP_COUNT * GROUP_SYMBOLS;  // 56: positions 50..55 are zero
constexpr int PADDED_BYTES = GROUP_COUNT * GROUP_BYTES;      // 49: the last five are always zero
constexpr int PACKED_BYTES = 44;                             // 350 bits and two padding bits
constexpr size_t ENCODED_LENGTH = 2 * PACKED_BYTES;
constexpr char KEY_SEPARATOR = '\t';

using Block = std::array<unsigned char, BLOCK_POSITIONS>;  // indexed by position
using Symbols = std::array<unsigned char, PADDED_SYMBOLS>;
using Packed = std::array<unsigned char, PADDED_BYTES>;

// ---- Symbol map ----------------------------------------------------------------
// A 7-bit symbol holds 128 values and NUL alone takes symbol 0, so exactly the
// character codes 1..127 fit: tab, the other control characters, printable ASCII
// and DEL. They are spread over the symbols 1..127 by a fixed permutation
// (step coprime to 127). Codes 128..255 have no symbol: a password holding one is
// refused, never stored altered.
constexpr unsigned SYMBOL_COUNT = 128;
constexpr unsigned SYMBOL_STEP = 53;
constexpr unsigned SYMBOL_OFFSET = 29;

// A key character without a symbol is held as DEL, both in the block and when the
// caller's key is compared with it; the mixing still uses the key's own bytes.
constexpr unsigned char KEY_SUBSTITUTE = 0x7F;

// ---- Marker set ----------------------------------------------------------------
// A password beginning with one of these is kept as clear text. Characters that
// rarely begin a real password and mean nothing special in INI or batch files.
constexpr std::string_view MARKERS = "~`{}]";

// ---- Filler table ----------------------------------------------------------------
// Fills the block's positions after the key text; indexed 1..254 by rand().
// Letters, digits and a few punctuation characters, shuffled once.
constexpr char FILLER_TABLE[] =
    "rhTuvqCdmPG0tmKXPDZpAemm1za7v0fHhvjwdbT2HwDq=zuM14qHOXHlpa=BqCef"
    "uv@2FSJghB6hRLeos47wGJkcU_0XXkHG5qJwv1MkAuYVbpS0Jso2jKF08mmf1ULm"
    "m+cW3xvY27DfANuRose@62@CHN4XDE=jG1kZA5kXXgwFVMAqTkNp_vsgvbRysUiB"
    "9ozIfz3hlkV797tpnBPJAVA1BmzWimLVDP5GJtRd8oSJ_lNz5=r+-J_8u_M7AsZ7";
static_assert(sizeof(FILLER_TABLE) == 257, "the filler table holds 256 characters");

// ---- Keyed mixing ------------------------------------------------------------------
// The threshold is below 2^22: a product under it times a key symbol plus its
// position (at most about 140 before the threshold is reached) stays below 2^30,
// so the seed's product x 4 never leaves 32 bits. The modulus is below 256, so the
// running value s always fits the byte it is XOR-ed into.
constexpr uint32_t SEED_THRESHOLD = 4000037;
constexpr uint32_t SEED_FACTOR = 7;
constexpr uint32_t SEED_MASK = 0x21;
constexpr uint32_t MIX_MULTIPLIER = 2917;
constexpr uint32_t MIX_DIVISOR = 13;
constexpr uint32_t MIX_MODULUS = 251;

// ---- Texts ---------------------------------------------------------------------------
constexpr const char* ERROR_LENGTH = "Error incorrect password length";
constexpr const char* ERROR_EMPTY_KEY_PART = "Error invalid password 2";
constexpr const char* ERROR_KEY_DIFFERS = "Error invalid password 3";
constexpr std::string_view NO_PASSWORD = "NONE";
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

struct SymbolMap {
    std::array<unsigned char, SYMBOL_COUNT> symbol_of{};  // character code -> symbol
    std::array<unsigned char, SYMBOL_COUNT> char_of{};    // symbol -> character code
};

SymbolMap build_symbol_map() {
    SymbolMap map;
    for (unsigned code = 1; code < SYMBOL_COUNT; ++code) {
        const unsigned symbol = ((code - 1) * SYMBOL_STEP + SYMBOL_OFFSET) % (SYMBOL_COUNT - 1) + 1;
        map.symbol_of[code] = static_cast<unsigned char>(symbol);
        map.char_of[symbol] = static_cast<unsigned char>(code);
    }
    return map;
}

const SymbolMap& symbol_map() {
    static const SymbolMap map = build_symbol_map();
    return map;
}

bool has_symbol(unsigned char c) { return c != 0 && c < SYMBOL_COUNT; }

bool is_marker(char c) { return c != '\0' && MARKERS.find(c) != std::string_view::npos; }

bool is_upper_hex(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

const char* text_or_empty(const char* text) { return text ? text : ""; }

// The key parts joined with tabs, empty parts skipped; without any part the
// runtime settings' logon and server id.
std::string build_key_text(const PasswordKey& parts) {
    std::string key;
    bool any = false;
    for (const std::string& part : parts) {
        if (part.empty()) continue;
        if (any) key += KEY_SEPARATOR;
        key += part;
        any = true;
    }
    if (!any) {
        key = text_or_empty(coll_settings.logon);
        key += KEY_SEPARATOR;
        key += text_or_empty(coll_settings.server_id);
    }
    return key;
}

// The key text as the block holds it.
std::string key_in_block_form(const std::string& key) {
    std::string form = key;
    for (char& c : form)
        if (!has_symbol(static_cast<unsigned char>(c))) c = static_cast<char>(KEY_SUBSTITUTE);
    return form;
}

// ---- Keyed mixing ----------------------------------------------------------------------

uint32_t key_seed(const std::string& key_form) {
    const SymbolMap& map = symbol_map();
    uint32_t product = 1;
    bool reached = false;
    for (size_t k = 0; k < key_form.size(); ++k) {
        uint32_t factor = map.symbol_of[static_cast<unsigned char>(key_form[k])] + static_cast<uint32_t>(k);
        if (factor < 3) factor = 3;
        product *= factor;
        if (product >= SEED_THRESHOLD) {
            reached = true;
            break;
        }
    }
    if (!reached)
        while (product < SEED_THRESHOLD) product *= SEED_FACTOR;
    return (((product * 4 - 1) % MIX_MODULUS + 1) | SEED_MASK) & 0xFF;
}

// Encoding and decoding run the same sequence of s: it depends only on the
// encoded bytes.
void mix_with_key(Packed& bytes, const std::string& key, bool encoding) {
    uint32_t s = key_seed(key_in_block_form(key));
    size_t j = 0;
    for (int i = 0; i < PACKED_BYTES; ++i) {
        const uint32_t key_byte = key.empty() ? 0 : static_cast<unsigned char>(key[j]);
        const uint32_t input = bytes[i];
        const uint32_t output = (input ^ key_byte ^ s) & 0xFF;
        const uint32_t encoded = encoding ? output : input;
        s = ((encoded * MIX_MULTIPLIER) / MIX_DIVISOR + s) % MIX_MODULUS + 1;
        bytes[i] = static_cast<unsigned char>(output);
        if (!key.empty() && ++j == key.size()) j = 0;
    }
}

// ---- Block, symbols and packing ---------------------------------------------------------

// Seeded once per process: seeding from the clock at every encoding gave all
// encodings within one second the same filler.
void seed_filler_once() {
    static const bool seeded = [] {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        return true;
    }();
    (void)seeded;
}

// Password (at most 49 characters, each with a symbol, no tab), tab, key text, and,
// when room is left, a tab and filler down to position 0.
Block fill_block(const std::string& password, const std::string& key_form) {
    Block block{};
    int position = BLOCK_POSITIONS - 1;
    for (char c : password) block[position--] = static_cast<unsigned char>(c);
    block[position--] = KEY_SEPARATOR;
    for (size_t k = 0; k < key_form.size() && position >= 0; ++k)
        block[position--] = static_cast<unsigned char>(key_form[k]);
    if (position >= 0) {
        seed_filler_once();
        block[position--] = KEY_SEPARATOR;
        while (position >= 0) block[position--] = FILLER_TABLE[std::rand() % 254 + 1];
    }
    return block;
}

Symbols to_symbols(const Block& block) {
    const SymbolMap& map = symbol_map();
    Symbols symbols{};
    for (int position = 0; position < BLOCK_POSITIONS && block[position] != 0; ++position)
        symbols[position] = map.symbol_of[block[position]];
    return symbols;
}

// Eight 7-bit symbols to seven bytes, most significant bit first.
Packed pack(const Symbols& symbols) {
    Packed packed{};
    for (int group = 0; group < GROUP_COUNT; ++group) {
        const int first = group * GROUP_SYMBOLS;
        if (symbols[first] == 0) break;
        uint64_t bits = 0;
        for (int k = 0; k < GROUP_SYMBOLS; ++k) bits = (bits << 7) | (symbols[first + k] & 0x7F);
        for (int b = 0; b < GROUP_BYTES; ++b)
            packed[group * GROUP_BYTES + b] = static_cast<unsigned char>(bits >> (8 * (GROUP_BYTES - 1 - b)));
    }
    return packed;
}

Symbols unpack(const Packed& packed) {
    Symbols symbols{};
    for (int group = 0; group < GROUP_COUNT; ++group) {
        uint64_t bits = 0;
        for (int b = 0; b < GROUP_BYTES; ++b) bits = (bits << 8) | packed[group * GROUP_BYTES + b];
        for (int k = 0; k < GROUP_SYMBOLS; ++k)
            symbols[group * GROUP_SYMBOLS + k] =
                static_cast<unsigned char>((bits >> (7 * (GROUP_SYMBOLS - 1 - k))) & 0x7F);
    }
    return symbols;
}

std::string to_hex(const Packed& packed) {
    std::string hex;
    hex.reserve(ENCODED_LENGTH);
    for (int i = 0; i < PACKED_BYTES; ++i) {
        hex += HEX_DIGITS[packed[i] >> 4];
        hex += HEX_DIGITS[packed[i] & 0x0F];
    }
    return hex;
}

int hex_value(char digit) { return digit <= '9' ? digit - '0' : digit - 'A' + 10; }

// Expects ENCODED_LENGTH upper-case hexadecimal digits.
Packed from_hex(std::string_view hex) {
    Packed packed{};
    for (int i = 0; i < PACKED_BYTES; ++i)
        packed[i] = static_cast<unsigned char>(hex_value(hex[2 * i]) << 4 | hex_value(hex[2 * i + 1]));
    return packed;
}

// ---- Encoding ------------------------------------------------------------------------------

int clamp_to_int(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

// Refuses, with a message record, what the block cannot hold whole.
bool password_fits_block(const std::string& password) {
    if (password.size() > PASSWORD_MAX_LENGTH) {
        coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "pwe0010",
                     "Password of %d characters is too long: at most %d characters can be encoded\n",
                     clamp_to_int(password.size()), PASSWORD_MAX_LENGTH);
        return false;
    }
    for (size_t i = 0; i < password.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(password[i]);
        if (!has_symbol(c) || c == KEY_SEPARATOR) {
            coll_message(nullptr, RECORD_MODULE, __LINE__, "e", "pwe0020",
                         "Password character %d (code %d) cannot be encoded: tabs and characters above "
                         "code 127 are not allowed\n",
                         clamp_to_int(i + 1), c);
            return false;
        }
    }
    return true;
}

// The text after the marker, unless decoding would misread it (a text of
// hexadecimal digits, or one beginning with a marker itself): then the marker stays,
// and decoding drops it.
std::string keep_clear_text(std::string_view password) {
    const std::string_view rest = password.substr(1);
    const bool misread = !rest.empty() && (is_upper_hex(rest) || is_marker(rest.front()));
    return std::string(misread ? password : rest);
}

std::string encode_value(const std::string& clear, const std::string& key) {
    Packed packed = pack(to_symbols(fill_block(clear, key_in_block_form(key))));
    mix_with_key(packed, key, true);
    return to_hex(packed);
}

// ---- Decoding ------------------------------------------------------------------------------

std::vector<std::string_view> split_at_tabs(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t tab = text.find(KEY_SEPARATOR, start);
        parts.push_back(text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return parts;
        start = tab + 1;
    }
}

// What the encoder writes: every position holds a character (no symbol 0), the
// padding is zero, and a non-empty password ends with a tab. A block decoded with a
// key other than the encoding key is garbage and almost never passes.
bool is_well_formed(const Symbols& symbols) {
    for (int position = 0; position < BLOCK_POSITIONS; ++position)
        if (symbols[position] == 0) return false;
    for (int position = BLOCK_POSITIONS; position < PADDED_SYMBOLS; ++position)
        if (symbols[position] != 0) return false;
    const unsigned char tab_symbol = symbol_map().symbol_of[static_cast<unsigned char>(KEY_SEPARATOR)];
    if (symbols[BLOCK_POSITIONS - 1] == tab_symbol) return false;
    for (int position = BLOCK_POSITIONS - 2; position >= 0; --position)
        if (symbols[position] == tab_symbol) return true;
    return false;
}

// The block in reading order, from position 49 down to 0.
std::string reading_order_text(const Symbols& symbols) {
    const SymbolMap& map = symbol_map();
    std::string text;
    for (int position = BLOCK_POSITIONS - 1; position >= 0; --position)
        text += static_cast<char>(map.char_of[symbols[position]]);
    return text;
}

// Caller parts and stored parts side by side; a part may be a prefix of the
// other. Parts that are empty on both sides agree.
const char* check_key(std::string_view stored_key, const std::string& caller_key) {
    if (stored_key.empty()) return nullptr;
    const std::vector<std::string_view> stored = split_at_tabs(stored_key);
    const std::string caller_form = key_in_block_form(caller_key);
    const std::vector<std::string_view> caller = split_at_tabs(caller_form);
    for (size_t i = 0; i < caller.size() && i < stored.size(); ++i) {
        if (caller[i].empty()) {
            if (stored[i].empty()) continue;
            return ERROR_EMPTY_KEY_PART;
        }
        const size_t n = std::min(caller[i].size(), stored[i].size());
        if (caller[i].substr(0, n) != stored[i].substr(0, n)) return ERROR_KEY_DIFFERS;
    }
    return nullptr;
}

// What a stored value reads as: the password, "NONE" or a clear text, or an
// error text in its place.
struct Reading {
    std::string text;
    bool clear = false;
    bool failed = false;
};

Reading failed(const char* error) { return Reading{error, false, true}; }

Reading decode_value(std::string_view hex, const std::string& key) {
    Packed packed = from_hex(hex);
    mix_with_key(packed, key, false);
    const Symbols symbols = unpack(packed);
    if (!is_well_formed(symbols)) return failed(ERROR_KEY_DIFFERS);
    const std::string text = reading_order_text(symbols);
    const size_t end = text.find(KEY_SEPARATOR);
    const std::string_view stored_key = std::string_view(text).substr(end + 1);
    if (const char* error = check_key(stored_key, key)) return failed(error);
    return Reading{text.substr(0, end)};
}

// Expects a value that is not empty.
Reading read_stored(std::string_view stored, const PasswordKey& key) {
    if (!is_upper_hex(stored))
        return Reading{std::string(is_marker(stored.front()) ? stored.substr(1) : stored), true};
    if (stored.size() != ENCODED_LENGTH) return failed(ERROR_LENGTH);
    return decode_value(stored, build_key_text(key));
}

PasswordKey key_parts(va_list parts) {
    PasswordKey key;
    while (const char* part = va_arg(parts, const char*)) key.emplace_back(part);
    return key;
}

}  // namespace

std::optional<std::string> EncodePassword(std::string_view password, const PasswordKey& key) {
    if (password.empty()) return std::nullopt;
    if (is_marker(password.front())) return keep_clear_text(password);
    const std::string clear(password);
    if (!password_fits_block(clear)) return std::nullopt;
    return encode_value(clear, build_key_text(key));
}

DecodedPassword DecodePassword(std::string_view value, const PasswordKey& key) {
    if (value.empty()) return {};
    Reading reading = read_stored(value, key);
    if (reading.failed) return {Status::Failure(EINVAL, std::move(reading.text)), {}};
    if (reading.text == NO_PASSWORD) return {};
    return {Status::Success(), std::move(reading.text)};
}

std::string PasswordAsTyped(std::string_view clear) {
    const bool marked = !clear.empty() && is_marker(clear.front());
    return marked ? MARKERS.front() + std::string(clear) : std::string(clear);
}

char* encode_password(const char* password, ...) {
    if (password == nullptr || *password == '\0') return nullptr;
    va_list parts;
    va_start(parts, password);
    const PasswordKey key = key_parts(parts);
    va_end(parts);
    std::optional<std::string> stored = EncodePassword(password, key);
    if (!stored) return nullptr;
    const auto kind = is_marker(*password) ? tavrun::ResultKind::ENCODE_CLEAR_TEXT : tavrun::ResultKind::ENCODED_PASSWORD;
    return tavrun::KeepResult(kind, *stored);
}

char* decode_password(const char* value, ...) {
    if (value == nullptr || *value == '\0') return nullptr;
    va_list parts;
    va_start(parts, value);
    const PasswordKey key = key_parts(parts);
    va_end(parts);
    Reading reading = read_stored(value, key);
    if (reading.text == NO_PASSWORD) return nullptr;
    const auto kind = reading.clear ? tavrun::ResultKind::DECODE_CLEAR_TEXT : tavrun::ResultKind::DECODED_PASSWORD;
    return tavrun::KeepResult(kind, reading.text);
}

char* password_as_typed(const char* clear) {
    if (clear == nullptr) return nullptr;
    return tavrun::KeepResult(tavrun::ResultKind::TYPED_PASSWORD, PasswordAsTyped(clear));
}
