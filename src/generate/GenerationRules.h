// Rules shared by the writers of the batch and agent configuration files:
// the families' fixed texts, the version and path rules, the names.
#ifndef TAV_GENERATE_GENERATIONRULES_H
#define TAV_GENERATE_GENERATIONRULES_H

#include <string>

#include "generate/ConfigurationWriter.h"

namespace tavgen {

// Fixed texts of one product family's agent files.
struct AgentFamily {
    Family family;
    const char* batch_prefix;   // batch file name before the server name
    const char* ini_prefix;     // configuration file name before the server name
    const char* product;        // TUO, TUS, TUM, TUI
    const char* header;         // the comment naming the initialization file
    const char* description;    // as in "Veltra <description> Monitoring Agent"
    const char* service_key;    // as in "SXA<key>Agent" and "for <key> Instance"
};

// The texts of one of the four families.
const AgentFamily& AgentFamilyOf(Family family);

// Oracle: 8.1.x runs the TU8 programs, 9.x the TU9 ones, the rest TUO.
const char* OracleVersionCode(const std::string& version);

// Sybase: from release 12 on the client library lies in OCS-12_<minor>.
std::string SybaseOcsDirectory(const std::string& home, const std::string& version);

// Microsoft SQL Server: 0 for the default instance, which carries the
// machine's name; 1 for a named instance.
int IsNamedInstance(const std::string& serverName);

// A server name names files below the configuration directory; backslashes
// make subdirectories, but nothing may lead out of it.
bool StaysInConfigurationDirectory(const std::string& name);

// The install parameters as the batch files carry them, read once per writer.
struct ResolvedParameters {
    std::string etc, port, bin, log, computer;
};
ResolvedParameters ResolveParameters(const CInstallParams& params);

// The collector program the agent starts: the common one when the writer
// uses it, else the family's own.
const char* CollectorFor(const CConfigurationWriter& writer, const char* ownCollector);

// directory\<prefix><name><extension>
std::string OutputPath(const std::string& directory, const char* prefix, const std::string& name,
                       const char* extension);

// Informix keeps its registry in step with the files.
void RunRegcopy(const CMonitoredServer& entry);

}  // namespace tavgen

#endif
