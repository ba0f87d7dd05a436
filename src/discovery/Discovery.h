// The discovery of each database family: it reads the registry (and, for
// Oracle, the instances' parameter files) and files what it finds in the
// server list, after the records already there. Each family's discovery reads
// every view of the registry, the 64-bit view first (see RegistryViewPass).
// What it meets on the way is told on the report's console.
#ifndef TAV_DISCOVERY_DISCOVERY_H
#define TAV_DISCOVERY_DISCOVERY_H

#include <string>

#include "discovery/ServerList.h"
#include "platform/RegistryReader.h"
#include "report/Report.h"

using DiscoverFunction = void (*)(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report);

// The Oracle homes and their instances; afterwards each instance found reads
// its parameter file, as a setup run needs.
void DiscoverOracle(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report);
void DiscoverSybase(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report);
void DiscoverMsSql(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report);
void DiscoverInformix(CDbServerList& list, tavplat::RegistryReader& registry, CReport& report);

// The Oracle instances that only a service shows: each service named
// servicePrefix + SID whose program lies in the bin directory of a home
// discovery reads, for a SID no record has yet. Each new record takes the
// home's values as the home's own instances do, and reads its parameter file.
void DiscoverOracleServiceInstances(CDbServerList& list, tavplat::RegistryReader& registry,
                                    const std::string& servicePrefix, CReport& report);

// The instances of one Oracle home key, in the machine's own view; no
// parameter file is read for them.
void ScanOracleHome(CDbServerList& list, tavplat::RegistryReader& registry, const char* keyPath, CReport& report);
void ScanOracle10gHome(CDbServerList& list, tavplat::RegistryReader& registry, const char* keyPath,
                       CReport& report);

#endif
