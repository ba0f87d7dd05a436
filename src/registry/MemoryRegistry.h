// An in-memory HKEY_LOCAL_MACHINE, loaded from .reg files (REGEDIT4 or
// "Windows Registry Editor Version 5.00"), that answers as the Win32 registry does.
#ifndef TAV_REGISTRY_MEMORYREGISTRY_H
#define TAV_REGISTRY_MEMORYREGISTRY_H

#include "platform/RegistryReader.h"

#include <memory>
#include <string>
#include <vector>

namespace tavreg {

// Registry value types, as the Win32 constants.
constexpr uint32_t VALUE_NONE = 0, VALUE_SZ = 1, VALUE_EXPAND_SZ = 2, VALUE_BINARY = 3,
                   VALUE_DWORD = 4, VALUE_MULTI_SZ = 7;

// What loading a snapshot gave: a line naming the file, the line, what is
// wrong and what was left out for each faulty line passed over; and, when the
// file is not a registry export or cannot be read, one such line saying why.
struct [[nodiscard]] LoadResult {
    std::string error;  // empty when the file was read to its end
    std::vector<std::string> warnings;

    bool Ok() const { return error.empty(); }
};

class MemoryRegistry : public tavplat::RegistryReader {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;

    // Loads a .reg file into the registry, as far as the Registry Editor would
    // import it: a faulty line is skipped with a warning. Keys read before a
    // fault that refuses the file stay.
    LoadResult LoadFile(const std::string& path);
    // The same for a file's bytes, name standing for the file in the lines.
    LoadResult LoadText(const std::string& bytes, const std::string& name);

    // Direct edits, for tests and tools. Paths are below HKEY_LOCAL_MACHINE.
    void CreateKey(const std::string& path);
    void SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                  const std::vector<unsigned char>& data);
    void SetString(const std::string& keyPath, const std::string& name, const std::string& text);
    void DeleteKey(const std::string& path);
    void DeleteValue(const std::string& keyPath, const std::string& name);

    std::unique_ptr<tavplat::RegistryKey> OpenKey(const char* path, unsigned access,
                                                  long* error = nullptr) override;
    // When the snapshot holds Software\Wow6432Node, the 32-bit view of a 64-bit machine.
    bool HasTwoViews() override;
    std::unique_ptr<tavplat::RegistryReader> ConnectRemote(const char* machine, long* error) override;

    struct Node;

private:
    std::unique_ptr<Node> root_;
};

}  // namespace tavreg

#endif
