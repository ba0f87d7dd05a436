// In-memory dialog views: sorted lists, button states and edit fields.
#include "views/MemoryView.h"

#include <algorithm>

#include "text/Text.h"

namespace tavview {

void* MemoryListControl::GetItemData(int index) {
    return ValidIndex(index) ? items_[index].data : nullptr;
}

int MemoryListControl::AddString(const std::string& text) {
    // After every item that sorts before or equal to it, as a sorted list box.
    auto position = std::upper_bound(items_.begin(), items_.end(), text,
                                     [](const std::string& value, const Item& item) {
                                         return tavtext::CompareIgnoringCase(value, item.text) < 0;
                                     });
    const int index = static_cast<int>(position - items_.begin());
    items_.insert(position, Item{text, nullptr});
    if (current_ >= index)
        ++current_;
    return index;
}

void MemoryListControl::SetItemData(int index, void* data) {
    if (ValidIndex(index))
        items_[index].data = data;
}

void MemoryListControl::DeleteString(int index) {
    if (!ValidIndex(index))
        return;
    items_.erase(items_.begin() + index);
    if (current_ == index)
        current_ = -1;
    else if (current_ > index)
        --current_;
}

std::string MemoryListControl::GetText(int index) {
    return ValidIndex(index) ? items_[index].text : std::string();
}

void MemoryListControl::SelectStringPrefix(const std::string& text) {
    if (multiple_)
        return;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (tavtext::StartsWithIgnoringCase(items_[i].text, text)) {
            current_ = static_cast<int>(i);
            return;
        }
    }
}

void MemoryListControl::SetCurSel(int index) {
    current_ = ValidIndex(index) ? index : -1;
}

int MemoryListControl::FindExact(const std::string& text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (tavtext::EqualsIgnoringCase(items_[i].text, text))
            return static_cast<int>(i);
    return -1;
}

int MemoryListControl::FindData(const void* data) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].data == data)
            return static_cast<int>(i);
    return -1;
}

std::string MemoryPropertiesView::GetControlText(int id) {
    auto found = controls_.find(id);
    return found == controls_.end() ? std::string() : found->second;
}

void MemoryPropertiesView::MessageBox(const std::string& text) {
    messages_.push_back(text);
    if (on_message_)
        on_message_(text);
}

void MemoryPropertiesView::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

MemorySelectView::MemorySelectView() {
    // Template 201: "<<" and ">>" start disabled, "&New" and "&Edit" enabled.
    enabled_[IDC_ADD_TO_MONITOR] = false;
    enabled_[IDC_REMOVE_FROM_MONITOR] = false;
    enabled_[IDC_NEW_SERVER] = true;
    enabled_[IDC_EDIT_SERVER] = true;
}

tavplat::ListBox& MemorySelectView::List(int id) {
    return id == IDC_MONITOR_LIST ? static_cast<tavplat::ListBox&>(monitor_) : available_;
}

bool MemorySelectView::IsButtonEnabled(int id) const {
    auto found = enabled_.find(id);
    return found != enabled_.end() && found->second;
}

}  // namespace tavview
