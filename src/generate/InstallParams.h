// The install-parameter table of a setup run: the install parameters, the
// monitored set and the generation's output streams.
#ifndef TAV_GENERATE_INSTALLPARAMS_H
#define TAV_GENERATE_INSTALLPARAMS_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "discovery/ServerList.h"
#include "generate/StagedFiles.h"
#include "report/Report.h"

// Read modes of the install parameters.
constexpr int PARAM_RAW = 0;
constexpr int PARAM_RESOLVED = 1;
constexpr int PARAM_AT_TOKEN = 2;
constexpr int PARAM_PERCENT_TOKEN = 3;

// Destinations of LogWrite.
constexpr int LOG_CONSOLE = 1;
constexpr int LOG_INI = 2;
constexpr int LOG_INCLUDE = 3;
constexpr int LOG_BATCH = 22;

// A server chosen for monitoring, with the account the agent logs on with.
// One typed in through "&New" carries the family Family::New.
class CMonitoredServer : public CServerFields {
public:
    CMonitoredServer() : CServerFields(Family::New) {}

    // Takes the record's family and texts; the account starts empty.
    void AssignFromServer(const CDbServer& server);

    std::string GetLogin() const { return login; }
    std::string GetPassword() const { return password; }
    void SetLogin(const char* text) { login = text ? text : ""; }
    void SetPassword(const char* text) { password = text ? text : ""; }

private:
    std::string login;
    std::string password;
};

// What a generation came to.
struct GenerationResult {
    enum Outcome {
        CONFIGURED,          // every file is in place
        NOTHING_CONFIGURED,  // a file could not be written: the earlier files are as they were
        PARTLY_CONFIGURED,   // a file could not be put in place: the ones before it are
        END_PROCESS,         // an include file could not be opened
    };
    Outcome outcome = CONFIGURED;
    int process_exit = 0;  // END_PROCESS: 100 for Oracle, 110 for the others
};

// One writer's kind of file, made once per monitored server.
struct ServerFileKind {
    int destination;        // LOG_BATCH or LOG_INI: the stream its lines go to
    const char* what;       // "batch", "agent configuration"
    const char* prefix;     // the family's start of the file name, such as "Oracle_"
    const char* extension;  // ".bat", ".ini"
};

class CInstallParams {
public:
    CInstallParams();
    virtual ~CInstallParams();
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

    // The monitored set.
    // The set owns its entries. AddMonitored returns the entry, or null when
    // family is not one of the set's slots (the entry is released then);
    // RemoveMonitored releases the entry.
    CMonitoredServer* AddMonitored(std::unique_ptr<CMonitoredServer> entry, Family family);
    void RemoveMonitored(CMonitoredServer* entry, Family family);
    CMonitoredServer* FindMonitored(const CDbServer* server, Family family) const;
    int GetMonitoredCount(Family family) const;
    CMonitoredServer* GetMonitoredAt(int index, Family family) const;

    // Where the lines for the person installing go (standard output unless set):
    // LOG_CONSOLE goes to its console and log, any destination but the three
    // files to its log alone.
    void SetReport(CReport& report) { report_ = &report; }

    // The formatted writer every generated line goes through; the text is
    // written exactly as formatted.
    void LogWrite(int destination, const char* format, ...) TAV_PRINTF(3, 4);

    // Writes the monitored set out, family by family. Every file is staged
    // first and put in place only when all of them are complete; see
    // GenerationResult for what a failure leaves.
    GenerationResult GenerateConfiguration();
    // Creates the directories above path, top down. 1, or 0 when one cannot be made.
    int MakeParentDirectories(const char* path);

    void WriteOracleBatch(int count);
    void WriteSybaseBatch(int count);
    void WriteMsSqlBatch(int count);
    void WriteInformixBatch(int count);
    void WriteOracleIni(int count);
    void WriteSybaseIni(int count);
    void WriteMsSqlIni(int count);
    void WriteInformixIni(int count);

    int use_common_collector;

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
    CReport* report_ = &StandardReport();
    // The writer's formatting buffer, reused by every call; it grows, so a
    // long text is never cut.
    std::string format_buffer_;
    std::vector<std::unique_ptr<CMonitoredServer>> monitored_[FAMILY_SLOTS];

    // The files being generated, and the open one of each stream (-1: none).
    CStagedFileSet staged_;
    int ini_file_ = -1;
    int batch_file_ = -1;
    int include_file_ = -1;
    // While files are staged, the console's lines wait here, so that they go
    // out in their order among the "Finished generating" lines, which can
    // only be said once a file is in place.
    struct PendingStep {
        std::string text;
        int file = -1;                               // put in place before the text is said
        const CMonitoredServer* regcopy = nullptr;  // an Informix entry to run regcopy for after it
    };
    std::vector<PendingStep> pending_;
    bool staging_ = false;

    // Generation helpers.
    // The lines of "tavtset.ini", read once by GenerateConfiguration; null outside it.
    const std::string* generation_settings_ = nullptr;
    int* FileOf(int destination);
    void Say(std::string_view text);
    void BeginStaging();
    GenerationResult FinishStaging(int processExit);
    void ReportNotPlaced(const Status& failure, const std::vector<PendingStep>& steps, size_t from);
    int OpenOutputFile(const std::string& path, int& file);
    bool PrepareOutputFile(const std::string& path, int& file);
    using EntryWriter = std::function<void(const CMonitoredServer& entry, int index, const std::string& path)>;
    void WriteServerFiles(Family family, int count, const ServerFileKind& kind, const EntryWriter& writeLines);
    static std::string ReadLocalSettings();
    bool RefuseUnsafeName(const std::string& name, const char* fileKind);
    void WriteBatchFiles(Family family, int count);
    void WriteIniFiles(Family family, int count);
    void ChooseCollector();
    int WriteFamilyFiles(Family family, int count);
};

#endif
