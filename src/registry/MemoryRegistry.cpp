// The in-memory registry's readers: open keys, the local view, and MemoryRegistry itself.
#include "registry/MemoryRegistry.h"

#include "registry/KeyTree.h"
#include "registry/RegFile.h"
#include "text/Text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace tavreg {

using namespace detail;
using tavplat::KEY_ENUM_SUB_KEYS;
using tavplat::KEY_QUERY;
using tavplat::KEY_WOW64_32;
using tavplat::REG_ACCESS_DENIED;
using tavplat::REG_BAD_NETPATH;
using tavplat::REG_BAD_PATHNAME;
using tavplat::REG_FILE_NOT_FOUND;
using tavplat::REG_KEY_DELETED;
using tavplat::REG_MORE_DATA;
using tavplat::REG_NO_MORE_ITEMS;
using tavplat::REG_OK;
using tavplat::RegistryKey;
using tavplat::RegistryReader;

namespace {

constexpr long REG_INVALID_PARAMETER = 87;

// Copies data out as RegEnumValueA and RegQueryValueExA do: the whole of it or
// REG_MORE_DATA with the size needed. Unterminated string data gets a NUL after
// it when there is room, as the "A" functions add one.
long CopyData(const Value& value, unsigned char* data, uint32_t* dataLength) {
    RegText stored = value.Data();
    auto length = static_cast<uint32_t>(stored.Units());  // a byte a unit once converted
    if (data && !dataLength) return REG_INVALID_PARAMETER;
    long result = REG_OK;
    if (data) {
        if (length > *dataLength) {
            result = REG_MORE_DATA;
        } else {
            CopyAnsi(stored, length, reinterpret_cast<char*>(data));
            if (IsStringType(value.type) && length && length < *dataLength && data[length - 1] != 0)
                data[length] = 0;
        }
    }
    if (dataLength) *dataLength = length;
    return result;
}

class MemoryKey final : public RegistryKey {
public:
    MemoryKey(std::shared_ptr<Tree> tree, KeyNode* node, unsigned access)
        : tree_(std::move(tree)), node_(node), access_(access) {}

    long EnumValue(uint32_t index, char* name, uint32_t* nameLength, unsigned char* data,
                   uint32_t* dataLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_QUERY)) return REG_ACCESS_DENIED;
        if (!name || !nameLength) return REG_INVALID_PARAMETER;
        if (index >= node_->values.size()) return REG_NO_MORE_ITEMS;
        const Value& value = node_->values[index];
        long result = CopyData(value, data, dataLength);
        if (result != REG_OK) return result;
        return CopyName(value.Name(), name, nameLength, true);
    }

    long EnumKey(uint32_t index, char* name, uint32_t* nameLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_ENUM_SUB_KEYS)) return REG_ACCESS_DENIED;
        if (!name || !nameLength) return REG_INVALID_PARAMETER;
        node_->SortChildren();
        if (index >= node_->children.size()) return REG_NO_MORE_ITEMS;
        return CopyName(node_->children[index]->Name(), name, nameLength, false);
    }

    long QueryValue(const char* name, unsigned char* data, uint32_t* dataLength) override {
        if (node_->deleted) return REG_KEY_DELETED;
        if (!(access_ & KEY_QUERY)) return REG_ACCESS_DENIED;
        const Value* value = node_->FindValue(RegText{name ? name : ""});
        if (!value) return REG_FILE_NOT_FOUND;
        return CopyData(*value, data, dataLength);
    }

private:
    // The capacity counts the NUL. A value name that does not fit is copied
    // cut short, as RegEnumValueA leaves it; a key name is not copied.
    static long CopyName(RegText text, char* name, uint32_t* nameLength, bool copyCut) {
        uint32_t capacity = *nameLength;
        size_t units = text.Units();
        if (units >= capacity) {
            if (copyCut && capacity) {
                CopyAnsi(text, capacity - 1, name);
                name[capacity - 1] = 0;
            }
            return REG_MORE_DATA;
        }
        CopyAnsi(text, units, name);
        name[units] = 0;
        *nameLength = static_cast<uint32_t>(units);
        return REG_OK;
    }

    std::shared_ptr<Tree> tree_;  // keeps node_ alive
    KeyNode* node_;
    unsigned access_;
};

// ---- the two views of HKEY_LOCAL_MACHINE\Software ----------------------------------
//
// An export of a 64-bit machine holds the 32-bit view of HKLM\Software under
// Software\Wow6432Node. Opened with KEY_WOW64_32, a path below Software is
// read there, as the registry redirects it; other paths, paths that name
// Wow6432Node themselves and every path opened otherwise are read as written.
// The few keys below Software that Windows shares between the views are not
// told apart: their 32-bit view is what the export holds under Wow6432Node.
// A snapshot without Wow6432Node has one view, and the flag changes nothing,
// as on 32-bit Windows.

const char* const WOW64_KEY = "Software\\Wow6432Node";

bool HoldsTwoViews(Tree& tree) {
    return FindPath(tree, RegText{WOW64_KEY}) != nullptr;
}

