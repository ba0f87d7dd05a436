// The install-parameter table: install parameters, the monitored set and the
// writers of the include, batch and agent configuration files.
#include "generate/tavixdcl.h"

#include <algorithm>

// ---- CMonitoredServer --------------------------------------------------------

void CMonitoredServer::AssignFromServer(const CDbServer& server) {
    server_family = server.GetServerFamily();
    server_name = server.GetServerName();
    service_name = server.GetServiceName();
    errorlog_name = server.GetErrorlogName();
    dollar_server = server.GetDollarServer();
    server_version = server.GetServerVersion();
    cluster_server = server.GetClusterServer();
    login.clear();
    password.clear();
}

// ---- construction ------------------------------------------------------------

// The common collector is written only where the driver decides for it; with
// 0 as the start an absent "tavcoll.exe" is never named in the agents' files.
CInstallParams::CInstallParams() : use_common_collector(0) {}

CInstallParams::~CInstallParams() {
    for (auto& sequence : monitored_) {
        for (auto it = sequence.rbegin(); it != sequence.rend(); ++it) delete *it;
        sequence.clear();
    }
}

// ---- the monitored set ---------------------------------------------------------

static bool IsFamilySlot(int family) { return family >= 0 && family < FAMILY_SLOTS; }

void CInstallParams::AddMonitored(CMonitoredServer* entry, int family) {
    if (!entry) return;
    if (!IsFamilySlot(family)) {
        // Nowhere to keep it; the set owns what it is given, so it must not leak.
        delete entry;
        return;
    }
    monitored_[family].push_back(entry);
}

void CInstallParams::RemoveMonitored(CMonitoredServer* entry, int family) {
    if (!entry || !IsFamilySlot(family)) return;
    auto& sequence = monitored_[family];
    auto found = std::find(sequence.rbegin(), sequence.rend(), entry);
    if (found == sequence.rend()) return;
    sequence.erase(std::next(found).base());
    delete entry;
}

CMonitoredServer* CInstallParams::FindMonitored(const CDbServer* server, int family) const {
    if (!server || !IsFamilySlot(family)) return nullptr;
    for (CMonitoredServer* entry : monitored_[family]) {
        if (entry->GetServerName() == server->GetServerName() &&
            entry->GetServiceName() == server->GetServiceName() &&
            entry->GetErrorlogName() == server->GetErrorlogName() &&
            entry->GetDollarServer() == server->GetDollarServer() &&
            entry->GetServerVersion() == server->GetServerVersion())
            return entry;
    }
    return nullptr;
}

int CInstallParams::GetMonitoredCount(int family) const {
    if (!IsFamilySlot(family)) return 0;
    return static_cast<int>(monitored_[family].size());
}

CMonitoredServer* CInstallParams::GetMonitoredAt(int index, int family) const {
    if (!IsFamilySlot(family) || index < 0 || index >= GetMonitoredCount(family)) return nullptr;
    return monitored_[family][static_cast<size_t>(index)];
}
