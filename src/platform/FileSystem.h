// File system service. Paths inside the system are Windows paths with
// backslashes; this layer is the one place that turns them into what the OS
// takes. On POSIX "\" becomes "/" and a drive-qualified path ("C:\x") lands
// under the directory named by TAVNOVU_DRIVES ("<dir>/c/x"), or under "/"
// when that variable is unset.
#ifndef TAV_PLATFORM_FILESYSTEM_H
#define TAV_PLATFORM_FILESYSTEM_H

#include <cstdio>
#include <string>

namespace tavplat {

std::string NativePath(const char* path);

// The C runtime's calls on a Windows path; results and errno as the C runtime gives them.
FILE* OpenFile(const char* path, const char* mode);
int RemoveFile(const char* path);          // _unlink
int RenameFile(const char* from, const char* to);
int MakeDirectory(const char* path);       // _mkdir
int FileAccess(const char* path, int mode);  // _access

// Writes text to a generated agent file. Lines end in CR LF on every platform,
// as a Windows text-mode stream writes them, so both builds give the same bytes.
size_t WriteGeneratedText(FILE* stream, const char* text, size_t length);

}  // namespace tavplat

#endif
