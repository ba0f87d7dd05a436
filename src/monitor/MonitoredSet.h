// The monitored set: the servers chosen for monitoring, family by family, in
// the order they were chosen, found by the five texts that describe them.
#ifndef TAV_MONITOR_MONITOREDSET_H
#define TAV_MONITOR_MONITOREDSET_H

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "discovery/ServerList.h"

class CMonitoredSet;

// A server chosen for monitoring, with the account the agent logs on with.
// One typed in through "&New" carries the family Family::New.
//
// The set finds an entry by its server name, service name, error log, home
// and version. An entry in a set is filed again whenever one of them
// changes, so that an edit made through the properties dialog is seen by the
// next lookup.
class CMonitoredServer : public CServerFields {
public:
    CMonitoredServer() : CServerFields(Family::New) {}
    // An entry belongs to one set at most; a copy would carry that tie along.
    CMonitoredServer(const CMonitoredServer&) = delete;
    CMonitoredServer& operator=(const CMonitoredServer&) = delete;

    // Takes the record's family and texts; the account starts empty.
    void AssignFromServer(const CServerFields& server);

    std::string GetLogin() const { return login; }
    std::string GetPassword() const { return password; }
    void SetLogin(const char* text) { login = text ? text : ""; }
    void SetPassword(const char* text) { password = text ? text : ""; }

private:
    friend class CMonitoredSet;
    void TextsChanged(bool name) override;

    std::string login;
    std::string password;
    CMonitoredSet* owner_ = nullptr;  // the set that holds the entry, if any
    int slot_ = 0;                    // and the family it is filed under there
    uint64_t serial_ = 0;             // its place in the set's adding order
    std::string filed_key_;           // the texts it is filed under there
};

class CMonitoredSet {
public:
    CMonitoredSet() = default;
    ~CMonitoredSet();
    CMonitoredSet(const CMonitoredSet&) = delete;
    CMonitoredSet& operator=(const CMonitoredSet&) = delete;

    // The set owns its entries. Add returns the entry, or null when family is
    // not one of the set's slots (the entry is released then). Remove
    // releases an entry the set holds under family; the others keep their order.
    CMonitoredServer* Add(std::unique_ptr<CMonitoredServer> entry, Family family);
    void Remove(CMonitoredServer* entry, Family family);

    // The first entry, in adding order, of the family whose five texts equal
    // the server's, with their case; null when none does.
    CMonitoredServer* Find(const CServerFields* server, Family family) const;

    int Count(Family family) const;
    CMonitoredServer* At(int index, Family family) const;  // null outside 0..Count-1

private:
    friend class CMonitoredServer;
    static std::string KeyOf(const CServerFields& texts);
    void File(CMonitoredServer& entry);
    void Unfile(CMonitoredServer& entry);

    struct Slot {
        std::vector<std::unique_ptr<CMonitoredServer>> entries;  // in adding order
        // The entries of each key, in adding order.
        std::unordered_map<std::string, std::vector<CMonitoredServer*>> by_texts;
    };
    Slot slots_[FAMILY_SLOTS];
    uint64_t next_serial_ = 0;
};

#endif
