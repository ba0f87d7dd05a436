// Each family's layouts of its agents' files, one source file per family,
// referenced from its row of the family table.
#ifndef TAV_GENERATE_FAMILYLAYOUTS_H
#define TAV_GENERATE_FAMILYLAYOUTS_H

#include "generate/ConfigurationWriter.h"
#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"

namespace tavgen {

void WriteOracleBatchLines(CConfigurationWriter& writer, const CMonitoredServer& entry, const ResolvedParameters& resolved);
void WriteSybaseBatchLines(CConfigurationWriter& writer, const CMonitoredServer& entry, const ResolvedParameters& resolved);
void WriteMsSqlBatchLines(CConfigurationWriter& writer, const CMonitoredServer& entry, const ResolvedParameters& resolved);
void WriteInformixBatchLines(CConfigurationWriter& writer, const CMonitoredServer& entry,
                             const ResolvedParameters& resolved);

AgentFileLines OracleAgentLines(const CConfigurationWriter& writer, const CMonitoredServer& entry);
AgentFileLines SybaseAgentLines(const CConfigurationWriter& writer, const CMonitoredServer& entry);
AgentFileLines MsSqlAgentLines(const CConfigurationWriter& writer, const CMonitoredServer& entry);
AgentFileLines InformixAgentLines(const CConfigurationWriter& writer, const CMonitoredServer& entry);

}  // namespace tavgen

#endif
