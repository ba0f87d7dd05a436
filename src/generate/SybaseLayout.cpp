// The Sybase agents' files: the start-up batch file, and the lines of the
// agent configuration file that are the family's own.
#include "generate/FamilyLayouts.h"

#include <string>

#include "text/Text.h"

namespace tavgen {

using tavtext::Format;

namespace {

// From release 12 on the client library lies in OCS-12_<minor>.
std::string SybaseOcsDirectory(const std::string& home, const std::string& version) {
    if (tavtext::LeadingInteger(version) < 12) return home;
    std::string minor;
    const size_t dot = version.find('.');
    if (dot == std::string::npos) minor = version.substr(0, 1);
    else if (dot + 1 < version.size()) minor = version.substr(dot + 1, 1);
    return home + "\\OCS-12_" + minor;
}

}  // namespace

void WriteSybaseBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const BatchValues v = BatchValuesOf(e);
    const std::string ocs = BatchText(SybaseOcsDirectory(e.GetDollarServer(), e.GetServerVersion()));
    p.WriteGenerated(GeneratedFile::Batch,
                     "REM BATCH FOR STARTING UP TUS AGENT\n"
                     "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
                     "\n"
                     "SET VELTRA_HOME=%s\n"
                     "SET TNC_PORTS=(2 135 %s)\n"
                     "SET INST=%s\n"
                     "SET COLL_LOGON=%s\n"
                     "SET COLL_PASSWORD=%s\n"
                     "SET COLL_BINPATH=%s\n"
                     "\n"
                     "REM DON'T MODIFY THE FOLLOWING\n"
                     "\n"
                     "SET COLL_ERRORLOG=%s\n"
                     "SET COLL_SERVERID=%%INST%%\n"
                     "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
                     "SET COLL_PREFIX=TEMP\n"
                     "SET COLL_USESHM=1\n"
                     "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
                     "SET COLL_VERSION=TUS\n"
                     "SET COLL_DBVERSION=%s\n"
                     "SET SYBASE_OCS=%s\n"
                     "SET COLL_HOME=%s\n"
                     "SET DELMA_PRODUCT=AFF_ALL_SYBASE\n"
                     "\n"
                     "REM START COLLECTOR and AGENT\n"
                     "START /MIN %sCOLL -console \n"
                     "START /MIN TUSAGENT -console -hkey \"TUS\\301\\%s\"\n",
                     r.etc.c_str(), r.port.c_str(), v.name.c_str(), v.login.c_str(), v.password.c_str(),
                     r.bin.c_str(), v.errorlog.c_str(), v.version.c_str(), ocs.c_str(), r.log.c_str(),
                     CollectorFor(p, "TUS"), v.name_in_quotes.c_str());
}

AgentFileLines SybaseAgentLines(const CConfigurationWriter&, const CMonitoredServer& e) {
    AgentFileLines lines;
    lines.home_first = true;
    lines.version = Format("COLL_VERSION=TUS\n"
                           "COLL_DBVERSION=%s\n"
                           "SYBASE_OCS=%s\n",
                           e.GetServerVersion().c_str(),
                           SybaseOcsDirectory(e.GetDollarServer(), e.GetServerVersion()).c_str());
    lines.database = "DELMA_PRODUCT=AFF_ALL_SYBASE\n";
    lines.collector = "TUS";
    return lines;
}

}  // namespace tavgen
