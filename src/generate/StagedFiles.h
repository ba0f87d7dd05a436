// A set of files written under temporary names beside their own, every write
// and close checked and every file flushed, to be put in place once the whole
// set is complete: a run that cannot write every file leaves the files of the
// run before as they were. A set that claims its directory holds the
// directory's lock from the claim to the discard and journals its moves, so
// that a run killed among them is completed by the next.
#ifndef TAV_GENERATE_STAGEDFILES_H
#define TAV_GENERATE_STAGEDFILES_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirectoryLock.h"
#include "platform/FileSystem.h"
#include "report/Report.h"

// What claiming a directory found there.
struct DirectoryClaim {
    std::string completed_from;  // the time of an interrupted run whose moves were completed; empty: none
};

class CStagedFileSet {
public:
    CStagedFileSet() = default;
    ~CStagedFileSet() { Discard(); }
    CStagedFileSet(const CStagedFileSet&) = delete;
    CStagedFileSet& operator=(const CStagedFileSet&) = delete;

    // Takes the directory's lock, waiting up to waitSeconds (onWait is called
    // once when the wait starts), then completes the moves of a run that was
    // interrupted among them and removes the temporary files of runs that
    // died before theirs. A directory that takes no lock file (missing,
    // read-only) is not claimed: nothing can be written there either. A
    // busy directory or a move that cannot be completed fails the set.
    DirectoryClaim Claim(const std::string& directory, int waitSeconds, const std::function<void()>& onWait);

    // Opens a new file that is to become path, under a temporary name of this
    // run in path's directory (fopen's mode), created exclusively. Returns its
    // index, or -1 with errno set when it cannot be made; the set is not
    // failed by that, the caller may make the directory and try again.
    int Open(const std::string& path, const char* mode,
             tavplat::FileReaders readers = tavplat::FileReaders::AS_DIRECTORY_GIVES);
    // The stream of an open file, for callers that write it themselves; the
    // close finds their failed writes by the stream's error indicator.
    FILE* Stream(int file) const;
    // Writes generated text (lines end in CR LF) to an open file.
    void WriteGenerated(int file, std::string_view text);
    // Closes a file, checking what is still buffered, the flush to the disk
    // and the close itself. True when every write reached it; file becomes -1.
    bool Close(int& file);

    // The first failure: a write, a close, or an open the caller gave up on.
    void Fail(const std::string& path, int error);
    bool Failed() const { return !failure_.Ok(); }
    const Status& Failure() const { return failure_; }

    const std::string& PathOf(int file) const { return files_.at(static_cast<size_t>(file)).path; }
    // In a claimed directory: writes the journal of the moves to come, in the
    // order given, before the first of them. A failure fails the set.
    void Journal(const std::vector<int>& order);
    // Puts a closed, complete file in place, replacing the file there.
    Status Place(int file);
    // Removes the journal and the temporary files not put in place, makes
    // the moves durable, lets go of the directory and empties the set.
    void Discard();

private:
    struct StagedFile {
        std::string path;
        std::string temporary;
        FILE* stream = nullptr;
        int error = 0;  // errno of the first failed write or close
        bool placed = false;
    };
    StagedFile* OpenFileAt(int file);
    void StopHere(const char* point, int count) const;

    std::vector<StagedFile> files_;
    Status failure_;
    std::uint64_t token_ = 0;  // this run's part of the temporary names; 0 until the first open
    std::uint64_t names_used_ = 0;
    tavplat::CDirectoryLock lock_;
    std::string directory_;  // the claimed directory; empty: none
    bool journaled_ = false;
    int closed_ = 0, moved_ = 0;
    std::string stop_at_;  // the test hook's point, "temp:2" and the like
};

#endif
