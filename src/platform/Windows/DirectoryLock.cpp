// Windows directory lock: the lock file opened with no sharing and deleted on
// close. The open itself is the lock: while it is held no other handle to the
// file can exist, so the file goes away with its handle (when the process
// ends too) and no waiter is ever left holding a file that was deleted.
#include "platform/DirectoryLock.h"

#include <windows.h>

namespace tavplat {

CDirectoryLock::Attempt CDirectoryLock::TryLock(const std::string& directory) {
    if (Held()) return Attempt::HELD;
    const std::string path = directory + "\\" + LOCK_FILE_NAME;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return Attempt::BUSY;
        // A file still there is one whose last holder is closing it (delete pending).
        if (error == ERROR_ACCESS_DENIED && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return Attempt::BUSY;
        return Attempt::UNAVAILABLE;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    path_ = path;
    return Attempt::HELD;
}

void CDirectoryLock::Release() {
    if (!Held()) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));  // deletes the file
    handle_ = NO_HANDLE;
    path_.clear();
}

void SleepMilliseconds(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace tavplat
