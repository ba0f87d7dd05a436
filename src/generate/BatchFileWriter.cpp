// The start-up batch files: one per monitored server, in its family's layout
// (OracleLayout.cpp and the like).
#include "generate/ConfigurationWriter.h"

#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"

using namespace tavgen;

void CConfigurationWriter::WriteBatchFiles(const FamilyRow& family, int count) {
    const ResolvedParameters resolved = ResolveParameters(params_);
    WriteServerFiles(family, count, {GeneratedFile::Batch, "batch", family.batch_prefix, ".bat"},
                     [&](const CMonitoredServer& entry, int, const std::string&) {
                         family.batch(*this, entry, resolved);
                     });
}
