// The monitored set: entries kept in adding order per family, and a hash of
// their describing texts, so that a lookup costs the same however many
// servers are chosen.
#include "monitor/MonitoredSet.h"

#include <algorithm>

// ---- CMonitoredServer --------------------------------------------------------

void CMonitoredServer::AssignFromServer(const CServerFields& server) {
    static_cast<CServerFields&>(*this) = server;
    TextsChanged(true);
    login.clear();
    password.clear();
}

void CMonitoredServer::TextsChanged(bool /*name*/) {
    if (!owner_) return;
    owner_->Unfile(*this);
    owner_->File(*this);
}

// ---- CMonitoredSet -------------------------------------------------------------

CMonitoredSet::~CMonitoredSet() {
    // The entries of a family go in the reverse order of their adding.
    for (Slot& slot : slots_)
        while (!slot.entries.empty()) slot.entries.pop_back();
}

// The five texts, each behind its length: no two different sets of texts
// give the same key, whatever characters they hold.
std::string CMonitoredSet::KeyOf(const CServerFields& texts) {
    std::string key;
    for (const std::string& text : {texts.GetServerName(), texts.GetServiceName(), texts.GetErrorlogName(),
                                    texts.GetDollarServer(), texts.GetServerVersion()}) {
        key += std::to_string(text.size());
        key += ':';
        key += text;
    }
    return key;
}

void CMonitoredSet::File(CMonitoredServer& entry) {
    entry.filed_key_ = KeyOf(entry);
    std::vector<CMonitoredServer*>& same = slots_[entry.slot_].by_texts[entry.filed_key_];
    same.insert(std::upper_bound(same.begin(), same.end(), &entry,
                                 [](const CMonitoredServer* a, const CMonitoredServer* b) {
                                     return a->serial_ < b->serial_;
                                 }),
                &entry);
}

void CMonitoredSet::Unfile(CMonitoredServer& entry) {
    auto& byTexts = slots_[entry.slot_].by_texts;
    // Under the texts it was filed with: they may have changed since.
    const auto bucket = byTexts.find(entry.filed_key_);
    if (bucket == byTexts.end()) return;
    std::vector<CMonitoredServer*>& same = bucket->second;
    same.erase(std::remove(same.begin(), same.end(), &entry), same.end());
    if (same.empty()) byTexts.erase(bucket);
}

CMonitoredServer* CMonitoredSet::Add(std::unique_ptr<CMonitoredServer> entry, Family family) {
    if (!entry || !IsFamilySlot(family)) return nullptr;
    CMonitoredServer* added = entry.get();
    added->owner_ = this;
    added->slot_ = SlotOf(family);
    added->serial_ = next_serial_++;
    slots_[added->slot_].entries.push_back(std::move(entry));
    File(*added);
    return added;
}

void CMonitoredSet::Remove(CMonitoredServer* entry, Family family) {
    if (!entry || !IsFamilySlot(family) || entry->owner_ != this || entry->slot_ != SlotOf(family)) return;
    auto& entries = slots_[entry->slot_].entries;
    // The sequence is in adding order, so the entry is found by its serial.
    const auto found = std::lower_bound(entries.begin(), entries.end(), entry->serial_,
                                        [](const std::unique_ptr<CMonitoredServer>& held, uint64_t serial) {
                                            return held->serial_ < serial;
                                        });
    if (found == entries.end() || found->get() != entry) return;
    Unfile(*entry);
    entries.erase(found);
}

CMonitoredServer* CMonitoredSet::Find(const CServerFields* server, Family family) const {
    if (!server || !IsFamilySlot(family)) return nullptr;
    const auto& byTexts = slots_[SlotOf(family)].by_texts;
    const auto bucket = byTexts.find(KeyOf(*server));
    return bucket == byTexts.end() ? nullptr : bucket->second.front();
}

int CMonitoredSet::Count(Family family) const {
    if (!IsFamilySlot(family)) return 0;
    return static_cast<int>(slots_[SlotOf(family)].entries.size());
}

CMonitoredServer* CMonitoredSet::At(int index, Family family) const {
    if (index < 0 || index >= Count(family)) return nullptr;
    return slots_[SlotOf(family)].entries[static_cast<size_t>(index)].get();
}
