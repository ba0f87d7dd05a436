// The server list and its index by name.
#include "discovery/ServerList.h"

#include "text/Text.h"

CDbServerList::~CDbServerList() {
    // The records of a family go in the reverse order of their filing.
    for (Sequence& sequence : sequences_)
        while (!sequence.servers.empty())
            sequence.servers.pop_back();
}

CDbServer* CDbServerList::Add(std::unique_ptr<CDbServer> server, Family family) {
    if (server == nullptr || !IsFamilySlot(family))
        return nullptr;
    Sequence& sequence = sequences_[SlotOf(family)];
    CDbServer* record = sequence.servers.emplace_back(std::move(server)).get();
    record->filing_.stale_index = &sequence.stale;
    // An earlier record of the same name keeps its place in the index.
    if (!sequence.stale)
        sequence.by_name.emplace(tavtext::LowerCase(record->GetServerName()), record);
    return record;
}

int CDbServerList::GetCount(Family family) const {
    return IsFamilySlot(family) ? static_cast<int>(sequences_[SlotOf(family)].servers.size()) : 0;
}

CDbServer* CDbServerList::GetAt(int index, Family family) const {
    if (index < 0 || index >= GetCount(family))
        return nullptr;
    return sequences_[SlotOf(family)].servers[static_cast<size_t>(index)].get();
}

CDbServer* CDbServerList::FindByName(Family family, const char* name) const {
    if (!IsFamilySlot(family) || name == nullptr)
        return nullptr;
    const Sequence& sequence = sequences_[SlotOf(family)];
    if (sequence.stale) {
        sequence.by_name.clear();
        for (const auto& server : sequence.servers)
            sequence.by_name.emplace(tavtext::LowerCase(server->GetServerName()), server.get());
        sequence.stale = false;
    }
    const auto found = sequence.by_name.find(tavtext::LowerCase(name));
    return found == sequence.by_name.end() ? nullptr : found->second;
}
