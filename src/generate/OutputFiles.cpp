// Output file preparation: every generated file staged beside its place,
// missing directories created, the writers' common loop, the files put in
// place together; and the formatted writers the generation writes every line
// through.
#include "generate/ConfigurationWriter.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <string>

#include "generate/FamilyTable.h"
#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "text/Text.h"

std::string_view CConfigurationWriter::Format(const char* format, va_list args) {
    // The buffer is reused by every line: most lines are formatted once, in place.
    const long length = tavtext::FormatInto(format_buffer_, format ? format : "", args);
    return std::string_view(format_buffer_.data(), length < 0 ? 0 : static_cast<size_t>(length));
}

void CConfigurationWriter::WriteGenerated(GeneratedFile file, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string_view text = Format(format, args);
    va_end(args);
    if (int* open = FileOf(file)) staged_.WriteGenerated(*open, text);
}

void CConfigurationWriter::Tell(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string_view text = Format(format, args);
    va_end(args);
    Say(text);
}

int* CConfigurationWriter::FileOf(GeneratedFile file) {
    switch (file) {
    case GeneratedFile::AgentConfiguration: return &ini_file_;
    case GeneratedFile::Include: return &include_file_;
    case GeneratedFile::Batch: return &batch_file_;
    }
    return nullptr;
}

void CConfigurationWriter::Say(std::string_view text) {
    if (staging_) pending_.push_back({std::string(text)});
    else if (!text.empty()) report_.ConsoleAndLog(text);
}

// ---- staging -------------------------------------------------------------------

namespace {

constexpr int LOCK_WAIT_DEFAULT_SECONDS = 120;

// TAVNOVU_LOCK_WAIT: the seconds a run waits for another one in its
// configuration directory; anything but digits leaves the default.
int LockWaitSeconds() {
    const std::optional<std::string> value = tavplat::EnvironmentValue("TAVNOVU_LOCK_WAIT");
    if (!value || value->empty() || value->size() > 6 ||
        value->find_first_not_of("0123456789") != std::string::npos)
        return LOCK_WAIT_DEFAULT_SECONDS;
    return std::stoi(*value);
}

}  // namespace

// The configuration directory is claimed before anything is written in it;
// the dialogs that came before held nobody up.
void CConfigurationWriter::BeginStaging() {
    staged_.Discard();
    pending_.clear();
    const std::string etc = params_.GetEtcPath(PARAM_RESOLVED);
    const int waitSeconds = LockWaitSeconds();
    const DirectoryClaim claim = staged_.Claim(etc, waitSeconds, [&] {
        report_.ConsoleAndLog(tavtext::Format(
            "Another configuration is running in '%s': waiting for it, up to %d seconds\n", etc.c_str(), waitSeconds));
    });
    if (!claim.completed_from.empty())
        report_.ConsoleAndLog("Completed an interrupted configuration from " + claim.completed_from + "\n");
    staging_ = true;
}

GenerationResult CConfigurationWriter::FinishStaging(int processExit) {
    staging_ = false;  // from here on the lines go out at once
    const std::vector<PendingStep> steps = std::move(pending_);
    pending_.clear();
    // The journal of the moves is on the disk before the first of them.
    if (processExit == 0) {
        std::vector<int> order;
        for (const PendingStep& step : steps)
            if (step.file >= 0) order.push_back(step.file);
        staged_.Journal(order);
    }
    if (processExit != 0 || staged_.Failed()) {
        // Nothing goes in place: the lines said on the way, but no "Finished".
        for (const PendingStep& step : steps)
            if (step.file < 0) Say(step.text);
        const Status failure = staged_.Failure();
        staged_.Discard();
        if (processExit != 0) return {GenerationResult::END_PROCESS, processExit};
        Say(failure.text + "; nothing was configured\n");
        return {GenerationResult::NOTHING_CONFIGURED, 0};
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        const PendingStep& step = steps[i];
        if (step.file >= 0) {
            const Status placed = staged_.Place(step.file);
            if (!placed.Ok()) {
                ReportNotPlaced(placed, steps, i);
                staged_.Discard();
                return {GenerationResult::PARTLY_CONFIGURED, 0};
            }
        }
        Say(step.text);
        if (step.regcopy) tavgen::RunRegcopy(*step.regcopy);
    }
    staged_.Discard();
    return {GenerationResult::CONFIGURED, 0};
}

