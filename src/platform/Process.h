// Process service: programs, pipes, the current directory and the environment.
#ifndef TAV_PLATFORM_PROCESS_H
#define TAV_PLATFORM_PROCESS_H

#include <cstdio>
#include <optional>
#include <string>

namespace tavplat {

// Reads a command's standard output through the command interpreter (popen / _popen).
[[nodiscard]] FILE* OpenCommandPipe(const char* command);
int CloseCommandPipe(FILE* pipe);

// Starts a program directly, without a command interpreter, and waits for it.
// The path is a Windows path (mapped on POSIX). Returns the exit code, or -1
// when the program could not be started.
int RunProgram(const char* path);

// GetCurrentDirectoryA on Windows, getcwd elsewhere.
[[nodiscard]] std::string CurrentDirectory();

// The system drive's root: "%SystemDrive%\" on Windows, "/" elsewhere.
[[nodiscard]] std::string SystemDriveRoot();

// The variable's value, or nothing when it is not set. On Windows it comes from
// the process's own block, not the C runtime's copy: a host installer sets
// variables with SetEnvironmentVariable after that copy was made.
[[nodiscard]] std::optional<std::string> EnvironmentValue(const char* name);

// Hands a "name=value" buffer to the environment (_putenv / putenv). The
// buffer becomes part of the environment and must stay alive. 0 on success.
[[nodiscard]] int PutEnvironment(char* assignment);

}  // namespace tavplat

#endif
