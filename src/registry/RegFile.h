// The .reg snapshot parser: reads regedit's export text into a key tree.
#ifndef TAV_REGISTRY_REGFILE_H
#define TAV_REGISTRY_REGFILE_H

#include "registry/KeyTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavreg::detail {

// REGEDIT4 or "Windows Registry Editor Version 5.00" text, in Windows-1252,
// UTF-8 or UTF-16LE. A faulty line is passed over as the Registry Editor
// passes over it, with a warning; only a file without the header line of an
// export is refused.
class RegFileParser {
public:
    RegFileParser(Tree& tree, std::string fileName) : tree_(tree), fileName_(std::move(fileName)) {}

    // Raw file bytes, in pieces of any size. False once the file is refused.
    [[nodiscard]] bool Feed(const char* bytes, size_t count);
    [[nodiscard]] bool Finish();

    // One line naming the file, the line and what is wrong.
    const std::string& Error() const { return error_; }
    // Lines of the same form, saying also what was left out, handed over once.
    std::vector<std::string> TakeWarnings();

private:
    enum class Encoding { UNKNOWN, EIGHT_BIT, ANSI, UTF8, UTF16LE };
    enum class State { HEADER, LINES, HEX_DATA, STOPPED };

    // Declared inline though defined in RegFile.cpp, the only file that calls
    // them: the line loop then keeps them in itself, as it must for speed.
    inline void DetectEncoding();
    inline void Decode(const char* bytes, size_t count);

    inline bool ProcessLines(bool atEnd);
    inline void HandleLine(std::string_view line);
    inline void HandleHeader(std::string_view line);
    inline void SwitchToUtf8();
    inline void HandleEntry(std::string_view line);
    inline void HandleKeyLine(std::string_view line);
    inline void SkipKey(const std::string& why, bool deletion);
    inline KeyNode* CreateKeyPath(std::string_view path);
    inline bool CheckKeyNames(std::string_view path, bool deletion);
    inline void HandleValueLine(std::string_view line);
    inline bool ReadQuoted(std::string_view line, size_t* pos, std::string* out, const char* what);
    inline void ParseData(std::string_view data);
    inline void ParseDword(std::string_view digits);
    inline void StartHex(uint32_t type, std::string_view text);
    inline void HandleHexLine(std::string_view line);
    inline void ParseHexPiece(std::string_view text);
    inline void SkipHexValue(const std::string& why);
    inline void FinishHexValue();
    inline void Store(uint32_t type, RegText data);
    inline RegText Text(std::string_view text, std::string* units, std::string* ansi);
    inline std::string Character(std::string_view text, size_t pos) const;
    inline void Warn(const std::string& what);
    inline bool Fail(size_t line, const std::string& what);

    Tree& tree_;
    std::string fileName_;
    std::string error_;
    bool failed_ = false;
    std::vector<std::string> warnings_;
    size_t warningCount_ = 0;

    Encoding encoding_ = Encoding::UNKNOWN;
    std::string pending_;  // bytes before the encoding is known
    std::string carry_;    // an incomplete character between pieces
    std::string text_;     // decoded text not yet split into lines
    bool redecoded_ = false;  // text_ was replaced while splitting lines
    size_t lineNumber_ = 0;

    State state_ = State::HEADER;
    bool unicode_ = false;
    KeyNode* current_ = nullptr;
    bool discarding_ = false;  // values are read but not kept: after a deletion or a key left out
    struct PathStep {
        size_t end;  // where the key's name ends in lastPath_
        KeyNode* node;
    };
    std::string lastPath_;  // of the previous key line
    std::vector<PathStep> steps_;
    std::string valueName_;
    RegText name_;  // valueName_ as kept
    std::string scratch_;  // a string value's data
    std::string keyUnits_, keyAnsi_, nameUnits_, nameAnsi_, dataUnits_, dataAnsi_;  // text converted for keeping
    uint32_t hexType_ = 0;
    std::string hexBytes_;
    bool expectByte_ = true;
};

}  // namespace tavreg::detail

#endif
