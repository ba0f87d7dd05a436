// ReadVersion FILE...: prints what a Windows binary's version resource says, as
// Explorer's Details tab reads it (GetFileVersionInfo, VerQueryValue): the
// fixed file and product versions, then each string field, one NAME=VALUE line.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const FIELDS[] = {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                              "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};

std::string Dotted(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

// Four lower-case hex digits, as the string blocks are named.
std::string Hex4(WORD value) {
    const char* const digits = "0123456789abcdef";
    std::string text;
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
    return text;
}

bool Print(const char* file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoA(file, 0, size, data.data())) {
        std::fprintf(stderr, "%s: no version resource (error %lu)\n", file, GetLastError());
        return false;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) {
        std::fprintf(stderr, "%s: no fixed version information\n", file);
        return false;
    }
    std::printf("FixedFileVersion=%s\n", Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("FixedProductVersion=%s\n", Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    // The strings of the first language and code page the resource lists.
    struct Translation { WORD language, codePage; }* translation = nullptr;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof *translation) {
        std::fprintf(stderr, "%s: no translation table\n", file);
        return false;
    }
    const std::string block = "\\StringFileInfo\\" + Hex4(translation->language) + Hex4(translation->codePage) + "\\";
    for (const char* field : FIELDS) {
        char* value = nullptr;
        const std::string query = block + field;
        if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && length > 0)
            std::printf("%s=%s\n", field, value);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool ok = argc > 1;
    for (int i = 1; i < argc; ++i) ok = Print(argv[i]) && ok;
    return ok ? 0 : 1;
}
