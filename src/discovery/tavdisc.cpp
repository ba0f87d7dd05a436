// Database server records, the server list, and the discovery of the
// database servers of the four families in the registry of this machine.
#include "discovery/tavdisc.h"

#include "platform/RegistryReader.h"

#include <cstring>
#include <string>

namespace {

// ---- text helpers ------------------------------------------------------------------

// The case-insensitive comparison of 8-bit text that _stricmp makes in the
// "C" locale: only A-Z and a-z are folded.
int FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

bool EqualsIgnoreCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool IsFamilySlot(int family) {
    return family >= 0 && family < FAMILY_SLOTS;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Removes the characters of set from the given ends of text.
std::string TrimChars(const std::string& text, const char* set, bool leading, bool trailing) {
    size_t begin = 0;
    size_t end = text.size();
    if (leading)
        while (begin < end && text[begin] != '\0' && std::strchr(set, text[begin]) != nullptr) ++begin;
    if (trailing)
        while (end > begin && text[end - 1] != '\0' && std::strchr(set, text[end - 1]) != nullptr) --end;
    return text.substr(begin, end - begin);
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
            std::string text = TrimChars(piece, " ", false, true);
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
    return std::fopen(path, "rb");
}

}  // namespace

// ---- records -------------------------------------------------------------------

COracleServer::COracleServer(const char* sid)
    : CDbServer(FAMILY_ORACLE), oracle_sid(sid ? sid : "") {}

void COracleServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_oracle : %s\n", dollar_server.c_str());
    fprintf(stream, "ORA_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "RDBMS Server");
    fprintf(stream, "initora_filename : %s\n", initora_filename.c_str());
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CSybaseServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_sybase : %s\n", dollar_server.c_str());
    fprintf(stream, "syb_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CMsSqlServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_mssqlserver : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "SQL Server");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void CInformixServer::Dump(FILE* stream) {
    fprintf(stream, "dollar_server : %s\n", dollar_server.c_str());
    fprintf(stream, "server_version : %s\n", server_version.c_str());
    fprintf(stream, "server_type : %s\n", "Online");
    fprintf(stream, "server_name : %s\n", server_name.c_str());
    fprintf(stream, "service_name : %s\n", service_name.c_str());
    fprintf(stream, "errorlog_name : %s\n", errorlog_name.c_str());
    fprintf(stream, "config_file : %s\n", config_file.c_str());
    fprintf(stream, "is_server_valid : %d\n\n", is_server_valid);
}

void COracleServer::ReadInitFile() {
    if (initora_filename.empty()) {
        is_server_valid = 0;
        return;
    }
    FILE* file = OpenParameterFile(initora_filename.c_str());
    if (file == nullptr) {
        if (server_name.empty())
            is_server_valid = 0;
        return;
    }
    ParameterFileReader reader(file);
    std::string line;
    std::string value;
    while (reader.NextLine(&line)) {
        if (server_name.empty() && Contains(line, "db_name")) {
            server_name = ValueAfterKey(line, "db_name", &value) ? TrimChars(value, " ", true, true) : "";
        }
        if (errorlog_name.empty() && Contains(line, "user_dump_dest")) {
            errorlog_name = ValueAfterKey(line, "user_dump_dest", &value)
                                ? TrimChars(value, " ", true, true) + "\\" + oracle_sid + "ALRT.LOG"
                                : "";
        }
    }
    fclose(file);
    if (server_name.empty())
        is_server_valid = 0;
}

std::string ResolveParameterFile(const char* path) {
    // With no parameter line to decide, the file is taken to hold its own parameters.
    std::string result = path ? path : "";
    FILE* file = OpenParameterFile(result.c_str());
    if (file == nullptr)
        return result;
    ParameterFileReader reader(file);
    std::string line;
    std::string value;
    while (reader.NextLine(&line)) {
        if (!Contains(line, "IFILE")) {
            result = path;
            continue;
        }
        if (!ValueAfterKey(line, "IFILE", &value)) {
            printf("No change in initfile\n");
            continue;
        }
        printf("[DEB] filename[=%s]\n", value.c_str());
        result = TrimChars(value, "' ", true, true);
        printf("[DEB] filename2[%s]\n", result.c_str());
    }
    fclose(file);
    return result;
}

// ---- the server list -------------------------------------------------------------

CDbServerList::CDbServerList(tavplat::RegistryReader& registry, const char* name)
    : registry_(registry), name_(name ? name : "") {}

CDbServerList::~CDbServerList() {
    for (auto& sequence : servers_) {
        for (auto it = sequence.rbegin(); it != sequence.rend(); ++it)
            delete *it;
        sequence.clear();
    }
}

void CDbServerList::Add(CDbServer* server, int family) {
    if (server == nullptr)
        return;
    if (!IsFamilySlot(family)) {
        // The list owns what it is given; a record it cannot file is released.
        delete server;
        return;
    }
    servers_[family].push_back(server);
}

int CDbServerList::GetCount(int family) const {
    return IsFamilySlot(family) ? static_cast<int>(servers_[family].size()) : 0;
}

CDbServer* CDbServerList::GetAt(int index, int family) const {
    if (index < 0 || index >= GetCount(family))
        return nullptr;
    return servers_[family][static_cast<size_t>(index)];
}

CDbServer* CDbServerList::FindByName(int family, const char* name) const {
    if (!IsFamilySlot(family) || name == nullptr)
        return nullptr;
    for (CDbServer* server : servers_[family]) {
        if (EqualsIgnoreCase(server->GetServerName(), name))
            return server;
    }
    return nullptr;
}

void CDbServerList::ReadInitFiles(int family) {
    // The count is read afresh each time round.
    for (int i = 0; i < GetCount(family); ++i)
        GetAt(i, family)->ReadInitFile();
}
