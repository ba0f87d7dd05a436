// The registry of this machine through advapi32, and the system's error texts.
#include "platform/RegistryReader.h"

#include <windows.h>

namespace tavplat {

namespace {

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(HKEY key) : key_(key) {}
    ~Win32Key() override { RegCloseKey(key_); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    long EnumValue(uint32_t index, char* name, uint32_t* nameLength, unsigned char* data,
                   uint32_t* dataLength) override {
        DWORD nameCount = nameLength ? *nameLength : 0;
        DWORD dataCount = dataLength ? *dataLength : 0;
        LONG result = RegEnumValueA(key_, index, name, nameLength ? &nameCount : nullptr, nullptr, nullptr, data,
                                    dataLength ? &dataCount : nullptr);
        if (nameLength) *nameLength = nameCount;
        if (dataLength) *dataLength = dataCount;
        return result;
    }

    long EnumKey(uint32_t index, char* name, uint32_t* nameLength) override {
        DWORD nameCount = nameLength ? *nameLength : 0;
        LONG result = RegEnumKeyExA(key_, index, name, nameLength ? &nameCount : nullptr, nullptr, nullptr,
                                    nullptr, nullptr);
        if (nameLength) *nameLength = nameCount;
        return result;
    }

    long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) override {
        DWORD dataCount = dataLength ? *dataLength : 0;
        LONG result = RegQueryValueExA(key_, name, nullptr, nullptr, data, dataLength ? &dataCount : nullptr);
        if (dataLength) *dataLength = dataCount;
        return result;
    }

private:
    HKEY key_;
};

// HKEY_LOCAL_MACHINE of this machine, or of another one reached through
// RegConnectRegistryA (that handle is closed with the reader).
class Win32Registry final : public RegistryReader {
public:
    Win32Registry(HKEY root, bool ownsRoot) : root_(root), ownsRoot_(ownsRoot) {}
    ~Win32Registry() override {
        if (ownsRoot_) RegCloseKey(root_);
    }
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    std::unique_ptr<RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        HKEY key = nullptr;
        LONG result = RegOpenKeyExA(root_, path, 0, access, &key);
        if (error) *error = result;
        if (result != ERROR_SUCCESS) return nullptr;
        return std::make_unique<Win32Key>(key);
    }

    bool HasTwoViews() override {
        if (ownsRoot_) {
            // Another machine: only 64-bit Windows keeps the 32-bit view's key.
            HKEY key = nullptr;
            if (RegOpenKeyExA(root_, "Software\\Wow6432Node", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
                ERROR_SUCCESS)
                return false;
            RegCloseKey(key);
            return true;
        }
#if defined(_WIN64)
        return true;
#else
        // A 32-bit process on 64-bit Windows runs under WOW64.
        BOOL wow64 = FALSE;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
    }

    std::unique_ptr<RegistryReader> ConnectRemote(const char* machine, long* error) override {
        HKEY remote = nullptr;
        LONG result = RegConnectRegistryA(machine, HKEY_LOCAL_MACHINE, &remote);
        if (error) *error = result;
        if (result != ERROR_SUCCESS) return nullptr;
        return std::make_unique<Win32Registry>(remote, true);
    }

private:
    HKEY root_;
    bool ownsRoot_;
};

}  // namespace

std::string SystemErrorText(long code) {
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<LPSTR>(&message), 0, nullptr);
    std::string text;
    if (length && message)
        text.assign(message, length);
    else
        text = "Unknown error " + std::to_string(code) + ".\r\n";  // the system knows no text for it
    if (message) LocalFree(message);
    return text;
}

std::unique_ptr<RegistryReader> OpenSystemRegistry() {
    return std::make_unique<Win32Registry>(HKEY_LOCAL_MACHINE, false);
}

}  // namespace tavplat
