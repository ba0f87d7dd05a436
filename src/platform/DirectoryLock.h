// Directory lock service: one holder at a time for a directory, through a
// lock file in it that the system lets go of when the holder ends, however
// it ends.
#ifndef TAV_PLATFORM_DIRECTORYLOCK_H
#define TAV_PLATFORM_DIRECTORYLOCK_H

#include <cstdint>
#include <string>

namespace tavplat {

// The name of the lock file in the locked directory.
inline constexpr const char LOCK_FILE_NAME[] = "tavnovu.lock";

class CDirectoryLock {
public:
    enum class Attempt {
        HELD,         // this lock holds the directory now
        BUSY,         // another holder has it: try again later
        UNAVAILABLE,  // no lock file can be made there (missing, read-only)
    };

    CDirectoryLock() = default;
    ~CDirectoryLock() { Release(); }
    CDirectoryLock(const CDirectoryLock&) = delete;
    CDirectoryLock& operator=(const CDirectoryLock&) = delete;

    // One attempt, without waiting, on the directory (a Windows path).
    Attempt TryLock(const std::string& directory);
    // Removes the lock file and lets go; nothing when not held.
    void Release();
    bool Held() const { return handle_ != NO_HANDLE; }

private:
    static constexpr std::intptr_t NO_HANDLE = -1;
    std::intptr_t handle_ = NO_HANDLE;  // a descriptor, or a HANDLE on Windows
    std::string path_;                  // the lock file, native
};

// Sleeps for the time given.
void SleepMilliseconds(int milliseconds);

}  // namespace tavplat

#endif
