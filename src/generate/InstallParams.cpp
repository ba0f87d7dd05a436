// The install-parameter table: the seven install parameters with their read
// modes and fallbacks.
#include "generate/InstallParams.h"

#include <cstdlib>

#include "platform/Process.h"
#include "runtime/CollectorRuntime.h"
#include "machine/ComputerName.h"

// ---- install parameters -------------------------------------------------------

namespace {

// An unset or empty variable leaves the parameter empty; coll_getenv reports it.
std::string ReadReportedVariable(const char* variable) {
    if (!variable) return std::string();
    char* value = coll_getenv(variable, COLL_ENV_REPORT, nullptr);
    std::string result = value ? value : "";
    free(value);
    return result;
}

// The maker's own installation directory wins over the environment.
std::string RegistryOrVariable(const std::string& registryPath, const char* variable) {
    if (!registryPath.empty()) return registryPath;
    return ReadReportedVariable(variable);
}

const char* TokenFor(int mode, const char* atToken, const char* percentToken) {
    return mode == PARAM_AT_TOKEN ? atToken : percentToken;
}

bool IsTokenMode(int mode) { return mode == PARAM_AT_TOKEN || mode == PARAM_PERCENT_TOKEN; }

}  // namespace

void CInstallParams::SetCellName(const char* variable) { cell_name = ReadReportedVariable(variable); }
void CInstallParams::SetEtcPath(const char* variable, const std::string& registryPath) {
    etc_path = RegistryOrVariable(registryPath, variable);
}
void CInstallParams::SetComputerName(const char* variable) { computer_name = ReadReportedVariable(variable); }
void CInstallParams::SetLogPath(const char* variable, const std::string& registryPath) {
    log_path = RegistryOrVariable(registryPath, variable);
}
void CInstallParams::SetDllPath(const char* variable, const std::string& registryPath) {
    dll_path = RegistryOrVariable(registryPath, variable);
}
void CInstallParams::SetBinPath(const char* variable, const std::string& registryPath) {
    bin_path = RegistryOrVariable(registryPath, variable);
}
void CInstallParams::SetPortNumber(const char* variable) { port_number = ReadReportedVariable(variable); }

void CInstallParams::SetStored(const char* parameter, const char* value) {
    if (!parameter) return;
    std::string text = value ? value : "";
    const std::string name = parameter;
    if (name == tavmachine::COMPUTER_NAME_VARIABLE) computer_name = text;
    else if (name == "CELLNAME") cell_name = text;
    else if (name == "PORTNUMBER") port_number = text;
    else if (name == "ETCPATH") etc_path = text;
    else if (name == "LOGPATH") log_path = text;
    else if (name == "BINPATH") bin_path = text;
    else if (name == "DLLPATH") dll_path = text;
}

std::string CInstallParams::GetEtcPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@ETCPATH@", "%ETCPATH%");
    if (mode == PARAM_RESOLVED && etc_path.empty()) return tavplat::CurrentDirectory();
    return etc_path;
}

std::string CInstallParams::GetLogPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@LOGPATH@", "%LOGPATH%");
    if (mode == PARAM_RESOLVED && log_path.empty()) return GetEtcPath(PARAM_RAW) + "\\log";
    return log_path;
}

std::string CInstallParams::GetPortNumber(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@PORTNUMBER@", "%PORTNUMBER%");
    if (mode == PARAM_RESOLVED && port_number.empty()) return "1999";
    return port_number;
}

std::string CInstallParams::GetBinPath(int mode) const {
    if (IsTokenMode(mode)) return TokenFor(mode, "@BINPATH@", "%BINPATH%");
    if (mode == PARAM_RESOLVED && bin_path.empty()) return GetEtcPath(PARAM_RESOLVED);
    return bin_path;
}

std::string CInstallParams::GetComputerName() const { return computer_name; }

