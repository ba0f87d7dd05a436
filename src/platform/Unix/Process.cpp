// POSIX process service.
#include "platform/Process.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tavplat {

FILE* OpenCommandPipe(const char* command) {
    return popen(command, "r");
}

int CloseCommandPipe(FILE* pipe) {
    return pclose(pipe);
}

int RunProgram(const char* path) {
    if (path == nullptr || *path == '\0')
        return -1;
    std::string native = NativePath(path);
    std::vector<char> argument(native.begin(), native.end());
    argument.push_back('\0');
    char* argv[] = {argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, native.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    // Killed by a signal: reported as a shell reports it.
    return 128 + WTERMSIG(status);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr)
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::string SystemDriveRoot() {
    return "/";
}

int PutEnvironment(char* assignment) {
    return putenv(assignment);
}

}  // namespace tavplat
