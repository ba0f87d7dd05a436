// POSIX directory lock: flock on tavnovu.lock. flock belongs to the open
// file, so two holders in one process exclude each other as two processes do.
#include "platform/DirectoryLock.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace tavplat {

namespace {

// The holder removes the file before it lets go. A waiter that had opened the
// removed file then gets a lock on a file nobody else can reach: it must
// find that the name still leads to its own file.
bool StillAtItsName(int fd, const std::string& path) {
    struct stat held, named;
    return fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

CDirectoryLock::Attempt CDirectoryLock::TryLock(const std::string& directory) {
    if (Held()) return Attempt::HELD;
    const std::string path = NativePath((directory + "\\" + LOCK_FILE_NAME).c_str());
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return Attempt::UNAVAILABLE;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK || error == EINTR ? Attempt::BUSY : Attempt::UNAVAILABLE;
    }
    if (!StillAtItsName(fd, path)) {
        close(fd);
        return Attempt::BUSY;  // the holder before has just gone: the next attempt makes a new file
    }
    handle_ = fd;
    path_ = path;
    return Attempt::HELD;
}

void CDirectoryLock::Release() {
    if (!Held()) return;
    // Removed while still held, so that no one can lock it in between.
    unlink(path_.c_str());
    close(static_cast<int>(handle_));
    handle_ = NO_HANDLE;
    path_.clear();
}

void SleepMilliseconds(int milliseconds) {
    timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace tavplat