// A move that failed (a file held open by a running agent, say) stops the
// moves: what went before stays in place, the rest is left as it was.
void CConfigurationWriter::ReportNotPlaced(const Status& failure, const std::vector<PendingStep>& steps, size_t from) {
    std::string lines = failure.text +
                        "; the configuration is incomplete: the files finished above are in place, these are not:\n";
    for (size_t i = from; i < steps.size(); ++i)
        if (steps[i].file >= 0) lines += "  " + staged_.PathOf(steps[i].file) + "\n";
    Say(lines);
}

// ---- preparing one file ----------------------------------------------------------

// Returns 0, or the errno of the failed open (said on the console).
int CConfigurationWriter::OpenOutputFile(const std::string& path, int& file) {
    // Batch and agent configuration files hold a password: only their owner
    // (on Windows SYSTEM and the Administrators) may read them.
    file = staged_.Open(path, "w", tavplat::FileReaders::OWNER_ONLY);
    if (file >= 0) return 0;
    const int error = errno;
    Tell("\nCan't open file '%s'\n", path.c_str());
    return error != 0 ? error : EIO;
}

int CConfigurationWriter::MakeParentDirectories(const char* path) {
    if (!path) return 0;
    std::string directory = path;
    const size_t lastSeparator = directory.rfind('\\');
    if (lastSeparator == std::string::npos) return 1;  // nothing above the file to create
    directory.resize(lastSeparator);

    // Each prefix ends in a backslash: C:\ then C:\a\ then C:\a\b\ for C:\a\b\f.ini.
    std::string prefix;
    size_t start = 0;
    for (;;) {
        const size_t separator = directory.find('\\', start);
        const bool lastPass = separator == std::string::npos;
        prefix.append(directory, start, lastPass ? std::string::npos : separator - start);
        prefix += '\\';
        errno = 0;
        if (tavplat::MakeDirectory(prefix.c_str()) != 0 && errno == ENOENT) {
            Tell("\nERROR: can't create '%s'\n", prefix.c_str());
            return 0;
        }
        if (lastPass) break;
        start = separator + 1;
        if (start >= directory.size()) break;
    }
    return 1;
}

// The first open fails when the name makes a subdirectory that is not there
// yet; after the directories are made it is tried once more. A file that
// still cannot be made fails the run.
bool CConfigurationWriter::PrepareOutputFile(const std::string& path, int& file) {
    int error = OpenOutputFile(path, file);
    if (error == 0) return true;
    if (!MakeParentDirectories(path.c_str())) error = ENOENT;
    else if ((error = OpenOutputFile(path, file)) == 0) return true;
    staged_.Fail(path, error);
    return false;
}

bool CConfigurationWriter::RefuseUnsafeName(const std::string& name, const char* fileKind) {
    if (tavgen::StaysInConfigurationDirectory(name)) return false;
    Tell("\nServer name '%s' leads out of the configuration directory: no %s file written for it\n",
         name.c_str(), fileKind);
    return true;
}

// ---- the writers' loop --------------------------------------------------------------

// One file per entry of the family, in the order of the monitored set. A
// writer called on its own, outside a generation, stages and places its
// files itself.
void CConfigurationWriter::WriteServerFiles(const FamilyRow& family, int count, const ServerFileKind& kind,
                                            const EntryWriter& writeLines) {
    const bool ownRun = !staging_;
    if (ownRun) BeginStaging();
    const std::string etc = params_.GetEtcPath(PARAM_RESOLVED);
    int& file = *FileOf(kind.file);
    for (int i = 0; i < count && !staged_.Failed(); ++i) {
        const CMonitoredServer* entry = monitored_.At(i, family.family);
        if (!entry) continue;
        const std::string name = entry->GetServerName();
        if (RefuseUnsafeName(name, kind.what)) continue;
        const std::string path = tavgen::OutputPath(etc, kind.prefix, name, kind.extension);
        if (!PrepareOutputFile(path, file)) break;
        writeLines(*entry, i, path);
        const int written = file;
        if (!staged_.Close(file)) break;
        pending_.push_back({"Finished generating " + path + " file\n", written,
                            family.runs_regcopy ? entry : nullptr});
    }
    if (ownRun) FinishStaging(0);
}
