// Windows file system service: paths go to the C runtime as they are.
#include "platform/FileSystem.h"

#include <direct.h>
#include <io.h>
#include <windows.h>

#include "platform/RegistryReader.h"

namespace tavplat {

std::string NativePath(const char* path) {
    return path ? std::string(path) : std::string();
}

FILE* OpenFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

int RemoveFile(const char* path) {
    return _unlink(path);
}

int RenameFile(const char* from, const char* to) {
    return std::rename(from, to);
}

FileOutcome MoveIntoPlace(const char* from, const char* to) {
    // Write-through: the move is on the disk when the call returns.
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    const DWORD error = GetLastError();
    // One line: the system's sentence without its full stop and line end.
    std::string why = SystemErrorText(static_cast<long>(error));
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == '.'))
        why.pop_back();
    return {error ? static_cast<long>(error) : -1, why};
}

int MakeDirectory(const char* path) {
    return _mkdir(path);
}

int FileAccess(const char* path, int mode) {
    return _access(path, mode);
}

size_t WriteGeneratedText(FILE* stream, const char* text, size_t length) {
    if (GeneratedWriteFaultStrikes())
        return 0;
    // The stream is in text mode: the C runtime turns "\n" into "\r\n".
    return std::fwrite(text, 1, length, stream);
}


}  // namespace tavplat
