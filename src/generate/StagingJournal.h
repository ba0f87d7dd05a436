// The names of staged files and the journal of their moves. A staged file is
// named for its final name, a per-run random part and a fixed suffix, so that
// no two runs share one and the next run knows ours. The journal, written and
// flushed before the first move, lists every move of a set; a run that finds
// one completes its moves before it does anything else.
#ifndef TAV_GENERATE_STAGINGJOURNAL_H
#define TAV_GENERATE_STAGINGJOURNAL_H

#include <cstdint>
#include <string>
#include <vector>

#include "report/Report.h"

namespace tavgen {

// The journal's name in the configuration directory.
inline constexpr const char JOURNAL_NAME[] = "tavnovu.journal";

// The temporary name of a staged file: "<path>.<16 hex digits>.tavnovu.tmp".
[[nodiscard]] std::string TemporaryName(const std::string& path, std::uint64_t token);
// True for a file name (no directory) made by TemporaryName.
[[nodiscard]] bool IsTemporaryName(const std::string& name);
// A new random token for a run's temporary names, its last 16 bits zero so
// that the run can count its files in them.
[[nodiscard]] std::uint64_t NewRunToken();
// For tests that plant things at the names a run will use: every run from now
// on takes this token (0: random again). Nothing but a test calls it.
void FixRunTokenForTests(std::uint64_t token);

struct JournalMove {
    std::string temporary;
    std::string final;
};

// Writes the journal of the moves into directory, flushed to the disk, in
// one step (under a temporary name first).
Status WriteJournal(const std::string& directory, const std::vector<JournalMove>& moves);
// Removes the journal and makes that durable.
void RemoveJournal(const std::string& directory);

// What became of a journal left by a run that did not finish its moves.
struct JournalCompletion {
    bool found = false;
    std::string since;  // the time the journal names, as the setup log stamps times
    Status status;      // a move that could not be made; the journal then stays
};
// Makes the moves of a journal left in directory whose temporary files are
// still there, in its order, and removes the journal.
[[nodiscard]] JournalCompletion CompleteJournal(const std::string& directory);

// Removes the temporary files of ours below directory (links, directories and
// files of other names are left alone). Returns how many went.
int RemoveStaleTemporaries(const std::string& directory);

}  // namespace tavgen

#endif
