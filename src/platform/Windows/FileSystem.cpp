// Windows file system service: paths go to the C runtime as they are.
#include "platform/FileSystem.h"

#include <direct.h>
#include <io.h>

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

int MakeDirectory(const char* path) {
    return _mkdir(path);
}

int FileAccess(const char* path, int mode) {
    return _access(path, mode);
}

size_t WriteGeneratedText(FILE* stream, const char* text, size_t length) {
    // The stream is in text mode: the C runtime turns "\n" into "\r\n".
    return std::fwrite(text, 1, length, stream);
}

}  // namespace tavplat
