// The generation driver: after OK the monitored set is written out family by
// family, each family's include file listing its agent configuration files.
#include "generate/ConfigurationWriter.h"

#include <string>

#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"

namespace {

struct IncludeRow {
    Family family;
    const char* include_name;
    int exit_code;  // when the include file cannot be opened
    void (CConfigurationWriter::*write_batch)(int);
    void (CConfigurationWriter::*write_ini)(int);
};

const IncludeRow INCLUDE_ROWS[] = {
    {Family::Oracle, "tuoinc.ini", 100, &CConfigurationWriter::WriteOracleBatch, &CConfigurationWriter::WriteOracleIni},
    {Family::Sybase, "tusinc.ini", 110, &CConfigurationWriter::WriteSybaseBatch, &CConfigurationWriter::WriteSybaseIni},
    {Family::MsSql, "tuminc.ini", 110, &CConfigurationWriter::WriteMsSqlBatch, &CConfigurationWriter::WriteMsSqlIni},
    {Family::Informix, "tuiinc.ini", 110, &CConfigurationWriter::WriteInformixBatch,
     &CConfigurationWriter::WriteInformixIni},
};

const IncludeRow* IncludeRowOf(Family family) {
    for (const IncludeRow& row : INCLUDE_ROWS)
        if (row.family == family) return &row;
    return nullptr;
}

}  // namespace

CConfigurationWriter::CConfigurationWriter(const CInstallParams& params, const CMonitoredSet& monitored,
                                           CReport& report)
    : params_(params), monitored_(monitored), report_(report) {}

void CConfigurationWriter::ChooseCollector() {
    const std::string commonCollector = params_.GetBinPath(PARAM_RESOLVED) + "\\tavcoll.exe";
    if (tavplat::FileAccess(commonCollector.c_str(), 0) == 0) common_collector_ = false;
}

int CConfigurationWriter::WriteFamilyFiles(Family family, int count) {
    const IncludeRow* row = IncludeRowOf(family);
    if (!row) return 0;
    const std::string includePath = params_.GetEtcPath(PARAM_RESOLVED) + "\\" + row->include_name;
    include_file_ = staged_.Open(includePath, "w");
    if (include_file_ < 0) {
        Tell("Can't open '%s' for write\n", includePath.c_str());
        return row->exit_code;
    }
    WriteGenerated(GeneratedFile::Include, "\n");
    WriteGenerated(GeneratedFile::Include, "[Include]\n");
    (this->*row->write_batch)(count);
    (this->*row->write_ini)(count);
    // The include file goes in place after its family's files: it never
    // names a configuration file that is not there yet.
    const int include = include_file_;
    if (staged_.Close(include_file_)) pending_.push_back({std::string(), include});
    return 0;
}

GenerationResult CConfigurationWriter::GenerateConfiguration() {
    ChooseCollector();
    const std::string settings = ReadLocalSettings();
    generation_settings_ = &settings;
    BeginStaging();
    int exitCode = 0;
    for (int slot = 0; slot < FAMILY_SLOTS && exitCode == 0 && !staged_.Failed(); ++slot) {
        const Family family = FamilyAtSlot(slot);
        const int count = monitored_.Count(family);
        if (count == 0) continue;
        if (!IncludeRowOf(family)) break;  // no files for an unknown family, nor for the ones after it
        exitCode = WriteFamilyFiles(family, count);
    }
    generation_settings_ = nullptr;
    return FinishStaging(exitCode);
}
