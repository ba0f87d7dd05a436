// The .reg snapshot parser: regedit's export text, in any of its encodings, into a key tree.
#include "registry/RegFile.h"

#include "registry/RegDecode.h"
#include "text/Text.h"

#include <algorithm>
#include <cstring>

namespace tavreg::detail {

namespace {

const char HEADER_REGEDIT4[] = "REGEDIT4";
const char HEADER_VERSION5[] = "Windows Registry Editor Version 5.00";
const char ROOT_NAME[] = "HKEY_LOCAL_MACHINE";
const char* const OTHER_ROOTS[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_USERS",
                                   "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKEY_PERFORMANCE_DATA"};

// What a warning says was left out.
const char LINE_SKIPPED[] = "; line skipped";
const char KEY_SKIPPED[] = "; key and its values skipped";
const char VALUE_SKIPPED[] = "; value skipped";
const char REST_SKIPPED[] = "; the rest of the file is skipped, as the Registry Editor stops there";

// A file with a fault on every line would otherwise flood the error stream.
constexpr size_t MAX_WARNINGS = 100;

using tavtext::IsBlank;
using tavtext::TrimLeft;
using tavtext::TrimRight;

struct HexTable {
    signed char value[256];
    HexTable() {
        for (int c = 0; c < 256; ++c)
            value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                       : -1);
    }
};

const HexTable HEX_TABLE;

int HexDigit(char c) { return HEX_TABLE.value[static_cast<unsigned char>(c)]; }

// Text of a faulty line as a warning quotes it: control characters as \xNN.
std::string Shown(std::string_view text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            const char* digits = "0123456789abcdef";
            out += {'\\', 'x', digits[c >> 4], digits[c & 15]};
        }
    }
    return out;
}

// Only blanks or a comment may follow the data of a value.
bool OnlyCommentLeft(std::string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == ';';
}

}  // namespace

bool RegFileParser::Feed(const char* bytes, size_t count) {
    if (failed_) return false;
    if (state_ == State::STOPPED) return true;
    if (encoding_ == Encoding::UNKNOWN) {
        pending_.append(bytes, count);
        if (pending_.size() < 3) return true;
        DetectEncoding();
        std::string start;
        start.swap(pending_);
        Decode(start.data(), start.size());
    } else {
        Decode(bytes, count);
    }
    return ProcessLines(false);
}

bool RegFileParser::Finish() {
    if (failed_) return false;
    if (encoding_ == Encoding::UNKNOWN) {
        DetectEncoding();
        std::string start;
        start.swap(pending_);
        Decode(start.data(), start.size());
    }
    if (!carry_.empty()) {
        // A cut-off character at the end of the file.
        if (encoding_ == Encoding::UTF8) text_.push_back('?');
        carry_.clear();
    }
    if (!ProcessLines(true)) return false;
    if (state_ == State::HEADER) return Fail(lineNumber_ == 0 ? 1 : lineNumber_, "the file is empty");
    if (state_ == State::HEX_DATA) {
        Warn("hex data continued past the end of the file; the value is kept as read");
        FinishHexValue();
    }
    return true;
}

std::vector<std::string> RegFileParser::TakeWarnings() {
    std::vector<std::string> taken = std::move(warnings_);
    if (warningCount_ > taken.size())
        taken.push_back(fileName_ + ": " + std::to_string(warningCount_ - taken.size()) + " more warnings not listed");
    warnings_.clear();
    warningCount_ = 0;
    return taken;
}

// ---- decoding -------------------------------------------------------------

void RegFileParser::DetectEncoding() {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(pending_.data());
    size_t n = pending_.size();
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding_ = Encoding::UTF16LE;
        pending_.erase(0, 2);
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        encoding_ = Encoding::UTF8;
        pending_.erase(0, 3);
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        encoding_ = Encoding::UNKNOWN;
        Fail(1, "UTF-16 big-endian text is not a registry file format (expected UTF-16LE)");
    } else if (n >= 2 && b[0] != 0 && b[1] == 0) {
        encoding_ = Encoding::UTF16LE;  // UTF-16LE without its byte order mark
    } else {
        // Windows-1252 or UTF-8: the header line decides.
        encoding_ = Encoding::EIGHT_BIT;
    }
}

