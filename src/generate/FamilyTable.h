// The database families, each described once: the names the installer and
// people give it, its discovery, its include file, and the layouts of its
// agents' files. Every reader finds a family here by its code.
#ifndef TAV_GENERATE_FAMILYTABLE_H
#define TAV_GENERATE_FAMILYTABLE_H

#include <array>
#include <span>
#include <string>

#include "discovery/Discovery.h"
#include "discovery/Family.h"
#include "discovery/ServiceNaming.h"
#include "platform/ServiceManager.h"

class CConfigurationWriter;
class CMonitoredServer;
namespace tavgen { struct ResolvedParameters; }

// The family's own lines of an agent configuration file, each put at its
// place among the lines every family shares.
struct AgentFileLines {
    bool home_first = false;       // VELTRA_HOME before INSTANCENAME
    std::string version;           // the lines that name the version
    const char* prefix = "TEMP";   // COLL_PREFIX
    std::string database;          // where the database lives
    std::string closing;           // after CONFIG_VERSION
    std::string collector;         // the family's own collector program
};

// A family's layouts, in its own file (OracleLayout.cpp, ...).
using BatchLayout = void (*)(CConfigurationWriter& writer, const CMonitoredServer& entry,
                             const tavgen::ResolvedParameters& resolved);
using AgentLayout = AgentFileLines (*)(const CConfigurationWriter& writer, const CMonitoredServer& entry);

// Discovery of the instances that only their services show, given the
// family's service-name prefix.
using ServiceInstanceDiscovery = void (*)(CDbServerList& list, tavplat::RegistryReader& registry,
                                          const std::string& servicePrefix, CReport& report);

struct FamilyRow {
    Family family;
    const char* keyword;                  // how reports name it: "mssql"
    const char* title;                    // how people name it: "Microsoft SQL Server"
    std::array<const char*, 3> products;  // the installer's product keywords, in lower case
    DiscoverFunction discover;
    ServiceNameRule service;              // how the family's servers' services are named
    ServiceInstanceDiscovery service_instances;  // null: the registry alone names the servers
    const char* include_file;             // lists the family's agent configuration files
    int include_exit_code;                // the process exit when it cannot be opened
    const char* batch_prefix;             // batch file name before the server name
    const char* agent_prefix;             // agent configuration file name before the server name
    const char* product;                  // TUO, TUS, TUM, TUI
    const char* header;                   // the comment naming the initialization file
    const char* description;              // as in "Veltra <description> Monitoring Agent"
    const char* service_key;              // as in "SXA<key>Agent" and "for <key> Instance"
    BatchLayout batch;
    AgentLayout agent;
    bool runs_regcopy;                    // keeps the database's registry in step with the files
};

// Every family, by code.
std::span<const FamilyRow> FamilyRows();

// The family of a code; null for a code that names none.
const FamilyRow* FamilyRowOf(Family family);

// The family a product keyword of the parameter string names ("ora", "oracle",
// "tuo", "syb", ... in lower case); Family::None for none.
Family FamilyOfProduct(const char* keyword);

// Discovery of one family as a setup run does it: the family's discovery,
// then the instances only services show, then each record's service.
void DiscoverFamily(const FamilyRow& row, CDbServerList& list, tavplat::RegistryReader& registry,
                    tavplat::ServiceManager& services, CReport& report);

// The family's title; null for a code that names no family.
const char* FamilyTitle(Family family);

#endif
