// Windows process service.
#include "platform/Process.h"

#include <windows.h>

#include <io.h>
#include <cstdlib>
#include <vector>

namespace tavplat {

FILE* OpenCommandPipe(const char* command) {
    return _popen(command, "r");
}

int CloseCommandPipe(FILE* pipe) {
    return _pclose(pipe);
}

int RunProgram(const char* path) {
    if (path == nullptr || *path == '\0')
        return -1;
    // Quoted, so that a path with blanks names one program.
    std::string line = std::string("\"") + path + "\"";
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    int result = GetExitCodeProcess(process.hProcess, &exitCode) ? static_cast<int>(exitCode) : -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

std::string CurrentDirectory() {
    // The first call asks for the size; the directory may change in between, so loop.
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    while (size > 0) {
        std::vector<char> buffer(size);
        DWORD length = GetCurrentDirectoryA(size, buffer.data());
        if (length == 0)
            break;
        if (length < size)
            return std::string(buffer.data(), length);
        size = length;
    }
    return std::string();
}

std::optional<std::string> EnvironmentValue(const char* name) {
    // The first call asks for the size; another thread may change the value in between, so loop.
    SetLastError(ERROR_SUCCESS);
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    while (size > 0) {
        std::vector<char> buffer(size);
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetEnvironmentVariableA(name, buffer.data(), size);
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return std::nullopt;
        if (length < size)
            return std::string(buffer.data(), length);
        size = length;
    }
    // An empty value may also answer 0, but without this error.
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return std::nullopt;
    return std::string();
}

std::string SystemDriveRoot() {
    const std::optional<std::string> drive = EnvironmentValue("SystemDrive");
    return drive && !drive->empty() ? *drive + "\\" : "C:\\";
}

int PutEnvironment(char* assignment) {
    return _putenv(assignment);
}

}  // namespace tavplat