void RegFileParser::Decode(const char* bytes, size_t count) {
    switch (encoding_) {
    case Encoding::UTF16LE: DecodeUtf16(bytes, count, &carry_, &text_); break;
    case Encoding::UTF8: DecodeUtf8(bytes, count, &carry_, &text_); break;
    case Encoding::UNKNOWN: break;  // refused
    default: text_.append(bytes, count); break;
    }
}

// Names and strings as the tree keeps them.
RegText RegFileParser::Text(std::string_view text, std::string* units, std::string* ansi) {
    if (encoding_ != Encoding::UTF8 && encoding_ != Encoding::UTF16LE) return RegText{text};
    size_t ascii = AsciiPrefix(text);
    return ascii == text.size() ? RegText{text} : TextFromDecoded(text, ascii, units, ansi);
}

std::string RegFileParser::Character(std::string_view text, size_t pos) const {
    if (encoding_ == Encoding::UTF8 || encoding_ == Encoding::UTF16LE) return Shown(CharacterAt(text, pos));
    return Shown(text.substr(pos, 1));
}

// ---- lines ------------------------------------------------------------------

bool RegFileParser::ProcessLines(bool atEnd) {
    size_t pos = 0;
    while (pos < text_.size() && !failed_ && state_ != State::STOPPED) {
        const char* text = text_.data();
        const size_t size = text_.size();
        const char* lf = static_cast<const char*>(std::memchr(text + pos, '\n', size - pos));
        size_t end = lf ? static_cast<size_t>(lf - text) : size;
        const char* cr = static_cast<const char*>(std::memchr(text + pos, '\r', end - pos));
        size_t next;
        if (cr) {
            end = static_cast<size_t>(cr - text);
            if (end + 1 < size)
                next = end + 1 + (text[end + 1] == '\n' ? 1 : 0);
            else if (atEnd)
                next = end + 1;
            else
                break;  // a CR LF may be cut between pieces
        } else if (lf) {
            next = end + 1;
        } else if (atEnd) {
            next = size;  // the last line without its line end
        } else {
            break;
        }
        ++lineNumber_;
        HandleLine(std::string_view(text + pos, end - pos));
        pos = next;
        if (redecoded_) {
            // The header chose UTF-8: text_ now holds the rest, decoded afresh.
            redecoded_ = false;
            pos = 0;
        }
    }
    if (failed_) return false;
    text_.erase(0, state_ == State::STOPPED ? text_.size() : pos);
    return true;
}

void RegFileParser::HandleLine(std::string_view line) {
    switch (state_) {
    case State::HEADER: HandleHeader(line); break;
    case State::HEX_DATA: HandleHexLine(line); break;
    case State::LINES: HandleEntry(line); break;
    case State::STOPPED: break;
    }
}

void RegFileParser::HandleHeader(std::string_view line) {
    line = TrimRight(line);
    if (line == HEADER_REGEDIT4) {
        unicode_ = false;
        if (encoding_ == Encoding::EIGHT_BIT) encoding_ = Encoding::ANSI;
    } else if (line == HEADER_VERSION5) {
        unicode_ = true;
        if (encoding_ == Encoding::EIGHT_BIT) SwitchToUtf8();
    } else {
        Fail(lineNumber_, "not a registry file: the first line is neither \"REGEDIT4\" nor "
                          "\"Windows Registry Editor Version 5.00\"");
        return;
    }
    state_ = State::LINES;
}

// A 5.00 file without a byte order mark is UTF-8: decode what is buffered
// after the header line again.
void RegFileParser::SwitchToUtf8() {
    encoding_ = Encoding::UTF8;
    size_t lineEnd = text_.find_first_of("\r\n");
    if (lineEnd == std::string::npos) {
        text_.clear();
        return;
    }
    size_t rest = lineEnd + 1;
    if (text_[lineEnd] == '\r' && rest < text_.size() && text_[rest] == '\n') ++rest;
    std::string raw = text_.substr(rest);
    text_.clear();
    DecodeUtf8(raw.data(), raw.size(), &carry_, &text_);
    redecoded_ = true;
}

void RegFileParser::HandleEntry(std::string_view line) {
    line = TrimLeft(line);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
        HandleKeyLine(line);
    } else if (line.front() == '"' || line.front() == '@') {
        HandleValueLine(line);
    } else if (TrimRight(line) == HEADER_REGEDIT4 || TrimRight(line) == HEADER_VERSION5) {
        Warn(std::string("a second header line") + LINE_SKIPPED);
    } else {
        Warn(std::string("unrecognised line (expected [key], \"name\"=data, @=data or a ; comment)") + LINE_SKIPPED);
    }
}

