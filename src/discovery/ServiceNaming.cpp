// The services of discovered servers.
#include "discovery/ServiceNaming.h"

#include "text/Text.h"

std::string ServiceNameOf(const ServiceNameRule& rule, const std::string& key) {
    if (rule.bare_name && tavtext::EqualsIgnoringCase(key, rule.bare_name)) return rule.bare_name;
    return std::string(rule.prefix) + key;
}

void AttachServices(CDbServerList& list, Family family, const ServiceNameRule& rule,
                    tavplat::ServiceManager& services) {
    for (int i = 0; i < list.GetCount(family); ++i) {
        CDbServer& server = *list.GetAt(i, family);
        const std::string key = server.GetServiceKey();
        if (key.empty()) continue;  // no name to make a service's of
        const std::string name = ServiceNameOf(rule, key);
        const tavplat::ServiceAnswer answer = services.Query(name);
        if (answer.kind == tavplat::ServiceAnswer::Present)
            server.SetService(ServerService{name, answer.status});
    }
}

std::string ServiceSummary(const CDbServer& server) {
    const auto& service = server.GetService();
    if (!service) return "no service";
    return service->name + " (" + tavplat::ServiceStartName(service->status.start) + ", " +
           tavplat::ServiceStateName(service->status.state) + ")";
}
