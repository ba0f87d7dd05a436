// The staged file set: temporary files beside their final names, checked
// writes and closes, and the replacing moves.
#include "generate/StagedFiles.h"

#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"

namespace {

// A failure that left errno at 0 still has to read as one.
int ErrorOrIo(int error) { return error != 0 ? error : EIO; }

}  // namespace

int CStagedFileSet::Open(const std::string& path, const char* mode) {
    // The index keeps two files of one name apart (two servers given the same
    // name): each has its own temporary file, and the later one wins, as it
    // would if they were written in place one after the other.
    std::string temporary = path + "." + std::to_string(files_.size()) + ".tmp";
    FILE* stream = tavplat::OpenFile(temporary.c_str(), mode);
    if (!stream) return -1;
    files_.push_back({path, std::move(temporary), stream});
    return static_cast<int>(files_.size() - 1);
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
    // Writes that went only into the stream's buffer fail here, at the latest.
    errno = 0;
    const bool unwritten = std::ferror(staged->stream) != 0;
    const bool closed = std::fclose(staged->stream) == 0;
    staged->stream = nullptr;
    if ((unwritten || !closed) && staged->error == 0) {
        staged->error = ErrorOrIo(errno);
        Fail(staged->path, staged->error);
    }
    return staged->error == 0;
}

void CStagedFileSet::Fail(const std::string& path, int error) {
    if (Failed()) return;  // the first failure is the one that stopped the run
    error = ErrorOrIo(error);
    failure_ = Status::Failure(error, "Can't write '" + path + "': " + std::strerror(error));
}

Status CStagedFileSet::Place(int file) {
    StagedFile& staged = files_.at(static_cast<size_t>(file));
    if (staged.stream || staged.error != 0)
        return Status::Failure(EIO, "'" + staged.path + "' is not complete");
    const tavplat::FileOutcome moved = tavplat::MoveIntoPlace(staged.temporary.c_str(), staged.path.c_str());
    if (!moved.Ok()) return Status::Failure(moved.code, "Can't replace '" + staged.path + "': " + moved.why);
    staged.placed = true;
    return Status::Success();
}

void CStagedFileSet::Discard() {
    for (StagedFile& staged : files_) {
        if (staged.stream) std::fclose(staged.stream);
        if (!staged.placed) tavplat::RemoveFile(staged.temporary.c_str());
    }
    files_.clear();
    failure_ = Status();
}
