// Paths through the key tree: creating, finding and deleting keys by path.
#include "registry/KeyTree.h"

namespace tavreg::detail {

KeyNode* CreatePath(Tree& tree, std::string_view path) {
    KeyNode* node = &tree.root;
    size_t depth = 0;
    bool ok = ForEachKeyName(path, [&](std::string_view name) {
        if (++depth > MAX_KEY_DEPTH || name.size() > MAX_KEY_NAME) return false;
        KeyNode* child = node->FindChild(name);
        node = child ? child : node->AddChild(tree.arena.Copy(name));
        return true;
    });
    return ok ? node : nullptr;
}

KeyNode* FindPath(Tree& tree, std::string_view path) {
    KeyNode* node = &tree.root;
    bool ok = ForEachKeyName(path, [&](std::string_view name) {
        node = node->FindChild(name);
        return node != nullptr;
    });
    return ok ? node : nullptr;
}

void DeletePath(Tree& tree, std::string_view path) {
    size_t cut = path.find_last_not_of('\\');
    if (cut == std::string_view::npos) return;  // HKEY_LOCAL_MACHINE itself stays
    path = path.substr(0, cut + 1);
    size_t slash = path.rfind('\\');
    std::string_view parentPath = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (KeyNode* parent = FindPath(tree, parentPath))
        if (auto gone = parent->DetachChild(name)) tree.deleted.push_back(std::move(gone));
}

}  // namespace tavreg::detail
