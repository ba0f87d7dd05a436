// Oracle's parameter files: the line reader both readers share, the IFILE
// resolution, and an instance record filled from its file.
#include "discovery/OracleParameterFile.h"

#include <cstdio>
#include <string>
#include <vector>

#include "discovery/ServerRecord.h"
#include "platform/FileSystem.h"
#include "text/Text.h"

using tavtext::Trim;
using tavtext::TrimRight;

namespace {

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The text after the first "=" at or behind the first occurrence of key, or
// false when there is no "=" there.
bool ValueAfterKey(const std::string& line, const char* key, std::string* value) {
    const size_t at = line.find(key);
    const size_t equals = line.find('=', at);
    if (equals == std::string::npos)
        return false;
    *value = line.substr(equals + 1);
    return true;
}

// ---- the parameter-file line reader ------------------------------------------------

// Reads an Oracle parameter file the way a 201-byte fgets buffer on a text-mode
// stream sees it: lines of up to 200 characters, longer ones in pieces of 200;
// CR LF counts as the line end and Ctrl-Z ends the file, as the Windows C
// runtime reads text files. The file is opened in binary so that both builds
// read the same characters.
class ParameterFileReader {
public:
    static constexpr size_t PIECE = 200;

    explicit ParameterFileReader(FILE* file) : file_(file) {}

    // The next working line that is neither empty nor a comment; false at the end.
    bool NextLine(std::string* working) {
        std::string piece;
        while (ReadPiece(&piece)) {
            if (!piece.empty() && piece.back() == '\n')
                piece.pop_back();
            std::string text = std::string(TrimRight(piece, " "));
            if (text.empty() || text[0] == '#')
                continue;
            if (text[0] == '-')
                text = " " + text;
            if (continued_) {
                continued_ = false;
                text = " -" + text;
            }
            continued_ = text.size() >= 3 && text.compare(text.size() - 3, 3, " -\\") == 0;
            *working = text;
            return true;
        }
        return false;
    }

private:
    int ReadChar() {
        if (ended_)
            return EOF;
        int c = fgetc(file_);
        if (c == 0x1A) {
            ended_ = true;
            return EOF;
        }
        if (c == '\r') {
            const int next = fgetc(file_);
            if (next == '\n')
                return '\n';
            if (next != EOF)
                ungetc(next, file_);
        }
        return c;
    }

    bool ReadPiece(std::string* piece) {
        piece->clear();
        while (piece->size() < PIECE) {
            const int c = ReadChar();
            if (c == EOF)
                break;
            piece->push_back(static_cast<char>(c));
            if (c == '\n')
                break;
        }
        if (piece->empty())
            return false;
        // The line is C text: it ends at a NUL byte.
        const size_t nul = piece->find('\0');
        if (nul != std::string::npos)
            piece->resize(nul);
        return true;
    }

    FILE* file_;
    bool continued_ = false;
    bool ended_ = false;
};

FILE* OpenParameterFile(const char* path) {
    return tavplat::OpenFile(path, "rb");
}

}  // namespace

void COracleServer::ReadInitFile() {
    if (initora_filename.empty()) {
        is_server_valid = 0;
        return;
    }
    std::vector<std::string> lines;
    if (!ReadParameterFileLines(initora_filename.c_str(), &lines)) {
        if (server_name.empty())
            is_server_valid = 0;
        return;
    }
    std::string value;
    for (const std::string& line : lines) {
        if (server_name.empty() && Contains(line, "db_name")) {
            SetServerName(ValueAfterKey(line, "db_name", &value) ? std::string(Trim(value, " ")).c_str() : "");
        }
        if (errorlog_name.empty() && Contains(line, "user_dump_dest")) {
            errorlog_name = ValueAfterKey(line, "user_dump_dest", &value)
                                ? std::string(Trim(value, " ")) + "\\" + oracle_sid + "ALRT.LOG"
                                : "";
        }
    }
    if (server_name.empty())
        is_server_valid = 0;
}

bool ReadParameterFileLines(const char* path, std::vector<std::string>* lines) {
    lines->clear();
    FILE* file = OpenParameterFile(path ? path : "");
    if (file == nullptr)
        return false;
    ParameterFileReader reader(file);
    std::string line;
    while (reader.NextLine(&line))
        lines->push_back(line);
    fclose(file);
    return true;
}

std::string ResolveParameterFile(const char* path, CReport& report) {
    // With no parameter line to decide, the file is taken to hold its own parameters.
    const std::string ownPath = path ? path : "";
    std::string result = ownPath;
    std::vector<std::string> lines;
    ReadParameterFileLines(ownPath.c_str(), &lines);
    std::string value;
    for (const std::string& line : lines) {
        if (!Contains(line, "IFILE")) {
            result = ownPath;
            continue;
        }
        if (!ValueAfterKey(line, "IFILE", &value)) {
            report.Console("No change in initfile\n");
            continue;
        }
        report.ConsoleF("[DEB] filename[=%s]\n", value.c_str());
        result = std::string(Trim(value, "' "));
        report.ConsoleF("[DEB] filename2[%s]\n", result.c_str());
    }
    return result;
}
