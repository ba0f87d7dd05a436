// The .reg snapshot parser: regedit's export text, in any of its encodings, into a key tree.
#include "registry/RegFile.h"

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

using tavtext::IsBlank;
using tavtext::TrimLeft;

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

// Only blanks or a comment may follow the data of a value.
bool OnlyCommentLeft(std::string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == ';';
}

}  // namespace

bool RegFileParser::Feed(const char* bytes, size_t count) {
    if (failed_) return false;
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
    if (state_ == State::HEX_DATA) return Fail(lineNumber_, "hex data continued past the end of the file");
    return true;
}

// ---- decoding to Windows-1252 text --------------------------------------

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
    case Encoding::UTF16LE: DecodeUtf16(bytes, count); break;
    case Encoding::UTF8: DecodeUtf8(bytes, count); break;
    case Encoding::UNKNOWN: break;  // refused
    default: text_.append(bytes, count); break;
    }
}

void RegFileParser::DecodeUtf16(const char* bytes, size_t count) {
    size_t i = 0;
    size_t start = text_.size();
    if (!carry_.empty() && count > 0) {
        uint32_t unit = static_cast<unsigned char>(carry_[0]) |
                        (static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 8);
        text_.push_back(static_cast<char>(UnicodeToAnsi(unit)));
        carry_.clear();
        i = 1;
        start = text_.size();
    }
    size_t units = (count - i) / 2;
    text_.resize(start + units);
    char* out = text_.data() + start;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes + i);
    size_t k = 0;
    while (k < units) {
        // Four ASCII units at a time, the common case.
        uint64_t word;
        if (k + 4 <= units && (std::memcpy(&word, in + 2 * k, 8), (word & 0xFF80FF80FF80FF80ull) == 0)) {
            out[k] = static_cast<char>(in[2 * k]);
            out[k + 1] = static_cast<char>(in[2 * k + 2]);
            out[k + 2] = static_cast<char>(in[2 * k + 4]);
            out[k + 3] = static_cast<char>(in[2 * k + 6]);
            k += 4;
            continue;
        }
        out[k] = static_cast<char>(UnicodeToAnsi(in[2 * k] | (static_cast<uint32_t>(in[2 * k + 1]) << 8)));
        ++k;
    }
    i += units * 2;
    if (i < count) carry_.assign(1, bytes[i]);
}

