// The staged file set: temporary files of this run beside their final names,
// checked and flushed writes, the directory's lock, the journal and the
// replacing moves.
#include "generate/StagedFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "generate/StagingJournal.h"
#include "platform/Process.h"
#include "platform/ProcessEnd.h"

namespace {

// A failure that left errno at 0 still has to read as one.
int ErrorOrIo(int error) { return error != 0 ? error : EIO; }

// Names tried for one file before the run gives up: each is taken only by
// something planted there or left by a run with the same random part.
constexpr int NAME_ATTEMPTS = 16;
constexpr int LOCK_POLL_MILLISECONDS = 25;
// The exit code of a run the test hook ends.
constexpr int STOPPED_EXIT = 99;

std::string DirectoryOf(const std::string& path) {
    const size_t separator = path.rfind('\\');
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

}  // namespace

DirectoryClaim CStagedFileSet::Claim(const std::string& directory, int waitSeconds,
                                     const std::function<void()>& onWait) {
    DirectoryClaim claim;
    // The test hook that ends the run at a chosen point, as a kill would.
    stop_at_ = tavplat::EnvironmentValue("TAVNOVU_TEST_STOP_AT").value_or("");
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(std::max(waitSeconds, 0));
    tavplat::CDirectoryLock::Attempt attempt = lock_.TryLock(directory);
    if (attempt == tavplat::CDirectoryLock::Attempt::BUSY) {
        if (onWait) onWait();
        while (attempt == tavplat::CDirectoryLock::Attempt::BUSY && Clock::now() < deadline) {
            tavplat::SleepMilliseconds(LOCK_POLL_MILLISECONDS);
            attempt = lock_.TryLock(directory);
        }
    }
    if (attempt == tavplat::CDirectoryLock::Attempt::BUSY) {
        failure_ = Status::Failure(EBUSY, "The configuration directory '" + directory +
                                              "' is busy: another run has held it for " +
                                              std::to_string(std::max(waitSeconds, 0)) + " seconds");
        return claim;
    }
    if (attempt != tavplat::CDirectoryLock::Attempt::HELD) return claim;
    directory_ = directory;
    const tavgen::JournalCompletion completed = tavgen::CompleteJournal(directory);
    if (!completed.status.Ok()) {
        failure_ = Status::Failure(completed.status.code, completed.status.text +
                                                              " (completing an interrupted configuration from " +
                                                              completed.since + ")");
        return claim;
    }
    if (completed.found) claim.completed_from = completed.since.empty() ? "an unknown time" : completed.since;
    tavgen::RemoveStaleTemporaries(directory);
    return claim;
}

int CStagedFileSet::Open(const std::string& path, const char* mode, tavplat::FileReaders readers) {
    if (token_ == 0) token_ = tavgen::NewRunToken();
    // Each file has a name of its own, also two files of one final name (two
    // servers given the same name): the later one wins, as it would if they
    // were written in place one after the other. A name something already
    // holds is never opened: the next one is tried.
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        std::string temporary = tavgen::TemporaryName(path, token_ + (names_used_++ & 0xFFFF));
        errno = 0;
        if (FILE* stream = tavplat::CreateNewFile(temporary.c_str(), mode, readers)) {
            files_.push_back({path, std::move(temporary), stream});
            return static_cast<int>(files_.size() - 1);
        }
        const int error = errno;
        if (error != EEXIST && tavplat::FileAccess(temporary.c_str(), 0) != 0) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

CStagedFileSet::StagedFile* CStagedFileSet::OpenFileAt(int file) {
    if (file < 0 || static_cast<size_t>(file) >= files_.size()) return nullptr;
    StagedFile& staged = files_[static_cast<size_t>(file)];
    return staged.stream ? &staged : nullptr;
}

FILE* CStagedFileSet::Stream(int file) const {
    if (file < 0 || static_cast<size_t>(file) >= files_.size()) return nullptr;
    return files_[static_cast<size_t>(file)].stream;
}

void CStagedFileSet::WriteGenerated(int file, std::string_view text) {
    StagedFile* staged = OpenFileAt(file);
    // After a failed write the file is lost anyway: the rest is not tried.
    if (!staged || staged->error != 0) return;
    errno = 0;
    if (tavplat::WriteGeneratedText(staged->stream, text.data(), text.size()) < text.size()) {
        staged->error = ErrorOrIo(errno);
        Fail(staged->path, staged->error);
    }
}

bool CStagedFileSet::Close(int& file) {
    StagedFile* staged = OpenFileAt(file);
    file = -1;
    if (!staged) return false;
    // Writes that went only into the stream's buffer fail here, at the latest;
    // a file counts once it is on the disk.
    errno = 0;
    const bool unwritten = std::ferror(staged->stream) != 0 || tavplat::FlushToDisk(staged->stream) != 0;
    const int error = errno;
    const bool closed = std::fclose(staged->stream) == 0;
    staged->stream = nullptr;
    if ((unwritten || !closed) && staged->error == 0) {
        staged->error = ErrorOrIo(unwritten ? error : errno);
        Fail(staged->path, staged->error);
    }
    if (staged->error == 0) StopHere("temp", ++closed_);
    return staged->error == 0;
}

void CStagedFileSet::Fail(const std::string& path, int error) {
    if (Failed()) return;  // the first failure is the one that stopped the run
    error = ErrorOrIo(error);
    failure_ = Status::Failure(error, "Can't write '" + path + "': " + std::strerror(error));
}

void CStagedFileSet::Journal(const std::vector<int>& order) {
    if (directory_.empty() || order.empty() || Failed()) return;
    std::vector<tavgen::JournalMove> moves;
    for (int file : order) {
        const StagedFile& staged = files_.at(static_cast<size_t>(file));
        moves.push_back({staged.temporary, staged.path});
    }
    const Status written = tavgen::WriteJournal(directory_, moves);
    if (!written.Ok()) {
        failure_ = written;
        return;
    }
    journaled_ = true;
    StopHere("journal", 0);
}

Status CStagedFileSet::Place(int file) {
    StagedFile& staged = files_.at(static_cast<size_t>(file));
    if (staged.stream || staged.error != 0)
        return Status::Failure(EIO, "'" + staged.path + "' is not complete");
    const tavplat::FileOutcome moved = tavplat::MoveIntoPlace(staged.temporary.c_str(), staged.path.c_str());
    if (!moved.Ok()) return Status::Failure(moved.code, "Can't replace '" + staged.path + "': " + moved.why);
    staged.placed = true;
    StopHere("move", ++moved_);
    return Status::Success();
}

void CStagedFileSet::Discard() {
    // The moves are made durable before the journal that orders them goes;
    // the journal goes before the temporary files it names, so that a run
    // killed in between never completes half of them.
    std::vector<std::string> directories;
    for (const StagedFile& staged : files_)
        if (staged.placed) directories.push_back(DirectoryOf(staged.path));
    std::sort(directories.begin(), directories.end());
    directories.erase(std::unique(directories.begin(), directories.end()), directories.end());
    for (const std::string& directory : directories) (void)tavplat::SyncDirectory(directory.c_str());
    if (journaled_) tavgen::RemoveJournal(directory_);
    for (StagedFile& staged : files_) {
        if (staged.stream) std::fclose(staged.stream);
        if (!staged.placed) tavplat::RemoveFile(staged.temporary.c_str());
    }
    lock_.Release();
    files_.clear();
    failure_ = Status();
    token_ = 0;
    names_used_ = 0;
    directory_.clear();
    journaled_ = false;
    closed_ = moved_ = 0;
    stop_at_.clear();
}

void CStagedFileSet::StopHere(const char* point, int count) const {
    if (stop_at_.empty()) return;
    const std::string here = count > 0 ? std::string(point) + ":" + std::to_string(count) : std::string(point);
    if (stop_at_ == here) tavplat::EndProcessAbruptly(STOPPED_EXIT);
}
