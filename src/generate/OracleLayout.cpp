// The Oracle agents' files: the start-up batch file, and the lines of the
// agent configuration file that are the family's own.
#include "generate/FamilyLayouts.h"

#include <string>

#include "text/Text.h"

namespace tavgen {

using tavtext::Format;

namespace {

// 8.1.x runs the TU8 programs, 9.x the TU9 ones, the rest TUO.
const char* OracleVersionCode(const std::string& version) {
    if (version.compare(0, 3, "8.1") == 0) return "TU8";
    if (!version.empty() && version[0] == '9') return "TU9";
    return "TUO";
}

}  // namespace

void WriteOracleBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const BatchValues v = BatchValuesOf(e);
    const char* version = OracleVersionCode(e.GetServerVersion());
    p.WriteGenerated(GeneratedFile::Batch,
                     "\n"
                     "REM BATCH FOR STARTING UP TUO AGENT\n"
                     "REM MODIFY THESE ENVIRONMENT VARIABLES\n"
                     "\n"
                     "SET VELTRA_HOME=%s\n"
                     "SET TNC_PORTS=(2 135 %s)\n"
                     "SET ORACLE_HOME=%s\n"
                     "SET ORACLE_SID=%s\n"
                     "SET COLL_DBHOME=%s\n"
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
                     "SET COLL_VERSION=%s\n"
                     "SET DELMA_PRODUCT=AFF_ALL_ORACLE\n"
                     "SET PATH=%s\\bin;%%PATH%%\n"
                     "\n"
                     "REM START COLLECTOR and AGENT\n"
                     "START /MIN %sCOLL -console \n"
                     "START /MIN TUOAGENT -console -hkey \"TUO\\301\\%s\"\n",
                     r.etc.c_str(), r.port.c_str(), v.home.c_str(), v.name.c_str(), v.home.c_str(),
                     v.errorlog.c_str(), v.name.c_str(), v.login.c_str(), v.password.c_str(), r.bin.c_str(),
                     r.log.c_str(), version, v.home.c_str(), CollectorFor(p, version), v.name_in_quotes.c_str());
}

AgentFileLines OracleAgentLines(const CConfigurationWriter&, const CMonitoredServer& e) {
    const std::string home = e.GetDollarServer(), name = e.GetServerName();
    const char* version = OracleVersionCode(e.GetServerVersion());
    AgentFileLines lines;
    lines.version = Format("COLL_VERSION=%s\n", version);
    lines.database = Format("ORACLE_HOME=%s\n"
                            "ORACLE_SID=%s\n"
                            "COLL_DBHOME=%s\n"
                            "DELMA_PRODUCT=AFF_ALL_ORACLE\n",
                            home.c_str(), name.c_str(), home.c_str());
    // The collector runs the programs of the server's release.
    lines.collector = version;
    return lines;
}

}  // namespace tavgen
