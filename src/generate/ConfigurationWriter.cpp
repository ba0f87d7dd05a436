// The generation driver: after OK the monitored set is written out family by
// family, each family's include file listing its agent configuration files.
#include "generate/ConfigurationWriter.h"

#include <string>

#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"

CConfigurationWriter::CConfigurationWriter(const CInstallParams& params, const CMonitoredSet& monitored,
                                           CReport& report)
    : params_(params), monitored_(monitored), report_(report) {}

void CConfigurationWriter::ChooseCollector() {
    const std::string commonCollector = params_.GetBinPath(PARAM_RESOLVED) + "\\tavcoll.exe";
    if (tavplat::FileAccess(commonCollector.c_str(), 0) == 0) common_collector_ = false;
}

int CConfigurationWriter::WriteFamilyFiles(const FamilyRow& family, int count) {
    const std::string includePath = params_.GetEtcPath(PARAM_RESOLVED) + "\\" + family.include_file;
    include_file_ = staged_.Open(includePath, "w");
    if (include_file_ < 0) {
        Tell("Can't open '%s' for write\n", includePath.c_str());
        return family.include_exit_code;
    }
    WriteGenerated(GeneratedFile::Include, "\n");
    WriteGenerated(GeneratedFile::Include, "[Include]\n");
    WriteBatchFiles(family, count);
    WriteIniFiles(family, count);
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
        const FamilyRow* row = FamilyRowOf(family);
        if (!row) break;  // no files for an unknown family, nor for the ones after it
        exitCode = WriteFamilyFiles(*row, count);
    }
    generation_settings_ = nullptr;
    return FinishStaging(exitCode);
}
