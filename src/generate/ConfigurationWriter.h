// The writer of the agents' files: after OK, the monitored set is written out
// family by family with the install parameters, every file staged first and
// put in place only when all of them are complete.
#ifndef TAV_GENERATE_CONFIGURATIONWRITER_H
#define TAV_GENERATE_CONFIGURATIONWRITER_H

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "generate/InstallParams.h"
#include "generate/StagedFiles.h"
#include "monitor/MonitoredSet.h"
#include "report/Report.h"

struct FamilyRow;

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
    // Chosen servers that got no files: a name that leads out of the
    // configuration directory. A configuration with any is not complete.
    int servers_left_out = 0;
};

// The kinds of file a generation writes.
enum class GeneratedFile {
    AgentConfiguration,  // TUOVMA_<server>.ini and the like
    Include,             // the family's include file, such as tuoinc.ini
    Batch,               // Oracle_<server>.bat and the like
};

// One writer's kind of file, made once per monitored server.
struct ServerFileKind {
    GeneratedFile file;     // the stream its lines go to
    const char* what;       // "batch", "agent configuration"
    const char* prefix;     // the family's start of the file name, such as "Oracle_"
    const char* extension;  // ".bat", ".ini"
};

class CConfigurationWriter {
public:
    // Reads the parameters and the set, which must outlive the writer; the
    // lines for the person installing go to the report's console and log.
    CConfigurationWriter(const CInstallParams& params, const CMonitoredSet& monitored, CReport& report);
    CConfigurationWriter(const CConfigurationWriter&) = delete;
    CConfigurationWriter& operator=(const CConfigurationWriter&) = delete;

    // Writes the monitored set out, family by family. Every file is staged
    // first and put in place only when all of them are complete; see
    // GenerationResult for what a failure leaves. Nothing at all is written
    // when a value fails the value policy or two servers of a family would
    // share their files: the console and the log say which.
    GenerationResult GenerateConfiguration();

    // The agents start the common collector "TAV" rather than their family's
    // own; a generation keeps to that only while no "tavcoll.exe" lies in the
    // bin path. Off unless set: an absent collector is never named.
    void SetCommonCollector(bool use) { common_collector_ = use; }
    bool UsesCommonCollector() const { return common_collector_; }

    const CInstallParams& Params() const { return params_; }

    // Creates the directories above path, top down. 1, or 0 when one cannot be made.
    int MakeParentDirectories(const char* path);

    // Formats lines into the open file of that kind; the text is written
    // exactly as formatted.
    void WriteGenerated(GeneratedFile file, const char* format, ...) TAV_PRINTF(3, 4);
    // Formats a line for the person installing: the console and the log,
    // held back while files are staged so that it keeps its place among the
    // "Finished generating" lines.
    void Tell(const char* format, ...) TAV_PRINTF(2, 3);

private:
    // While files are staged, the console's lines wait here, so that they go
    // out in their order among the "Finished generating" lines, which can
    // only be said once a file is in place.
    struct PendingStep {
        std::string text;
        int file = -1;                               // put in place before the text is said
        const CMonitoredServer* regcopy = nullptr;  // an entry to run regcopy for after it
    };
    using EntryWriter = std::function<void(const CMonitoredServer& entry, int index, const std::string& path)>;

    // Why nothing may be written (a value that cannot reach the files, two
    // servers with the same files); empty when all may be.
    std::string RefusalBeforeWriting() const;
    int ServersLeftOut() const;
    std::string_view Format(const char* format, va_list args);
    int* FileOf(GeneratedFile file);
    void Say(std::string_view text);
    void BeginStaging();
    GenerationResult FinishStaging(int processExit);
    void ReportNotPlaced(const Status& failure, const std::vector<PendingStep>& steps, size_t from);
    int OpenOutputFile(const std::string& path, int& file);
    bool PrepareOutputFile(const std::string& path, int& file);
    void WriteServerFiles(const FamilyRow& family, int count, const ServerFileKind& kind,
                          const EntryWriter& writeLines);
    static std::string ReadLocalSettings();
    bool RefuseUnsafeName(const std::string& name, const char* fileKind);
    // One family's files of one kind, for its first count entries.
    void WriteBatchFiles(const FamilyRow& family, int count);
    void WriteIniFiles(const FamilyRow& family, int count);
    void ChooseCollector();
    int WriteFamilyFiles(const FamilyRow& family, int count);

    const CInstallParams& params_;
    const CMonitoredSet& monitored_;
    CReport& report_;
    bool common_collector_ = false;
    // The formatting buffer, reused by every call; it grows, so a long text
    // is never cut.
    std::string format_buffer_;

    // The files being generated, and the open one of each stream (-1: none).
    CStagedFileSet staged_;
    int ini_file_ = -1;
    int batch_file_ = -1;
    int include_file_ = -1;
    std::vector<PendingStep> pending_;
    bool staging_ = false;
    // The lines of "tavtset.ini", read once by GenerateConfiguration; null outside it.
    const std::string* generation_settings_ = nullptr;
};

#endif
