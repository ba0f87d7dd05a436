// Rules shared by the writers of the batch and agent configuration files.
#include "generate/GenerationRules.h"

#include <climits>
#include <cstdlib>

#include "platform/Process.h"
#include "text/Text.h"

namespace tavgen {

const AgentFamily AGENT_FAMILIES[] = {
    {Family::Oracle, "Oracle_", "TUOVMA_", "TUO",
     ";Quorvane SXA for Oracle  Product Initialization File", "Oracle", "Oracle"},
    {Family::Sybase, "Sybase_", "TUSVMA_", "TUS",
     ";Quorvane SXA for Sybase Product Initialization File", "Sybase", "Sybase"},
    {Family::MsSql, "MSMSQL_", "TUMVMA_", "TUM",
     ";Quorvane SXA for Microsoft SQL Server Product Initialization File", "MSSQL Server", "MSSQL"},
    {Family::Informix, "Informix_", "TUIVMA_", "TUI",
     ";Quorvane SXA for Informix  Product Initialization File", "Informix", "Informix"},
};

const AgentFamily& AgentFamilyOf(Family family) {
    for (const AgentFamily& row : AGENT_FAMILIES)
        if (row.family == family) return row;
    return AGENT_FAMILIES[0];  // callers pass one of the four codes
}

namespace {

const char* const COMMON_COLLECTOR = "TAV";

// The leading decimal number as atoi reads it, without atoi's overflow.
long LeadingNumber(const std::string& text) {
    long value = strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return value;
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

const char* OracleVersionCode(const std::string& version) {
    if (version.compare(0, 3, "8.1") == 0) return "TU8";
    if (!version.empty() && version[0] == '9') return "TU9";
    return "TUO";
}

std::string SybaseOcsDirectory(const std::string& home, const std::string& version) {
    if (LeadingNumber(version) < 12) return home;
    std::string minor;
    const size_t dot = version.find('.');
    if (dot == std::string::npos) minor = version.substr(0, 1);
    else if (dot + 1 < version.size()) minor = version.substr(dot + 1, 1);
    return home + "\\OCS-12_" + minor;
}

int IsNamedInstance(const std::string& serverName) {
    const std::optional<std::string> machine = tavplat::EnvironmentValue("COMPUTERNAME");
    if (!machine) return 1;
    return tavtext::EqualsIgnoringCase(serverName, *machine) ? 0 : 1;
}

bool StaysInConfigurationDirectory(const std::string& name) {
    if (!name.empty() && IsPathSeparator(name[0])) return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsPathSeparator(name[end])) ++end;
        if (name.compare(start, end - start, "..") == 0) return false;
        if (end >= name.size()) return true;
        start = end + 1;
    }
}

ResolvedParameters ResolveParameters(const CInstallParams& params) {
    return {params.GetEtcPath(PARAM_RESOLVED), params.GetPortNumber(PARAM_RESOLVED),
            params.GetBinPath(PARAM_RESOLVED), params.GetLogPath(PARAM_RESOLVED),
            params.GetComputerName()};
}

const char* CollectorFor(const CConfigurationWriter& writer, const char* ownCollector) {
    return writer.UsesCommonCollector() ? COMMON_COLLECTOR : ownCollector;
}

// The program is Informix's own, started directly (no command interpreter);
// its result is not used.
void RunRegcopy(const CMonitoredServer& entry) {
    const std::string home = entry.GetDollarServer();
    if (home.empty()) return;  // no installation to run it from
    const std::string program = home + "/bin/regcopy";
    tavplat::RunProgram(program.c_str());
}

std::string OutputPath(const std::string& directory, const char* prefix, const std::string& name,
                       const char* extension) {
    std::string path;
    path.reserve(directory.size() + name.size() + 24);
    path += directory;
    path += '\\';
    path += prefix;
    path += name;
    path += extension;
    return path;
}

}  // namespace tavgen