// UTF-8 to UTF-16 units to ANSI; a character beyond the 16-bit plane takes
// two units and so two '?'. Malformed bytes become '?' each.
void RegFileParser::DecodeUtf8(const char* bytes, size_t count) {
    std::string joined;
    if (!carry_.empty()) {
        joined = carry_ + std::string(bytes, count);
        carry_.clear();
        bytes = joined.data();
        count = joined.size();
    }
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < count) {
        unsigned char c = b[i];
        if (c < 0x80) {
            text_.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? (c < 0xF0 ? 3 : 0) : c >= 0xC2 ? 2 : 0;
        if (length == 0) {
            text_.push_back('?');
            ++i;
            continue;
        }
        if (i + length > count) {
            // Possibly a character cut by the piece boundary.
            bool prefixOk = true;
            for (size_t k = i + 1; k < count; ++k) prefixOk = prefixOk && (b[k] & 0xC0) == 0x80;
            if (prefixOk) {
                carry_.assign(bytes + i, count - i);
                return;
            }
        }
        uint32_t cp = c & (0xFF >> (length + 1));
        size_t k = 1;
        for (; k < length && i + k < count && (b[i + k] & 0xC0) == 0x80; ++k) cp = (cp << 6) | (b[i + k] & 0x3F);
        bool overlong = (length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        if (k < length || overlong || (cp >= 0xD800 && cp <= 0xDFFF)) {
            text_.push_back('?');
            i += k;
            continue;
        }
        if (cp >= 0x10000)
            text_.append("??");
        else
            text_.push_back(static_cast<char>(UnicodeToAnsi(cp)));
        i += length;
    }
}

// ---- lines ------------------------------------------------------------------

bool RegFileParser::ProcessLines(bool atEnd) {
    size_t pos = 0;
    while (pos < text_.size() && !failed_) {
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
    text_.erase(0, pos);
    return true;
}

void RegFileParser::HandleLine(std::string_view line) {
    switch (state_) {
    case State::HEADER: HandleHeader(line); break;
    case State::HEX_DATA: HandleHexLine(line); break;
    case State::LINES: HandleEntry(line); break;
    }
}

void RegFileParser::HandleHeader(std::string_view line) {
    line = tavtext::TrimRight(line);
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
    DecodeUtf8(raw.data(), raw.size());
    redecoded_ = true;
}

void RegFileParser::HandleEntry(std::string_view line) {
    line = TrimLeft(line);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
        HandleKeyLine(line);
    } else if (line.front() == '"' || line.front() == '@') {
        HandleValueLine(line);
    } else {
        Fail(lineNumber_, "unrecognised line (expected [key], \"name\"=data, @=data or a ; comment)");
    }
}

void RegFileParser::HandleKeyLine(std::string_view line) {
    // The key ends at the last ']' (a key name may hold one); a comment may follow.
    size_t close = line.rfind(']');
    if (close == std::string_view::npos) {
        Fail(lineNumber_, "key line without its closing ']'");
        return;
    }
    if (!OnlyCommentLeft(line.substr(close + 1))) {
        Fail(lineNumber_, "text after the closing ']' of the key");
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
                Fail(lineNumber_, std::string(other) +
                                      " is not part of a snapshot of the local machine (only HKEY_LOCAL_MACHINE)");
                return;
            }
        }
        Fail(lineNumber_, "unknown root key \"" + std::string(root) + "\" (expected HKEY_LOCAL_MACHINE)");
        return;
    }
    if (!CheckKeyNames(below)) return;
    if (deletion) {
        if (below.find_first_not_of('\\') == std::string_view::npos) {
            Fail(lineNumber_, "HKEY_LOCAL_MACHINE itself cannot be deleted");
            return;
        }
        DeletePath(tree_, RegText{below});
        steps_.clear();
        current_ = nullptr;
        afterDeletion_ = true;
        return;
    }
    current_ = CreateKeyPath(below);
    afterDeletion_ = false;
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
        RegText name{path.substr(pos, end - pos)};
        KeyNode* child = node->FindChild(name);
        node = child ? child : node->AddChild(tree_.arena.Copy(name));
        steps_.push_back(PathStep{end, node});
        pos = end;
    }
    lastPath_.assign(path);
    return node;
}

bool RegFileParser::CheckKeyNames(std::string_view path) {
    size_t depth = 0;
    bool longName = false;
    ForEachKeyName(RegText{path}, [&](RegText name) {
        ++depth;
        longName = longName || name.Units() > MAX_KEY_NAME;
        return true;
    });
    if (longName) return Fail(lineNumber_, "a key name is longer than 255 characters");
    if (depth > MAX_KEY_DEPTH) return Fail(lineNumber_, "the key path is deeper than 512 levels");
    return true;
}

void RegFileParser::HandleValueLine(std::string_view line) {
    valueName_.clear();
    size_t pos = 1;
    if (line.front() == '"' && !ReadQuoted(line, &pos, &valueName_, "value name")) return;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') {
        Fail(lineNumber_, "expected '=' after the value name");
        return;
    }
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    std::string_view data = line.substr(pos);
    if (!current_ && !afterDeletion_) {
        Fail(lineNumber_, "value before the first [key] line");
        return;
    }
    ParseData(data);
}

// A quoted text with \\ and \" escapes; *pos is just after the opening quote.
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
        // regedit knows \\, \" and \n; any other escape would be guessed at.
        char escaped = stop + 1 < line.size() ? line[stop + 1] : '\0';
        if (escaped == '\\' || escaped == '"') {
            out->push_back(escaped);
        } else if (escaped == 'n') {
            out->push_back('\n');
        } else if (stop + 1 < line.size()) {
            Fail(lineNumber_, std::string("unknown escape \\") + escaped + " in the " + what +
                                  " (known are \\\\, \\\" and \\n)");
            return false;
        } else {
            break;
        }
        i = stop + 2;
    }
    Fail(lineNumber_, std::string(what) + " without its closing quote");
    return false;
}

