// The services of discovered servers: each family's rule for a service's
// name, and the look-up that gives every record its service.
#ifndef TAV_DISCOVERY_SERVICENAMING_H
#define TAV_DISCOVERY_SERVICENAMING_H

#include <string>

#include "discovery/Family.h"
#include "discovery/ServerList.h"
#include "platform/ServiceManager.h"

// A family's service name: prefix followed by the record's service key, or
// the key alone when it is the family's bare name ("MSSQLSERVER").
struct ServiceNameRule {
    const char* prefix;
    const char* bare_name;  // null: none
};

[[nodiscard]] std::string ServiceNameOf(const ServiceNameRule& rule, const std::string& key);

// Gives each of the family's records the service its name makes, as services
// describe it, or none.
void AttachServices(CDbServerList& list, Family family, const ServiceNameRule& rule,
                    tavplat::ServiceManager& services);

// How people read a record's service: "OracleServicePROD (automatic,
// running)", or "no service".
[[nodiscard]] std::string ServiceSummary(const CDbServer& server);

#endif
