// Rules shared by the writers of the batch and agent configuration files:
// the parameters they carry, the collector, the paths and the names.
#ifndef TAV_GENERATE_GENERATIONRULES_H
#define TAV_GENERATE_GENERATIONRULES_H

#include <string>

#include "generate/ConfigurationWriter.h"

namespace tavgen {

// A server name names files below the configuration directory; backslashes
// make subdirectories, but nothing may lead out of it.
bool StaysInConfigurationDirectory(const std::string& name);

// The install parameters as the batch files carry them, read once per writer
// and escaped for cmd.exe.
struct ResolvedParameters {
    std::string etc, port, bin, log, computer;
};
ResolvedParameters ResolveParameters(const CInstallParams& params);

// An entry's values as a batch file carries them: escaped for cmd.exe,
// outside quotes, and the name also as it stands inside the -hkey quotes.
struct BatchValues {
    std::string name, name_in_quotes, home, errorlog, login, password, version, cluster;
};
BatchValues BatchValuesOf(const CMonitoredServer& entry);
// One more value of a batch line, outside quotes.
std::string BatchText(const std::string& value);

// The collector program the agent starts: the common one when the writer
// uses it, else the family's own.
const char* CollectorFor(const CConfigurationWriter& writer, const char* ownCollector);

// directory\<prefix><name><extension>
std::string OutputPath(const std::string& directory, const char* prefix, const std::string& name,
                       const char* extension);

// A family whose row asks for it keeps its registry in step with the files.
void RunRegcopy(const CMonitoredServer& entry);

}  // namespace tavgen

#endif
