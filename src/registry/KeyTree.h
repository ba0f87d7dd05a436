// The key tree of the in-memory registry: keys, values, and paths through them.
//
// Names and string data are held in Unicode (as RegText), string data with its
// terminating NULs; the readers convert them for the "A" functions. Values keep
// the order in which they were created; sub-keys are enumerated sorted by their
// upper-cased names, as Windows keeps them.
#ifndef TAV_REGISTRY_KEYTREE_H
#define TAV_REGISTRY_KEYTREE_H

#include "registry/CodePage.h"
#include "registry/MemoryRegistry.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace tavreg::detail {

constexpr size_t MAX_KEY_DEPTH = 512;      // as deep as a Windows registry tree goes
constexpr size_t MAX_KEY_NAME = 255;       // characters in one key name

inline bool IsStringType(uint32_t type) {
    return type == VALUE_SZ || type == VALUE_EXPAND_SZ || type == VALUE_MULTI_SZ;
}

// Names and data live in large blocks owned by the tree: a snapshot holds
// millions of small texts, and one allocation each would cost more than the
// parsing. Text replaced or deleted stays in its block until the tree goes.
class TextArena {
public:
    RegText Copy(RegText text) { return RegText{Copy(text.bytes), text.wide}; }

    std::string_view Copy(std::string_view text) {
        if (text.empty()) return std::string_view();
        if (text.size() > left_) {
            size_t size = std::max(BLOCK_SIZE, text.size());
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            next_ = blocks_.back().get();
            left_ = size;
        }
        char* copy = next_;
        std::memcpy(copy, text.data(), text.size());
        next_ += text.size();
        left_ -= text.size();
        return std::string_view(copy, text.size());
    }

private:
    static constexpr size_t BLOCK_SIZE = 1 << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    size_t left_ = 0;
};

// Kept small: a snapshot holds millions. Data of other types than strings is
// never wide.
struct Value {
    Value(RegText valueName, RegText valueData, uint32_t valueType)
        : namePtr(valueName.bytes.data()), dataPtr(valueData.bytes.data()),
          nameLength(static_cast<uint32_t>(valueName.bytes.size())),
          dataLength(static_cast<uint32_t>(valueData.bytes.size())), type(valueType), nameWide(valueName.wide),
          dataWide(valueData.wide) {}

    RegText Name() const { return RegText{std::string_view(namePtr, nameLength), nameWide}; }
    RegText Data() const { return RegText{std::string_view(dataPtr, dataLength), dataWide}; }
    void SetData(RegText valueData, uint32_t valueType) {
        dataPtr = valueData.bytes.data();
        dataLength = static_cast<uint32_t>(valueData.bytes.size());
        dataWide = valueData.wide;
        type = valueType;
    }

    const char* namePtr;
    const char* dataPtr;
    uint32_t nameLength;
    uint32_t dataLength;  // in bytes
    uint32_t type;
    bool nameWide;
    bool dataWide;
};

// A hash index over the names of a vector's items, made once the vector is
// long enough for a linear search to cost. Slots hold position + 1.
class NameIndex {
public:
    static constexpr size_t LINEAR_LIMIT = 16;

    template <class Items, class NameOf>
    long Find(const Items& items, RegText name, NameOf nameOf) {
        if (items.size() <= LINEAR_LIMIT) {
            for (size_t i = 0; i < items.size(); ++i)
                if (NamesEqual(nameOf(items[i]), name)) return static_cast<long>(i);
            return -1;
        }
        if (slots_.size() < items.size() * 2) Rebuild(items, nameOf);
        size_t mask = slots_.size() - 1;
        for (size_t s = NameHash(name) & mask;; s = (s + 1) & mask) {
            uint32_t slot = slots_[s];
            if (slot == 0) return -1;
            if (NamesEqual(nameOf(items[slot - 1]), name)) return static_cast<long>(slot - 1);
        }
    }

    // After an item was appended.
    template <class Items, class NameOf>
    void Appended(const Items& items, NameOf nameOf) {
        if (slots_.empty()) return;  // made when first needed
        if (slots_.size() < items.size() * 2) {
            Rebuild(items, nameOf);
            return;
        }
        Insert(NameHash(nameOf(items.back())), static_cast<uint32_t>(items.size()));
    }

    void Invalidate() { std::vector<uint32_t>().swap(slots_); }

private:
    template <class Items, class NameOf>
    void Rebuild(const Items& items, NameOf nameOf) {
        size_t size = 64;
        while (size < items.size() * 4) size *= 2;
        slots_.assign(size, 0);
        for (size_t i = 0; i < items.size(); ++i)
            Insert(NameHash(nameOf(items[i])), static_cast<uint32_t>(i + 1));
    }

