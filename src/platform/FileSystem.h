// File system service. Paths inside the system are Windows paths with
// backslashes; this layer is the one place that turns them into what the OS
// takes. On POSIX "\" becomes "/" and a drive-qualified path ("C:\x") lands
// under the directory named by TAVNOVU_DRIVES ("<dir>/c/x"), or under "/"
// when that variable is unset.
#ifndef TAV_PLATFORM_FILESYSTEM_H
#define TAV_PLATFORM_FILESYSTEM_H

#include <cstdio>
#include <string>
#include <vector>

namespace tavplat {

[[nodiscard]] std::string NativePath(const char* path);

// The C runtime's calls on a Windows path; results and errno as the C runtime gives them.
[[nodiscard]] FILE* OpenFile(const char* path, const char* mode);
int RemoveFile(const char* path);          // _unlink
int RenameFile(const char* from, const char* to);
[[nodiscard]] int MakeDirectory(const char* path);         // _mkdir
[[nodiscard]] int FileAccess(const char* path, int mode);  // _access

// How a step of the file system ended: code 0, or the system's error code
// (errno, or the Windows code) and the system's text for it, one line without
// a full stop. The layer above says it to the person.
struct [[nodiscard]] FileOutcome {
    long code = 0;
    std::string why;

    bool Ok() const { return code == 0; }
};

// Puts the file from in the place of to in one step, replacing a file there:
// rename on POSIX, MoveFileExA with MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH on Windows.
FileOutcome MoveIntoPlace(const char* from, const char* to);

// Who may read a file made by CreateNewFile.
enum class FileReaders {
    AS_DIRECTORY_GIVES,  // the umask (POSIX) or the directory's inherited rights (Windows)
    OWNER_ONLY,          // 0600 whatever the umask; on Windows a protected DACL: SYSTEM and Administrators
};

// Creates a file that is not there yet and opens it with fopen's mode: never
// through a link, never over a file, link or directory of that name
// (O_CREAT|O_EXCL|O_NOFOLLOW, CREATE_NEW). Null with errno set when it cannot:
// EEXIST when something holds the name.
[[nodiscard]] FILE* CreateNewFile(const char* path, const char* mode, FileReaders readers);

// Puts what the stream holds on the disk: fflush, then fsync or
// FlushFileBuffers. 0, or -1 with errno set.
[[nodiscard]] int FlushToDisk(FILE* stream);

// Makes the renames done in a directory durable (fsync of the directory on
// POSIX; Windows moves with MOVEFILE_WRITE_THROUGH and needs nothing).
FileOutcome SyncDirectory(const char* directory);

// What a directory holds, without following links: its plain files and its
// subdirectories by name; links and anything else are left out.
struct DirectoryListing {
    std::vector<std::string> files;
    std::vector<std::string> directories;
};
[[nodiscard]] DirectoryListing ListDirectory(const char* directory);

// Writes text to a generated agent file. Lines end in CR LF on every platform,
// as a Windows text-mode stream writes them, so both builds give the same bytes.
// A result short of length is a failed write, errno telling why.
[[nodiscard]] size_t WriteGeneratedText(FILE* stream, const char* text, size_t length);

// For tests, where no disk can be filled (Wine has no RLIMIT_FSIZE): the nth
// call of WriteGeneratedText from now writes nothing and fails with error as
// errno. 0 turns it off. Nothing but a test calls it; the library never does.
void FailGeneratedWrite(int nth, int error);
// True, with errno set, when the fault strikes this call (the OS halves of
// WriteGeneratedText ask it first).
bool GeneratedWriteFaultStrikes();

}  // namespace tavplat

#endif