void RegFileParser::ParseData(std::string_view data) {
    if (!data.empty() && data.front() == '-' && OnlyCommentLeft(data.substr(1))) {
        if (current_) current_->RemoveValue(RegText{valueName_});
        return;
    }
    if (!data.empty() && data.front() == '"') {
        scratch_.clear();
        size_t pos = 1;
        if (!ReadQuoted(data, &pos, &scratch_, "string")) return;
        if (!OnlyCommentLeft(data.substr(pos))) {
            Fail(lineNumber_, "text after the closing quote of the string");
            return;
        }
        scratch_.push_back('\0');
        Store(VALUE_SZ, scratch_);
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
            Fail(lineNumber_, "malformed hex(type): prefix (expected hex(0) to hex(ffffffff) followed by ':')");
            return;
        }
        StartHex(static_cast<uint32_t>(type), data.substr(close + 2));
        return;
    }
    Fail(lineNumber_, "unknown value data (expected \"text\", dword:, hex:, hex(type): or -)");
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
        Fail(lineNumber_, "dword: needs 1 to 8 hex digits");
        return;
    }
    char bytes[4];
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
    Store(VALUE_DWORD, std::string_view(bytes, 4));
}

void RegFileParser::StartHex(uint32_t type, std::string_view text) {
    hexType_ = type;
    hexBytes_.clear();
    expectByte_ = true;
    ParseHexPiece(text);
}

void RegFileParser::HandleHexLine(std::string_view line) {
    line = TrimLeft(line);
    if (!line.empty() && line.front() == ';') return;  // a comment between continued lines
    if (line.empty()) {
        Fail(lineNumber_, "hex data continued onto an empty line");
        return;
    }
    ParseHexPiece(line);
}

// One line's part of hex data: bytes of 1 or 2 hex digits separated by
// commas, blanks allowed before a byte; a backslash at the end continues
// the data on the next line.
void RegFileParser::ParseHexPiece(std::string_view text) {
    size_t i = 0;
    bool continued = false;
    while (i < text.size()) {
        char c = text[i];
        if (IsBlank(c)) {
            size_t next = i;
            while (next < text.size() && IsBlank(text[next])) ++next;
            if (next == text.size() || text[next] == ';') break;
            if (!expectByte_ || HexDigit(text[next]) < 0) {
                Fail(lineNumber_, "blank before a comma or backslash in hex data");
                return;
            }
            i = next;
        } else if (c == ';') {
            break;
        } else if (c == ',') {
            if (expectByte_) {
                Fail(lineNumber_, "empty byte in hex data (two commas)");
                return;
            }
            expectByte_ = true;
            ++i;
        } else if (c == '\\') {
            if (!TrimLeft(text.substr(i + 1)).empty()) {
                Fail(lineNumber_, "text after the continuation backslash in hex data");
                return;
            }
            continued = true;
            break;
        } else if (HexDigit(c) >= 0) {
            if (!expectByte_) {
                Fail(lineNumber_, "missing comma between bytes in hex data");
                return;
            }
            int value = HexDigit(c);
            ++i;
            if (i < text.size() && HexDigit(text[i]) >= 0) value = value * 16 + HexDigit(text[i++]);
            if (i < text.size() && HexDigit(text[i]) >= 0) {
                Fail(lineNumber_, "a byte in hex data has more than 2 hex digits");
                return;
            }
            hexBytes_.push_back(static_cast<char>(value));
            expectByte_ = false;
        } else {
            Fail(lineNumber_, std::string("bad character '") + c + "' in hex data");
            return;
        }
    }
    if (continued) {
        state_ = State::HEX_DATA;
    } else {
        FinishHexValue();
    }
}

bool RegFileParser::FinishHexValue() {
    state_ = State::LINES;
    std::string& bytes = hexBytes_;
    // String types hold UTF-16 in 5.00 files and ANSI in REGEDIT4 files;
    // regedit ends a string that lacks its NUL with one.
    if (IsStringType(hexType_)) {
        if (unicode_) {
            RegText text = TextFromUtf16(bytes, &scratch_);
            std::string ansi(text.Units(), '\0');
            CopyAnsi(text, text.Units(), ansi.data());
            bytes = ansi;
        }
        if (!bytes.empty() && bytes.back() != '\0') bytes.push_back('\0');
    }
    Store(hexType_, bytes);
    return !failed_;
}

void RegFileParser::Store(uint32_t type, std::string_view data) {
    if (data.size() > UINT32_MAX) {
        Fail(lineNumber_, "the value's data is larger than 4 GB");
        return;
    }
    if (current_) current_->SetValue(tree_.arena, RegText{valueName_}, type, RegText{data});
}

bool RegFileParser::Fail(size_t line, const std::string& what) {
    if (!failed_) error_ = fileName_ + ":" + std::to_string(line) + ": " + what;
    failed_ = true;
    return false;
}

}  // namespace tavreg::detail
