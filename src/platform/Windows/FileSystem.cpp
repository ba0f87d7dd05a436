// Windows file system service: paths go to the C runtime as they are.
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

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

namespace {

int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

// Full control for SYSTEM and the Administrators, protected ("P"): nothing
// is inherited from the directory.
constexpr const char OWNER_ONLY_DACL[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

// Gives the open file the protected DACL, besides the descriptor it was
// created with: a system that merged inherited entries at the creation
// loses them here.
bool ProtectFile(HANDLE file, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present)
        return false;
    return SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

}  // namespace

FILE* CreateNewFile(const char* path, const char* mode, FileReaders readers) {
    const bool ownerOnly = readers == FileReaders::OWNER_ONLY;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (ownerOnly &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(OWNER_ONLY_DACL, SDDL_REVISION_1, &descriptor, nullptr)) {
        errno = EACCES;
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    // CREATE_NEW never opens what is there; FILE_FLAG_OPEN_REPARSE_POINT
    // keeps a link at the name from being followed.
    HANDLE file = CreateFileA(path, GENERIC_WRITE | READ_CONTROL | WRITE_DAC, FILE_SHARE_READ,
                              ownerOnly ? &attributes : nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int error = ErrnoOf(GetLastError());
        if (descriptor) LocalFree(descriptor);
        errno = error;
        return nullptr;
    }
    const bool protectedOk = !ownerOnly || ProtectFile(file, descriptor);
    if (descriptor) LocalFree(descriptor);
    if (!protectedOk) {
        CloseHandle(file);
        DeleteFileA(path);
        errno = EACCES;
        return nullptr;
    }
    // The stream keeps text mode unless the mode asks for binary: generated
    // lines end in CR LF through the C runtime.
    const int flags = _O_WRONLY | (std::strchr(mode, 'b') ? _O_BINARY : _O_TEXT);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags);
    if (fd < 0) {
        CloseHandle(file);
        DeleteFileA(path);
        errno = EIO;
        return nullptr;
    }
    FILE* stream = _fdopen(fd, mode);
    if (!stream) {
        _close(fd);
        DeleteFileA(path);
        errno = EIO;
    }
    return stream;
}

int FlushToDisk(FILE* stream) {
    if (std::fflush(stream) != 0)
        return -1;
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file)) {
        errno = ErrnoOf(GetLastError());
        return -1;
    }
    return 0;
}

FileOutcome SyncDirectory(const char*) {
    return {};  // the moves are written through
}

DirectoryListing ListDirectory(const char* directory) {
    DirectoryListing listing;
    WIN32_FIND_DATAA found;
    const std::string pattern = std::string(directory) + "\\*";
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return listing;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            listing.directories.push_back(name);
        else
            listing.files.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return listing;
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
