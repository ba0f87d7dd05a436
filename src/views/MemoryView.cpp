// In-memory dialog views: sorted lists, button states and edit fields.
#include "views/MemoryView.h"

#include "text/Text.h"

namespace tavview {

// Texts in lower case compare byte by byte as CompareIgnoringCase compares
// the texts themselves; a text that only adds NUL bytes to another comes after it.
bool MemoryListControl::KeyOrder::operator()(const Key& a, const Key& b) const {
    const int order = a.folded.compare(b.folded);
    return order != 0 ? order < 0 : a.serial < b.serial;
}

void MemoryListControl::IndexData(const void* data, const Key& key) {
    by_data_[data].insert(key);
}

void MemoryListControl::UnindexData(const void* data, const Key& key) {
    const auto found = by_data_.find(data);
    if (found == by_data_.end())
        return;
    found->second.erase(key);
    if (found->second.empty())
        by_data_.erase(found);
}

void* MemoryListControl::GetItemData(int index) {
    return ValidIndex(index) ? items_.find_by_order(static_cast<size_t>(index))->second.data : nullptr;
}

int MemoryListControl::AddString(const std::string& text) {
    Key key{tavtext::LowerCase(text), next_serial_++};
    const int index = static_cast<int>(items_.order_of_key(key));
    IndexData(nullptr, key);
    items_.insert({std::move(key), Item{text, nullptr}});
    if (current_ >= index)
        ++current_;
    return index;
}

void MemoryListControl::SetItemData(int index, void* data) {
    if (!ValidIndex(index))
        return;
    const auto item = items_.find_by_order(static_cast<size_t>(index));
    UnindexData(item->second.data, item->first);
    item->second.data = data;
    IndexData(data, item->first);
}

void MemoryListControl::DeleteString(int index) {
    if (!ValidIndex(index))
        return;
    const auto item = items_.find_by_order(static_cast<size_t>(index));
    UnindexData(item->second.data, item->first);
    items_.erase(item);
    if (current_ == index)
        current_ = -1;
    else if (current_ > index)
        --current_;
}

std::string MemoryListControl::GetText(int index) {
    return ValidIndex(index) ? items_.find_by_order(static_cast<size_t>(index))->second.text : std::string();
}

// The items that begin with a text follow one another from the first place
// the text itself would take.
void MemoryListControl::SelectStringPrefix(const std::string& text) {
    if (multiple_)
        return;
    const std::string folded = tavtext::LowerCase(text);
    const auto first = items_.lower_bound(Key{folded, 0});
    if (first != items_.end() && first->first.folded.starts_with(folded))
        current_ = static_cast<int>(items_.order_of_key(first->first));
}

void MemoryListControl::SetCurSel(int index) {
    current_ = ValidIndex(index) ? index : -1;
}

int MemoryListControl::FindExact(const std::string& text) const {
    const std::string folded = tavtext::LowerCase(text);
    const auto first = items_.lower_bound(Key{folded, 0});
    if (first == items_.end() || first->first.folded != folded)
        return -1;
    return static_cast<int>(items_.order_of_key(first->first));
}

int MemoryListControl::FindData(const void* data) const {
    const auto found = by_data_.find(data);
    if (found == by_data_.end())
        return -1;
    return static_cast<int>(items_.order_of_key(*found->second.begin()));
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
