// A set of files written under temporary names beside their own, every write
// and close checked, to be put in place once the whole set is complete: a run
// that cannot write every file leaves the files of the run before as they were.
#ifndef TAV_GENERATE_STAGEDFILES_H
#define TAV_GENERATE_STAGEDFILES_H

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "report/Report.h"

class CStagedFileSet {
public:
    CStagedFileSet() = default;
    ~CStagedFileSet() { Discard(); }
    CStagedFileSet(const CStagedFileSet&) = delete;
    CStagedFileSet& operator=(const CStagedFileSet&) = delete;

    // Opens a new file that is to become path, under a temporary name in
    // path's directory (fopen's mode). Returns its index, or -1 with errno
    // set when it cannot be made; the set is not failed by that, the caller
    // may make the directory and try again.
    int Open(const std::string& path, const char* mode);
    // The stream of an open file, for callers that write it themselves; the
    // close finds their failed writes by the stream's error indicator.
    FILE* Stream(int file) const;
    // Writes generated text (lines end in CR LF) to an open file.
    void WriteGenerated(int file, std::string_view text);
    // Closes a file, checking what is still buffered and the close itself.
    // True when every write reached it; file becomes -1.
    bool Close(int& file);

    // The first failure: a write, a close, or an open the caller gave up on.
    void Fail(const std::string& path, int error);
    bool Failed() const { return !failure_.Ok(); }
    const Status& Failure() const { return failure_; }

    const std::string& PathOf(int file) const { return files_.at(static_cast<size_t>(file)).path; }
    // Puts a closed, complete file in place, replacing the file there.
    Status Place(int file);
    // Removes the temporary files not put in place and empties the set.
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

    std::vector<StagedFile> files_;
    Status failure_;
};

#endif