std::string PathInView(Tree& tree, std::string_view path, unsigned access) {
    if (!(access & KEY_WOW64_32) || !HoldsTwoViews(tree)) return std::string(path);
    const size_t slash = path.find('\\');
    if (!tavtext::EqualsIgnoringCase(path.substr(0, slash), "Software")) return std::string(path);
    if (slash == std::string_view::npos) return WOW64_KEY;
    const std::string_view rest = path.substr(slash + 1);
    const std::string_view below = tavtext::TrimLeft(rest, "\\");  // doubled backslashes count as one
    if (tavtext::EqualsIgnoringCase(below.substr(0, below.find('\\')), "Wow6432Node")) return std::string(path);
    return std::string(WOW64_KEY) + "\\" + std::string(rest);
}

std::unique_ptr<RegistryKey> OpenBelow(const std::shared_ptr<Tree>& tree, const char* path, unsigned access,
                                       long* error) {
    const std::string viewPath = PathInView(*tree, path ? path : "", access);
    std::string_view rest = viewPath;
    long code = REG_OK;
    KeyNode* node = nullptr;
    if (!rest.empty() && rest.front() == '\\')
        code = REG_BAD_PATHNAME;
    else if (!(node = FindPath(*tree, RegText{rest})))
        code = REG_FILE_NOT_FOUND;
    if (error) *error = code;
    if (code != REG_OK) return nullptr;
    return std::make_unique<MemoryKey>(tree, node, access);
}

long RefuseRemote(const char* machine) {
    return (machine && *machine) ? REG_BAD_NETPATH : REG_OK;
}

// The local registry reached through ConnectRemote with no machine name.
class LocalView final : public RegistryReader {
public:
    explicit LocalView(std::shared_ptr<Tree> tree) : tree_(std::move(tree)) {}
    std::unique_ptr<RegistryKey> OpenKey(const char* path, unsigned access, long* error) override {
        return OpenBelow(tree_, path, access, error);
    }
    bool HasTwoViews() override { return HoldsTwoViews(*tree_); }
    std::unique_ptr<RegistryReader> ConnectRemote(const char* machine, long* error) override {
        long code = RefuseRemote(machine);
        if (error) *error = code;
        return code == REG_OK ? std::make_unique<LocalView>(tree_) : nullptr;
    }

private:
    std::shared_ptr<Tree> tree_;
};

}  // namespace

struct MemoryRegistry::Node {
    std::shared_ptr<Tree> tree = std::make_shared<Tree>();
};

MemoryRegistry::MemoryRegistry() : root_(std::make_unique<Node>()) {}
MemoryRegistry::~MemoryRegistry() = default;

LoadResult MemoryRegistry::LoadFile(const std::string& path) {
    // Snapshot paths are the host's own, not Windows paths inside the system.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return LoadResult{path + ": cannot open: " + std::strerror(errno), {}};
    RegFileParser parser(*root_->tree, path);
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got > 0 && !parser.Feed(buffer.data(), got)) {
            ok = false;
            break;
        }
        if (got < buffer.size()) break;
    }
    bool readFault = std::ferror(file) != 0;
    std::fclose(file);
    LoadResult result;
    if (!ok)
        result.error = parser.Error();
    else if (readFault)
        result.error = path + ": read error";
    else if (!parser.Finish())
        result.error = parser.Error();
    result.warnings = parser.TakeWarnings();
    return result;
}

LoadResult MemoryRegistry::LoadText(const std::string& bytes, const std::string& name) {
    RegFileParser parser(*root_->tree, name);
    LoadResult result;
    if (!parser.Feed(bytes.data(), bytes.size()) || !parser.Finish()) result.error = parser.Error();
    result.warnings = parser.TakeWarnings();
    return result;
}

// The edits take ANSI text, as the "A" functions do.
void MemoryRegistry::CreateKey(const std::string& path) { CreatePath(*root_->tree, RegText{path}); }

void MemoryRegistry::SetValue(const std::string& keyPath, const std::string& name, uint32_t type,
                              const std::vector<unsigned char>& data) {
    if (KeyNode* key = CreatePath(*root_->tree, RegText{keyPath}))
        key->SetValue(root_->tree->arena, RegText{name}, type,
                      RegText{std::string_view(reinterpret_cast<const char*>(data.data()), data.size())});
}

void MemoryRegistry::SetString(const std::string& keyPath, const std::string& name, const std::string& text) {
    if (KeyNode* key = CreatePath(*root_->tree, RegText{keyPath}))
        key->SetValue(root_->tree->arena, RegText{name}, VALUE_SZ, RegText{std::string_view(text.c_str(), text.size() + 1)});
}

void MemoryRegistry::DeleteKey(const std::string& path) { DeletePath(*root_->tree, RegText{path}); }

void MemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    if (KeyNode* key = FindPath(*root_->tree, RegText{keyPath})) key->RemoveValue(RegText{name});
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(const char* path, unsigned access, long* error) {
    return OpenBelow(root_->tree, path, access, error);
}

bool MemoryRegistry::HasTwoViews() {
    return HoldsTwoViews(*root_->tree);
}

std::unique_ptr<RegistryReader> MemoryRegistry::ConnectRemote(const char* machine, long* error) {
    long code = RefuseRemote(machine);
    if (error) *error = code;
    return code == REG_OK ? std::make_unique<LocalView>(root_->tree) : nullptr;
}

}  // namespace tavreg
