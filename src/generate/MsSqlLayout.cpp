// The Microsoft SQL Server agents' files: the start-up batch file, and the lines of the
// agent configuration file that are the family's own.
#include "generate/FamilyLayouts.h"

#include <optional>
#include <string>

#include "platform/Process.h"

#include "text/Text.h"
#include "machine/ComputerName.h"

namespace tavgen {

using tavtext::Format;

namespace {

// 0 for the default instance, which carries the machine's name; 1 for a
// named instance.
int IsNamedInstance(const std::string& serverName) {
    const std::optional<std::string> machine = tavmachine::ComputerName();
    if (!machine) return 1;
    return tavtext::EqualsIgnoringCase(serverName, *machine) ? 0 : 1;
}

}  // namespace

void WriteMsSqlBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const BatchValues v = BatchValuesOf(e);
    p.WriteGenerated(GeneratedFile::Batch,
                     "\n"
                     "REM BATCH FOR STARTING UP TUM AGENT\n"
                     "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
                     "\n"
                     "SET VELTRA_HOME=%s\n"
                     "SET TNC_PORTS=(2 135 %s)\n"
                     "SET MSSQL_HOME=%s\n"
                     "SET COLL_ERRORLOG=%s\n"
                     "SET INST=%s\n"
                     "SET COLL_LOGON=%s\n"
                     "SET COLL_PASSWORD=%s\n"
                     "SET COLL_CLUSTERSERVER=%s\n"
                     "SET COLL_BINPATH=%s\n"
                     "\n"
                     "REM DON'T MODIFY THE FOLLOWING\n"
                     "\n"
                     "SET COLL_SERVERID=%%INST%%\n"
                     "SET COLL_HOSTNAME=%%COMPUTERNAME%%\n"
                     "SET COLL_PREFIX=TEMP\n"
                     "SET COLL_USESHM=1\n"
                     "SET COLL_CTL_HOME=%%VELTRA_HOME%%\n"
                     "SET COLL_HOME=%s\n"
                     "SET COLL_VERSION=TUM\n"
                     "SET TUM_NAMED_INSTANCE=%d\n"
                     "\n"
                     "REM START COLLECTOR and AGENT\n"
                     "START /MIN %sCOLL -console \n"
                     "START /MIN TUMAGENT -console -hkey \"TUM\\301\\%s\"\n",
                     r.etc.c_str(), r.port.c_str(), v.home.c_str(), v.errorlog.c_str(), v.name.c_str(),
                     v.login.c_str(), v.password.c_str(), v.cluster.c_str(), r.bin.c_str(), r.log.c_str(),
                     IsNamedInstance(e.GetServerName()), CollectorFor(p, "TUM"), v.name_in_quotes.c_str());
}

AgentFileLines MsSqlAgentLines(const CConfigurationWriter&, const CMonitoredServer& e) {
    AgentFileLines lines;
    lines.version = Format("COLL_CLUSTERSERVER=%s\n"
                           "COLL_VERSION=TUM\n",
                           e.GetClusterServer().c_str());
    lines.database = Format("MSSQL_HOME=%s\n", e.GetDollarServer().c_str());
    lines.closing = Format("TUM_NAMED_INSTANCE=%d\n", IsNamedInstance(e.GetServerName()));
    lines.collector = "TUM";
    return lines;
}

}  // namespace tavgen
