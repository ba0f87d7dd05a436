// The start-up batch files: one layout per family, one format line per line
// of the file; few calls keep the writer close to a plain write of the same bytes.
#include "generate/ConfigurationWriter.h"

#include "generate/GenerationRules.h"

using namespace tavgen;

namespace {

void WriteOracleBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string home = e.GetDollarServer(), name = e.GetServerName();
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
                     r.etc.c_str(), r.port.c_str(), home.c_str(), name.c_str(), home.c_str(),
                     e.GetErrorlogName().c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
                     r.bin.c_str(), r.log.c_str(), version, home.c_str(), CollectorFor(p, version), name.c_str());
}

void WriteSybaseBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName(), version = e.GetServerVersion();
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
                     r.etc.c_str(), r.port.c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
                     r.bin.c_str(), e.GetErrorlogName().c_str(), version.c_str(),
                     SybaseOcsDirectory(e.GetDollarServer(), version).c_str(), r.log.c_str(),
                     CollectorFor(p, "TUS"), name.c_str());
}

void WriteMsSqlBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName();
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
                     r.etc.c_str(), r.port.c_str(), e.GetDollarServer().c_str(), e.GetErrorlogName().c_str(),
                     name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(), e.GetClusterServer().c_str(),
                     r.bin.c_str(), r.log.c_str(), IsNamedInstance(name), CollectorFor(p, "TUM"), name.c_str());
}

void WriteInformixBatchLines(CConfigurationWriter& p, const CMonitoredServer& e, const ResolvedParameters& r) {
    const std::string name = e.GetServerName();
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
                     r.etc.c_str(), r.port.c_str(), e.GetDollarServer().c_str(), name.c_str(), r.computer.c_str(),
                     e.GetErrorlogName().c_str(), name.c_str(), e.GetLogin().c_str(), e.GetPassword().c_str(),
                     r.bin.c_str(), r.log.c_str(), CollectorFor(p, "TUI"), name.c_str());
}

void WriteBatchLines(CConfigurationWriter& p, Family family, const CMonitoredServer& e,
                     const ResolvedParameters& r) {
    switch (family) {
    case Family::Oracle: WriteOracleBatchLines(p, e, r); break;
    case Family::Sybase: WriteSybaseBatchLines(p, e, r); break;
    case Family::MsSql: WriteMsSqlBatchLines(p, e, r); break;
    case Family::Informix: WriteInformixBatchLines(p, e, r); break;
    default: break;
    }
}

}  // namespace

void CConfigurationWriter::WriteBatchFiles(Family family, int count) {
    const AgentFamily& f = AgentFamilyOf(family);
    const ResolvedParameters resolved = ResolveParameters(params_);
    WriteServerFiles(family, count, {GeneratedFile::Batch, "batch", f.batch_prefix, ".bat"},
                     [&](const CMonitoredServer& entry, int, const std::string&) {
                         WriteBatchLines(*this, family, entry, resolved);
                     });
}

void CConfigurationWriter::WriteOracleBatch(int count) { WriteBatchFiles(Family::Oracle, count); }
void CConfigurationWriter::WriteSybaseBatch(int count) { WriteBatchFiles(Family::Sybase, count); }
void CConfigurationWriter::WriteMsSqlBatch(int count) { WriteBatchFiles(Family::MsSql, count); }
void CConfigurationWriter::WriteInformixBatch(int count) { WriteBatchFiles(Family::Informix, count); }
