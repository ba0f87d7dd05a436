// Paths through the key tree: creating, finding and deleting keys by path.
#include "registry/KeyTree.h"

namespace tavreg::detail {

KeyNode* CreatePath(Tree& tree, RegText path) {
    KeyNode* node = &tree.root;
    size_t depth = 0;
    bool ok = ForEachKeyName(path, [&](RegText name) {
        if (++depth > MAX_KEY_DEPTH || name.Units() > MAX_KEY_NAME) return false;
        KeyNode* child = node->FindChild(name);
        node = child ? child : node->AddChild(tree.arena.Copy(name));
        return true;
    });
    return ok ? node : nullptr;
}

KeyNode* FindPath(Tree& tree, RegText path) {
    KeyNode* node = &tree.root;
    bool ok = ForEachKeyName(path, [&](RegText name) {
        node = node->FindChild(name);
        return node != nullptr;
    });
    return ok ? node : nullptr;
}

void DeletePath(Tree& tree, RegText path) {
    KeyNode* parent = nullptr;
    KeyNode* node = &tree.root;
    RegText last;
    bool found = ForEachKeyName(path, [&](RegText name) {
        parent = node;
        last = name;
        node = node->FindChild(name);
        return node != nullptr;
    });
    if (found && parent)  // HKEY_LOCAL_MACHINE itself stays
        if (auto gone = parent->DetachChild(last)) tree.deleted.push_back(std::move(gone));
}

}  // namespace tavreg::detail
