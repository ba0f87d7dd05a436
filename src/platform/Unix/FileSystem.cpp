// POSIX file system service: Windows paths are mapped onto the local tree.
#include "platform/FileSystem.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavplat {

namespace {

bool IsDriveQualified(const char* path) {
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Where drive letters live: TAVNOVU_DRIVES; false when unset or empty.
bool DrivesDirectory(std::string* dir) {
    const char* drives = std::getenv("TAVNOVU_DRIVES");
    if (drives == nullptr || *drives == '\0')
        return false;
    *dir = drives;
    while (!dir->empty() && dir->back() == '/')
        dir->pop_back();
    return true;
}


}  // namespace

std::string NativePath(const char* path) {
    if (path == nullptr)
        return std::string();
    std::string mapped;
    const char* rest = path;
    if (IsDriveQualified(path)) {
        std::string drives;
        if (DrivesDirectory(&drives)) {
            mapped = drives + "/";
            mapped += static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
        }
        rest = path + 2;
        // "C:x" is relative to the drive: it still lands below the drive's directory.
        if (*rest != '\\' && *rest != '/' && *rest != '\0')
            mapped += '/';
    }
    for (const char* p = rest; *p != '\0'; ++p)
        mapped += (*p == '\\') ? '/' : *p;
    if (mapped.empty() && rest != path)
        mapped = "/";
    return mapped;
}

FILE* OpenFile(const char* path, const char* mode) {
    std::string native = NativePath(path);
    return std::fopen(native.c_str(), mode);
}

int RemoveFile(const char* path) {
    std::string native = NativePath(path);
    return unlink(native.c_str());
}

int RenameFile(const char* from, const char* to) {
    std::string nativeFrom = NativePath(from);
    std::string nativeTo = NativePath(to);
    return std::rename(nativeFrom.c_str(), nativeTo.c_str());
}

FileOutcome MoveIntoPlace(const char* from, const char* to) {
    std::string nativeFrom = NativePath(from);
    std::string nativeTo = NativePath(to);
    if (std::rename(nativeFrom.c_str(), nativeTo.c_str()) == 0)
        return {};
    const int error = errno;
    return {error ? error : EIO, std::strerror(error ? error : EIO)};
}

FILE* CreateNewFile(const char* path, const char* mode, FileReaders readers) {
    const std::string native = NativePath(path);
    const bool ownerOnly = readers == FileReaders::OWNER_ONLY;
    const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd < 0)
        return nullptr;
    // The mode at creation is cut by the umask; fchmod is not, so a umask
    // such as 0277 cannot leave the owner unable to read the file either.
    if (ownerOnly && fchmod(fd, 0600) != 0) {
        const int error = errno;
        close(fd);
        unlink(native.c_str());
        errno = error;
        return nullptr;
    }
    FILE* stream = fdopen(fd, mode);
    if (stream == nullptr) {
        const int error = errno;
        close(fd);
        unlink(native.c_str());
        errno = error;
    }
    return stream;
}

int FlushToDisk(FILE* stream) {
    if (std::fflush(stream) != 0)
        return -1;
    return fsync(fileno(stream));
}

FileOutcome SyncDirectory(const char* directory) {
    const std::string native = NativePath(directory);
    const int fd = open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        const int error = errno ? errno : EIO;
        if (fd >= 0)
            close(fd);
        return {error, std::strerror(error)};
    }
    close(fd);
    return {};
}

DirectoryListing ListDirectory(const char* directory) {
    DirectoryListing listing;
    const std::string native = NativePath(directory);
    DIR* dir = opendir(native.c_str());
    if (dir == nullptr)
        return listing;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode))
            listing.files.push_back(name);
        else if (S_ISDIR(info.st_mode))
            listing.directories.push_back(name);
    }
    closedir(dir);
    return listing;
}

int MakeDirectory(const char* path) {
    std::string native = NativePath(path);
    return mkdir(native.c_str(), 0777);
}

int FileAccess(const char* path, int mode) {
    std::string native = NativePath(path);
    return access(native.c_str(), mode);
}

size_t WriteGeneratedText(FILE* stream, const char* text, size_t length) {
    // Written piecewise so that every "\n" goes out as "\r\n", as a Windows
    // text-mode stream would write it. The result counts the caller's bytes.
    if (GeneratedWriteFaultStrikes())
        return 0;
    size_t done = 0;
    while (done < length) {
        size_t end = done;
        while (end < length && text[end] != '\n')
            ++end;
        size_t chunk = end - done;
        if (chunk > 0) {
            size_t written = std::fwrite(text + done, 1, chunk, stream);
            done += written;
            if (written < chunk)
                return done;
        }
        if (end < length) {
            if (std::fwrite("\r\n", 1, 2, stream) < 2)
                return done;
            ++done;
        }
    }
    return done;
}


}  // namespace tavplat