// ---- keys -----------------------------------------------------------------

void RegFileParser::HandleKeyLine(std::string_view line) {
    // The key ends at the last ']' (a key name may hold one).
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
        Warn(std::string("key line without its closing ']'") + LINE_SKIPPED);
        return;
    }
    std::string_view path = line.substr(1, close - 1);
    bool deletion = !path.empty() && path.front() == '-';
    if (deletion) path.remove_prefix(1);
    size_t slash = path.find('\\');
    std::string_view root = path.substr(0, slash);
    std::string_view below = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (!NamesEqual(RegText{root}, RegText{ROOT_NAME})) {
        for (const char* other : OTHER_ROOTS) {
            if (NamesEqual(RegText{root}, RegText{other})) {
                SkipKey(std::string(other) + " is not part of a snapshot of the local machine (only HKEY_LOCAL_MACHINE)",
                        deletion);
                return;
            }
        }
        std::string what = "unknown root key \"" + Shown(root) + "\" (expected HKEY_LOCAL_MACHINE)";
        if (deletion) {
            Warn(what + REST_SKIPPED);
            state_ = State::STOPPED;
        } else {
            SkipKey(what, false);
        }
        return;
    }
    if (deletion && below.empty()) {
        Warn(std::string("HKEY_LOCAL_MACHINE itself cannot be deleted") + REST_SKIPPED);
        state_ = State::STOPPED;
        return;
    }
    if (deletion && below.find_first_not_of('\\') == std::string_view::npos) {
        SkipKey("HKEY_LOCAL_MACHINE itself cannot be deleted", true);
        return;
    }
    if (!CheckKeyNames(below, deletion)) return;
    if (!OnlyCommentLeft(line.substr(close + 1))) Warn("text after the closing ']' of the key ignored");
    if (deletion) {
        DeletePath(tree_, Text(below, &keyUnits_, &keyAnsi_));
        steps_.clear();
        current_ = nullptr;
        discarding_ = true;
        return;
    }
    current_ = CreateKeyPath(below);
    discarding_ = false;
}

// Values that follow go nowhere, up to the next key line.
void RegFileParser::SkipKey(const std::string& why, bool deletion) {
    Warn(why + (deletion ? LINE_SKIPPED : KEY_SKIPPED));
    current_ = nullptr;
    discarding_ = true;
}

// Creates the key and its parents. An export names sibling keys one after
// another, so the keys shared with the previous key line are taken as found then.
KeyNode* RegFileParser::CreateKeyPath(std::string_view path) {
    size_t kept = 0;
    while (kept < steps_.size()) {
        size_t end = steps_[kept].end;
        if (end > path.size() || (end < path.size() && path[end] != '\\') ||
            path.compare(0, end, lastPath_, 0, end) != 0)
            break;
        ++kept;
    }
    steps_.resize(kept);
    KeyNode* node = kept ? steps_.back().node : &tree_.root;
    size_t pos = kept ? steps_.back().end : 0;
    while (pos < path.size()) {
        if (path[pos] == '\\') {
            ++pos;
            continue;
        }
        size_t end = std::min(path.find('\\', pos), path.size());
        RegText name = Text(path.substr(pos, end - pos), &keyUnits_, &keyAnsi_);
        KeyNode* child = node->FindChild(name);
        node = child ? child : node->AddChild(tree_.arena.Copy(name));
        steps_.push_back(PathStep{end, node});
        pos = end;
    }
    lastPath_.assign(path);
    return node;
}

// Windows refuses to make such keys.
bool RegFileParser::CheckKeyNames(std::string_view path, bool deletion) {
    const bool decoded = encoding_ == Encoding::UTF8 || encoding_ == Encoding::UTF16LE;
    size_t depth = 0;
    bool longName = false;
    ForEachKeyName(RegText{path}, [&](RegText name) {
        ++depth;
        // A unit takes at least a byte.
        longName = longName || (name.bytes.size() > MAX_KEY_NAME &&
                                (decoded ? UnitsInDecoded(name.bytes) : name.bytes.size()) > MAX_KEY_NAME);
        return true;
    });
    // No path or query could name a key whose name holds a NUL.
    if (path.find('\0') != std::string_view::npos) {
        SkipKey("a NUL character in the key name", deletion);
        return false;
    }
    if (longName) SkipKey("a key name is longer than 255 characters", deletion);
    else if (depth > MAX_KEY_DEPTH) SkipKey("the key path is deeper than 512 levels", deletion);
    return !longName && depth <= MAX_KEY_DEPTH;
}

