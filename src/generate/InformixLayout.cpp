// The Informix agents' files: the start-up batch file, and the lines of the
// agent configuration file that are the family's own.
#include "generate/FamilyLayouts.h"

#include <string>

#include "text/Text.h"

namespace tavgen {

using tavtext::Format;

void WriteInformixBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const BatchValues v = BatchValuesOf(e);
    p.WriteGenerated(GeneratedFile::Batch,
                     "\n"
                     "REM BATCH FOR STARTING UP TUI AGENT\n"
                     "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
                     "\n"
                     "SET VELTRA_HOME=%s\n"
                     "SET TNC_PORTS=(2 135 %s)\n"
                     "SET INFORMIXDIR=%s\n"
                     "SET INFORMIXSERVER=%s\n"
                     "SET ONCONFIG=onconfig\n"
                     "SET INFORMIXSQLHOSTS=\\\\%s\n"
                     "SET COLL_ERRORLOG=%s\n"
                     "SET INST=%s\n"
                     "SET COLL_LOGON=%s\n"
                     "SET COLL_PASSWORD=%s\n"
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
                     "SET COLL_VERSION=TUI\n"
                     "\n"
                     "REM START COLLECTOR and AGENT\n"
                     "START /MIN %sCOLL -console \n"
                     "START /MIN TUIAGENT -console -hkey \"TUI\\301\\%s\"\n",
                     r.etc.c_str(), r.port.c_str(), v.home.c_str(), v.name.c_str(), r.computer.c_str(),
                     v.errorlog.c_str(), v.name.c_str(), v.login.c_str(), v.password.c_str(), r.bin.c_str(),
                     r.log.c_str(), CollectorFor(p, "TUI"), v.name_in_quotes.c_str());
}

AgentFileLines InformixAgentLines(const CConfigurationWriter& writer, const CMonitoredServer& e) {
    AgentFileLines lines;
    lines.version = "COLL_VERSION=TUI\n";
    lines.prefix = "\\TEMP";
    lines.database = Format("INFORMIXDIR=%s\n"
                            "INFORMIXSERVER=%s\n"
                            "ONCONFIG=onconfig\n"
                            "INFORMIXSQLHOSTS=\\\\%s\n"
                            "DELMA_PRODUCT=AFF_ALL_INFORMIX\n",
                            e.GetDollarServer().c_str(), e.GetServerName().c_str(),
                            writer.Params().GetComputerName().c_str());
    lines.collector = "TUI";
    return lines;
}

}  // namespace tavgen
