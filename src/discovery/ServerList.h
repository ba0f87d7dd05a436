// The server list: the records discovery found, filed per family in the
// order found, and looked up by name.
#ifndef TAV_DISCOVERY_SERVERLIST_H
#define TAV_DISCOVERY_SERVERLIST_H

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "discovery/Family.h"
#include "discovery/ServerRecord.h"

class CDbServerList {
public:
    CDbServerList() = default;
    ~CDbServerList();
    CDbServerList(const CDbServerList&) = delete;
    CDbServerList& operator=(const CDbServerList&) = delete;

    // Files the record under family; the list owns it. Returns the record,
    // or null when family is not one of the list's slots (the record is released).
    CDbServer* Add(std::unique_ptr<CDbServer> server, Family family);
    int GetCount(Family family) const;
    CDbServer* GetAt(int index, Family family) const;
    // The first record filed under family whose name equals name, ignoring
    // the case of ASCII letters; null for none.
    CDbServer* FindByName(Family family, const char* name) const;

private:
    // One family's records and their index by name, folded to lower case.
    // The index is rebuilt on the first look-up after a filed record is renamed.
    struct Sequence {
        std::vector<std::unique_ptr<CDbServer>> servers;
        mutable std::unordered_map<std::string, CDbServer*> by_name;
        mutable bool stale = false;
    };

    Sequence sequences_[FAMILY_SLOTS];
};

#endif
