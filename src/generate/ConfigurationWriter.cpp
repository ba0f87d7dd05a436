// The generation driver: after OK the monitored set is written out family by
// family, each family's include file listing its agent configuration files.
#include "generate/ConfigurationWriter.h"

#include <optional>
#include <string>
#include <vector>

#include "discovery/ServerNameRules.h"
#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"
#include "machine/ValuePolicy.h"
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

namespace {

// An entry's values that reach its files, with the fields' names.
struct EntryValue {
    const char* label;
    std::string text;
};

std::vector<EntryValue> ValuesOf(const CMonitoredServer& entry) {
    return {{"Server Name", entry.GetServerName()},     {"Login", entry.GetLogin()},
            {"Password", entry.GetPassword()},          {"Database Version", entry.GetServerVersion()},
            {"Home Directory", entry.GetDollarServer()}, {"Error Log File", entry.GetErrorlogName()},
            {"cluster server", entry.GetClusterServer()}};
}

}  // namespace

std::string CConfigurationWriter::RefusalBeforeWriting() const {
    const struct {
        const char* variable;
        std::string value;
    } PARAMETERS[] = {{"ETCPATH", params_.GetEtcPath(PARAM_RESOLVED)}, {"LOGPATH", params_.GetLogPath(PARAM_RESOLVED)},
                      {"BINPATH", params_.GetBinPath(PARAM_RESOLVED)}, {"PORTNUMBER", params_.GetPortNumber(PARAM_RESOLVED)},
                      {"COMPUTERNAME", params_.GetComputerName()}};
    for (const auto& parameter : PARAMETERS)
        if (const char* why = tavmachine::ValueRefusal(parameter.value))
            return std::string("The install parameter ") + parameter.variable + " cannot be used: " + why;
    for (int slot = 0; slot < FAMILY_SLOTS; ++slot) {
        const Family family = FamilyAtSlot(slot);
        std::vector<std::string> names;
        for (int i = 0; i < monitored_.Count(family); ++i) {
            const CMonitoredServer& entry = *monitored_.At(i, family);
            for (const EntryValue& value : ValuesOf(entry))
                if (const char* why = tavmachine::ValueRefusal(value.text))
                    return "The server '" + entry.GetServerName() + "' cannot be configured: its " + value.label +
                           ": " + why;
            // A name that leads out is left out on its own, and said so.
            if (tavgen::StaysInConfigurationDirectory(entry.GetServerName()))
                names.push_back(entry.GetServerName());
        }
        if (const std::optional<tavdiscovery::NameCollision> clash = tavdiscovery::FindNameCollision(names))
            return tavdiscovery::CollisionMessage(names[clash->first], names[clash->second]);
    }
    return std::string();
}

int CConfigurationWriter::ServersLeftOut() const {
    int leftOut = 0;
    for (int slot = 0; slot < FAMILY_SLOTS; ++slot)
        for (int i = 0; i < monitored_.Count(FamilyAtSlot(slot)); ++i)
            if (!tavgen::StaysInConfigurationDirectory(monitored_.At(i, FamilyAtSlot(slot))->GetServerName()))
                ++leftOut;
    return leftOut;
}

GenerationResult CConfigurationWriter::GenerateConfiguration() {
    if (const std::string refusal = RefusalBeforeWriting(); !refusal.empty()) {
        Say(refusal + "; nothing was configured\n");
        return {GenerationResult::NOTHING_CONFIGURED, 0};
    }
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
    GenerationResult result = FinishStaging(exitCode);
    result.servers_left_out = ServersLeftOut();
    return result;
}