// ---- values ---------------------------------------------------------------

void RegFileParser::HandleValueLine(std::string_view line) {
    valueName_.clear();
    size_t pos = 1;
    if (line.front() == '"' && !ReadQuoted(line, &pos, &valueName_, "value name")) return;
    if (valueName_.find('\0') != std::string::npos) {
        Warn(std::string("a NUL character in the value name") + LINE_SKIPPED);
        return;
    }
    name_ = Text(valueName_, &nameUnits_, &nameAnsi_);
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') {
        Warn(std::string("expected '=' after the value name") + LINE_SKIPPED);
        return;
    }
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (!current_ && !discarding_) {
        Warn("value before the first [key] line; values up to the next key line skipped");
        discarding_ = true;
    }
    ParseData(line.substr(pos));
}

// A quoted text with \\, \", \n and \r escapes; *pos is just after the opening quote.
bool RegFileParser::ReadQuoted(std::string_view line, size_t* pos, std::string* out, const char* what) {
    size_t i = *pos;
    while (i < line.size()) {
        size_t stop = i;
        while (stop < line.size() && line[stop] != '"' && line[stop] != '\\') ++stop;
        out->append(line.data() + i, stop - i);
        if (stop >= line.size()) break;
        if (line[stop] == '"') {
            *pos = stop + 1;
            return true;
        }
        if (stop + 1 >= line.size()) break;
        char escaped = line[stop + 1];
        i = stop + 2;
        if (escaped == '\\' || escaped == '"') {
            out->push_back(escaped);
        } else if (escaped == 'n' || escaped == 'r') {
            out->push_back(escaped == 'n' ? '\n' : '\r');
        } else if (escaped == '0') {
            Warn("escape \\0 in the " + std::string(what) + LINE_SKIPPED);
            return false;
        } else {
            // The Registry Editor keeps the character and drops the backslash.
            std::string character = Character(line, stop + 1);
            Warn("unknown escape \\" + character + " in the " + what + ", read as \"" + character + "\"");
            out->append(character);
            i = stop + 1 + character.size();
        }
    }
    Warn(std::string(what) + " without its closing quote" + LINE_SKIPPED);
    return false;
}

void RegFileParser::ParseData(std::string_view data) {
    if (!data.empty() && data.front() == '-' && OnlyCommentLeft(data.substr(1))) {
        if (current_) current_->RemoveValue(name_);
        return;
    }
    if (!data.empty() && data.front() == '"') {
        scratch_.clear();
        size_t pos = 1;
        if (!ReadQuoted(data, &pos, &scratch_, "string")) return;
        if (!OnlyCommentLeft(data.substr(pos))) {
            Warn(std::string("text after the closing quote of the string") + LINE_SKIPPED);
            return;
        }
        scratch_.push_back('\0');
        Store(VALUE_SZ, Text(scratch_, &dataUnits_, &dataAnsi_));
        return;
    }
    if (data.substr(0, 6) == "dword:") {
        ParseDword(data.substr(6));
        return;
    }
    if (data.substr(0, 4) == "hex:") {
        StartHex(VALUE_BINARY, data.substr(4));
        return;
    }
    if (data.substr(0, 4) == "hex(") {
        size_t close = data.find(')');
        std::string_view digits =
            TrimLeft(data.substr(4, close == std::string_view::npos ? 0 : close - 4));
        uint64_t type = 0;
        bool ok = close != std::string_view::npos && !digits.empty() && digits.size() <= 8 &&
                  close + 1 < data.size() && data[close + 1] == ':';
        for (char c : digits) {
            ok = ok && HexDigit(c) >= 0;
            type = type * 16 + static_cast<uint64_t>(std::max(HexDigit(c), 0));
        }
        if (!ok) {
            Warn(std::string("malformed hex(type): prefix (expected hex(0) to hex(ffffffff) followed by ':')") +
                 LINE_SKIPPED);
            return;
        }
        StartHex(static_cast<uint32_t>(type), data.substr(close + 2));
        return;
    }
    Warn(std::string("unknown value data (expected \"text\", dword:, hex:, hex(type): or -)") + LINE_SKIPPED);
}