    void Insert(uint32_t hash, uint32_t slotValue) {
        size_t mask = slots_.size() - 1;
        size_t s = hash & mask;
        while (slots_[s] != 0) s = (s + 1) & mask;
        slots_[s] = slotValue;
    }

    std::vector<uint32_t> slots_;
};

struct KeyNode {
    explicit KeyNode(RegText keyName) : name(keyName.bytes), nameWide(keyName.wide) {}

    std::string_view name;
    std::vector<std::unique_ptr<KeyNode>> children;
    NameIndex childIndex;
    std::vector<Value> values;
    NameIndex valueIndex;
    bool nameWide;
    bool childrenSorted = true;
    bool deleted = false;

    RegText Name() const { return RegText{name, nameWide}; }

    long FindChildIndex(RegText childName) { return childIndex.Find(children, childName, ChildName); }

    KeyNode* FindChild(RegText childName) {
        long i = FindChildIndex(childName);
        return i < 0 ? nullptr : children[static_cast<size_t>(i)].get();
    }

    // childName lives in the tree's arena.
    KeyNode* AddChild(RegText childName) {
        if (!children.empty() && !NameSortsBefore(children.back()->Name(), childName)) childrenSorted = false;
        children.push_back(std::make_unique<KeyNode>(childName));
        childIndex.Appended(children, ChildName);
        return children.back().get();
    }

    void SortChildren() {
        if (childrenSorted) return;
        std::sort(children.begin(), children.end(),
                  [](const std::unique_ptr<KeyNode>& a, const std::unique_ptr<KeyNode>& b) {
                      return NameSortsBefore(a->Name(), b->Name());
                  });
        childIndex.Invalidate();
        childrenSorted = true;
    }

    // The sub-key leaves the tree; open handles may still point at it.
    std::unique_ptr<KeyNode> DetachChild(RegText childName) {
        long i = FindChildIndex(childName);
        if (i < 0) return nullptr;
        std::unique_ptr<KeyNode> child = std::move(children[static_cast<size_t>(i)]);
        children.erase(children.begin() + i);
        childIndex.Invalidate();
        child->MarkDeleted();
        return child;
    }

    void MarkDeleted() {
        deleted = true;
        for (auto& child : children) child->MarkDeleted();
    }

    Value* FindValue(RegText valueName) {
        long i = valueIndex.Find(values, valueName, ValueName);
        return i < 0 ? nullptr : &values[static_cast<size_t>(i)];
    }

    // A value set again keeps its place in the enumeration order.
    void SetValue(TextArena& arena, RegText valueName, uint32_t type, RegText data) {
        if (Value* existing = FindValue(valueName)) {
            existing->SetData(arena.Copy(data), type);
            return;
        }
        if (values.empty()) values.reserve(4);
        values.emplace_back(arena.Copy(valueName), arena.Copy(data), type);
        valueIndex.Appended(values, ValueName);
    }

    void RemoveValue(RegText valueName) {
        long i = valueIndex.Find(values, valueName, ValueName);
        if (i < 0) return;
        values.erase(values.begin() + i);
        valueIndex.Invalidate();
    }

    static RegText ChildName(const std::unique_ptr<KeyNode>& child) { return child->Name(); }
    static RegText ValueName(const Value& value) { return value.Name(); }
};

// HKEY_LOCAL_MACHINE with everything it holds. Open keys share it, so a key
// stays usable after its registry object is gone; deleted keys are kept aside
// for them.
struct Tree {
    TextArena arena;
    KeyNode root{RegText{"HKEY_LOCAL_MACHINE"}};
    std::vector<std::unique_ptr<KeyNode>> deleted;
};

// Splits a path below HKEY_LOCAL_MACHINE into key names; empty names (doubled
// or trailing backslashes) are passed over, as the registry does.
template <class Visit>
bool ForEachKeyName(RegText path, Visit visit) {
    const size_t width = path.wide ? 2 : 1, units = path.Units();
    size_t pos = 0;
    while (pos < units) {
        size_t end = path.wide ? pos : std::min(path.bytes.find('\\', pos), units);
        while (path.wide && end < units && path.Unit(end) != '\\') ++end;
        if (end > pos && !visit(RegText{path.bytes.substr(pos * width, (end - pos) * width), path.wide})) return false;
        pos = end + 1;
    }
    return true;
}

// The key at a path below HKEY_LOCAL_MACHINE, made with its parents where
// missing; null when the path is deeper, or a name longer, than Windows allows.
KeyNode* CreatePath(Tree& tree, RegText path);
// The key at a path; null when there is none.
KeyNode* FindPath(Tree& tree, RegText path);
// The key at a path leaves the tree for tree.deleted; HKEY_LOCAL_MACHINE stays.
void DeletePath(Tree& tree, RegText path);

}  // namespace tavreg::detail

#endif
