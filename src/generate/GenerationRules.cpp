// Rules shared by the writers of the batch and agent configuration files.
#include "generate/GenerationRules.h"

#include "generate/BatchEscaping.h"
#include "platform/Process.h"
#include "text/Text.h"

namespace tavgen {

namespace {

const char* const COMMON_COLLECTOR = "TAV";

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

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
    return {BatchText(params.GetEtcPath(PARAM_RESOLVED)), BatchText(params.GetPortNumber(PARAM_RESOLVED)),
            BatchText(params.GetBinPath(PARAM_RESOLVED)), BatchText(params.GetLogPath(PARAM_RESOLVED)),
            BatchText(params.GetComputerName())};
}

std::string BatchText(const std::string& value) { return EscapeForBatch(value, BatchQuoting::Outside); }

BatchValues BatchValuesOf(const CMonitoredServer& entry) {
    const std::string name = entry.GetServerName();
    return {BatchText(name),
            EscapeForBatch(name, BatchQuoting::Inside),
            BatchText(entry.GetDollarServer()),
            BatchText(entry.GetErrorlogName()),
            BatchText(entry.GetLogin()),
            // 88 hexadecimal digits, or clear text after its marker, which
            // cmd must hand the agent as it was typed.
            BatchText(entry.GetPassword()),
            BatchText(entry.GetServerVersion()),
            BatchText(entry.GetClusterServer())};
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
