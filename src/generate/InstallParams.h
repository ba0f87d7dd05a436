// The install-parameter table of a setup run: the seven install parameters,
// their read modes and their fallbacks.
#ifndef TAV_GENERATE_INSTALLPARAMS_H
#define TAV_GENERATE_INSTALLPARAMS_H

#include <string>

// Read modes of the install parameters.
constexpr int PARAM_RAW = 0;
constexpr int PARAM_RESOLVED = 1;
constexpr int PARAM_AT_TOKEN = 2;
constexpr int PARAM_PERCENT_TOKEN = 3;

class CInstallParams {
public:
    CInstallParams() = default;
    CInstallParams(const CInstallParams&) = delete;
    CInstallParams& operator=(const CInstallParams&) = delete;

    // Filling the parameters; each takes its environment variable's name. A
    // path the maker's registry keys gave wins over its variable.
    void SetCellName(const char* variable);
    void SetEtcPath(const char* variable, const std::string& registryPath = std::string());
    void SetComputerName(const char* variable);
    void SetLogPath(const char* variable, const std::string& registryPath = std::string());
    void SetDllPath(const char* variable, const std::string& registryPath = std::string());
    void SetBinPath(const char* variable, const std::string& registryPath = std::string());
    void SetPortNumber(const char* variable);

    // Reading them.
    std::string GetEtcPath(int mode) const;
    std::string GetLogPath(int mode) const;
    std::string GetPortNumber(int mode) const;
    std::string GetBinPath(int mode) const;
    std::string GetComputerName() const;
    std::string GetCellName() const { return cell_name; }
    std::string GetDllPath() const { return dll_path; }

    // Sets a parameter by its variable's name ("ETCPATH", "PORTNUMBER", ...)
    // to the value given, without the environment or the registry.
    void SetStored(const char* parameter, const char* value);

private:
    std::string computer_name;
    std::string cell_name;
    std::string port_number;
    std::string etc_path;
    std::string log_path;
    std::string bin_path;
    std::string dll_path;
};

#endif
