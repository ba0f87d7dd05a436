// In-memory implementations of the dialog view interfaces: list boxes that
// keep their items sorted as the system's sorted list box does, buttons that
// remember their state and edit fields that hold text. The answers-file view
// and the console view drive the dialog handlers through them.
#ifndef TAV_VIEWS_MEMORYVIEW_H
#define TAV_VIEWS_MEMORYVIEW_H

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include "dialogs/DialogView.h"

namespace tavview {

class MemoryListControl : public tavplat::ListBox {
public:
    explicit MemoryListControl(bool multipleSelection) : multiple_(multipleSelection) {}

    int GetCurSel() override { return current_; }
    void* GetItemData(int index) override;
    int AddString(const std::string& text) override;
    void SetItemData(int index, void* data) override;
    void DeleteString(int index) override;
    std::string GetText(int index) override;
    int GetCount() override { return static_cast<int>(items_.size()); }
    void SelectStringPrefix(const std::string& text) override;

    // What a click on an item does: makes it the current item (-1: none).
    void SetCurSel(int index);
    // The first item whose text equals the text ignoring case, or -1.
    int FindExact(const std::string& text) const;
    // The item that refers to data, or -1.
    int FindData(const void* data) const;

private:
    // An item's place: its text in lower case, which orders the list as
    // CompareIgnoringCase does, then, among equal texts, the order of adding,
    // as a sorted list box puts a new item after those that sort equal to it.
    struct Key {
        std::string folded;
        uint64_t serial = 0;
    };
    struct KeyOrder {
        bool operator()(const Key& a, const Key& b) const;
    };
    struct Item {
        std::string text;
        void* data = nullptr;
    };
    // The items by place. The tree counts the items below each node, so that
    // an item is reached by its index and an index found from an item in
    // logarithmic time: thousands of servers are moved one by one between
    // the lists.
    using Items = __gnu_pbds::tree<Key, Item, KeyOrder, __gnu_pbds::rb_tree_tag,
                                   __gnu_pbds::tree_order_statistics_node_update>;

    bool ValidIndex(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }
    void IndexData(const void* data, const Key& key);
    void UnindexData(const void* data, const Key& key);

    bool multiple_;
    int current_ = -1;
    uint64_t next_serial_ = 0;
    Items items_;
    // The places of the items that refer to each pointer, first place first.
    std::unordered_map<const void*, std::set<Key, KeyOrder>> by_data_;
};

// The six edit fields of the properties dialog, its message boxes and its end.
class MemoryPropertiesView : public IPropertiesView {
public:
    void SetControlText(int id, const std::string& text) override { controls_[id] = text; }
    std::string GetControlText(int id) override;
    void MessageBox(const std::string& text) override;
    void EndDialog(int result) override;

    // Called with the text of each message box as it is shown.
    void SetMessageHandler(std::function<void(const std::string&)> handler) {
        on_message_ = std::move(handler);
    }
    bool Ended() const { return ended_; }
    int Result() const { return result_; }
    const std::vector<std::string>& Messages() const { return messages_; }
    void ClearMessages() { messages_.clear(); }

private:
    std::map<int, std::string> controls_;
    std::vector<std::string> messages_;
    std::function<void(const std::string&)> on_message_;
    bool ended_ = false;
    int result_ = 0;
};

// The selection dialog's two lists and four buttons. How the properties
// dialog is run is left to the view that derives from this one.
class MemorySelectView : public ISelectView {
public:
    MemorySelectView();

    tavplat::ListBox& List(int id) override;
    void EnableButton(int id, bool enable) override { enabled_[id] = enable; }
    void SetFocusToDialog() override {}
    void MessageBox(const std::string& text) override {
        messages_.push_back(text);
        if (on_message_) on_message_(text);
    }
    void SetServiceText(const std::string& text) override { service_text_ = text; }

    // Called with the text of each message box as it is shown.
    void SetMessageHandler(std::function<void(const std::string&)> handler) {
        on_message_ = std::move(handler);
    }
    const std::vector<std::string>& Messages() const { return messages_; }

    MemoryListControl& Monitor() { return monitor_; }
    MemoryListControl& Available() { return available_; }
    bool IsButtonEnabled(int id) const;
    const std::string& ServiceText() const { return service_text_; }

private:
    MemoryListControl monitor_{true};     // multiple selection
    MemoryListControl available_{false};  // single selection
    std::map<int, bool> enabled_;
    std::string service_text_;
    std::vector<std::string> messages_;
    std::function<void(const std::string&)> on_message_;
};

}  // namespace tavview

#endif