void RegFileParser::ParseDword(std::string_view digits) {
    digits = TrimLeft(digits);
    size_t n = 0;
    uint32_t number = 0;
    while (n < digits.size() && HexDigit(digits[n]) >= 0) {
        number = (number << 4) | static_cast<uint32_t>(HexDigit(digits[n]));
        ++n;
    }
    if (n == 0 || n > 8 || !OnlyCommentLeft(digits.substr(n))) {
        Warn(std::string("dword: needs 1 to 8 hex digits") + LINE_SKIPPED);
        return;
    }
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    Store(VALUE_DWORD, RegText{std::string_view(bytes, 4)});
}

void RegFileParser::StartHex(uint32_t type, std::string_view text) {
    hexType_ = type;
    hexBytes_.clear();
    expectByte_ = true;
    ParseHexPiece(text);
}

// Blank and comment lines between continued lines are passed over.
void RegFileParser::HandleHexLine(std::string_view line) {
    line = TrimLeft(line);
    if (line.empty() || line.front() == ';') return;
    ParseHexPiece(line);
}

// One line's part of hex data: bytes of hex digits (at most ff) separated by
// commas, blanks allowed where a byte may come; a backslash at the end
// continues the data on the next line.
void RegFileParser::ParseHexPiece(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsBlank(c)) {
            size_t next = i;
            while (next < text.size() && IsBlank(text[next])) ++next;
            if (next == text.size() || text[next] == ';') break;
            if (!expectByte_) return SkipHexValue("blank after a byte in hex data");
            i = next;
        } else if (c == ';') {
            break;
        } else if (c == ',') {
            if (expectByte_) return SkipHexValue("empty byte in hex data (two commas)");
            expectByte_ = true;
            ++i;
        } else if (c == '\\') {
            if (!OnlyCommentLeft(text.substr(i + 1))) return SkipHexValue("text after the continuation backslash in hex data");
            state_ = State::HEX_DATA;
            return;
        } else if (HexDigit(c) >= 0) {
            if (!expectByte_) return SkipHexValue("missing comma between bytes in hex data");
            int value = HexDigit(c);
            ++i;
            if (i < text.size() && HexDigit(text[i]) >= 0) value = value * 16 + HexDigit(text[i++]);
            // More digits are read while the byte still fits, as regedit reads "012".
            for (; i < text.size() && HexDigit(text[i]) >= 0 && value <= 0xFF; ++i) value = value * 16 + HexDigit(text[i]);
            if (value > 0xFF) return SkipHexValue("a byte in hex data is larger than ff");
            hexBytes_.push_back(static_cast<char>(value));
            expectByte_ = false;
        } else {
            return SkipHexValue("bad character '" + Character(text, i) + "' in hex data");
        }
    }
    FinishHexValue();
}

void RegFileParser::SkipHexValue(const std::string& why) {
    Warn(why + VALUE_SKIPPED);
    state_ = State::LINES;
}

void RegFileParser::FinishHexValue() {
    state_ = State::LINES;
    std::string& bytes = hexBytes_;
    RegText data{bytes};
    // String types hold UTF-16 in 5.00 files and ANSI in REGEDIT4 files;
    // regedit ends a string that lacks its NUL with one.
    if (IsStringType(hexType_) && unicode_) {
        bytes.resize(bytes.size() & ~size_t{1});
        if (!bytes.empty() && (bytes[bytes.size() - 2] != 0 || bytes.back() != 0)) bytes.append(2, '\0');
        data = TextFromUtf16(bytes, &dataAnsi_);
    } else if (IsStringType(hexType_) && !bytes.empty() && bytes.back() != '\0') {
        bytes.push_back('\0');
        data = RegText{bytes};
    }
    Store(hexType_, data);
}

void RegFileParser::Store(uint32_t type, RegText data) {
    if (!current_) return;
    if (data.bytes.size() > UINT32_MAX) {
        Warn(std::string("the value's data is larger than 4 GB") + VALUE_SKIPPED);
        return;
    }
    current_->SetValue(tree_.arena, name_, type, data);
}

void RegFileParser::Warn(const std::string& what) {
    if (++warningCount_ <= MAX_WARNINGS)
        warnings_.push_back(fileName_ + ":" + std::to_string(lineNumber_) + ": " + what);
}

bool RegFileParser::Fail(size_t line, const std::string& what) {
    if (!failed_) error_ = fileName_ + ":" + std::to_string(line) + ": " + what;
    failed_ = true;
    return false;
}

}  // namespace tavreg::detail
