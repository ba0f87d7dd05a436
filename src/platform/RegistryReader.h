// The registry operations that discovery and the install-path lookup need, on
// HKEY_LOCAL_MACHINE. Results are Windows error codes, so the Win32 reader and
// the in-memory reader (loaded from .reg snapshots) answer alike.
#ifndef TAV_PLATFORM_REGISTRYREADER_H
#define TAV_PLATFORM_REGISTRYREADER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavplat {

// Windows error codes the readers return.
constexpr long REG_OK = 0;                  // ERROR_SUCCESS
constexpr long REG_FILE_NOT_FOUND = 2;      // ERROR_FILE_NOT_FOUND
constexpr long REG_ACCESS_DENIED = 5;       // ERROR_ACCESS_DENIED
constexpr long REG_BAD_NETPATH = 53;        // ERROR_BAD_NETPATH
constexpr long REG_MORE_DATA = 234;         // ERROR_MORE_DATA
constexpr long REG_NO_MORE_ITEMS = 259;     // ERROR_NO_MORE_ITEMS
constexpr long REG_BAD_PATHNAME = 161;      // ERROR_BAD_PATHNAME: a key path that starts with "\"
constexpr long REG_KEY_DELETED = 1018;      // ERROR_KEY_DELETED: the open key has been deleted

// Access rights, as the Win32 constants.
constexpr unsigned KEY_QUERY = 0x0001;      // KEY_QUERY_VALUE
constexpr unsigned KEY_ENUM_SUB_KEYS = 0x0008;  // KEY_ENUMERATE_SUB_KEYS
// On 64-bit Windows HKEY_LOCAL_MACHINE\Software has a 64-bit and a 32-bit view
// (the latter kept under Software\Wow6432Node); a process reads its own view
// unless one of these flags, added to the access rights, names the other.
constexpr unsigned KEY_WOW64_64 = 0x0100;   // KEY_WOW64_64KEY
constexpr unsigned KEY_WOW64_32 = 0x0200;   // KEY_WOW64_32KEY

// An open key; closed when destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // RegEnumValueA: nameLength in = capacity in characters including the NUL,
    // out = length without it; dataLength in = capacity in bytes, out = bytes
    // returned. The value type is not asked for.
    [[nodiscard]] virtual long EnumValue(uint32_t index, char* name, uint32_t* nameLength,
                                         unsigned char* data, uint32_t* dataLength) = 0;
    // RegEnumKeyExA.
    [[nodiscard]] virtual long EnumKey(uint32_t index, char* name, uint32_t* nameLength) = 0;
    // RegQueryValueExA.
    [[nodiscard]] virtual long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) = 0;
};

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // RegOpenKeyExA below HKEY_LOCAL_MACHINE. Null on failure, with the code in *error.
    [[nodiscard]] virtual std::unique_ptr<RegistryKey> OpenKey(const char* path, unsigned access,
                                                               long* error = nullptr) = 0;
    // True when the machine keeps two views of HKEY_LOCAL_MACHINE\Software, so
    // that KEY_WOW64_64 and KEY_WOW64_32 open different keys: 64-bit
    // Windows, whatever the process. With one view the flags change nothing.
    [[nodiscard]] virtual bool HasTwoViews() = 0;
    // RegConnectRegistryA to HKEY_LOCAL_MACHINE of another machine ("\\name").
    // Null on failure, with the code in *error.
    [[nodiscard]] virtual std::unique_ptr<RegistryReader> ConnectRemote(const char* machine, long* error) = 0;
};

// The system's text for a Windows error code, as FormatMessageA gives it
// (neutral language, no inserts), including its trailing line end.
[[nodiscard]] std::string SystemErrorText(long code);

// The registry of the operating system: HKEY_LOCAL_MACHINE through advapi32 on
// Windows; null on POSIX, which has none.
[[nodiscard]] std::unique_ptr<RegistryReader> OpenSystemRegistry();

}  // namespace tavplat

#endif
