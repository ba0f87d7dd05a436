// The staged files' names and the journal of their moves.
#include "generate/StagingJournal.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

#include "generate/GenerationRules.h"
#include "platform/FileSystem.h"
#include "text/Text.h"

namespace tavgen {

namespace {

constexpr const char TEMPORARY_SUFFIX[] = ".tavnovu.tmp";
constexpr size_t TOKEN_DIGITS = 16;
constexpr const char JOURNAL_HEADER[] = "tavnovu journal";
constexpr const char JOURNAL_END[] = "end";
// Subdirectories are made by server names with a backslash; deeper than this
// nothing of ours is looked for.
constexpr int STALE_SEARCH_DEPTH = 8;

std::uint64_t fixed_token = 0;

std::string JournalPath(const std::string& directory) { return directory + "\\" + JOURNAL_NAME; }

std::string Now() {
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    std::string text = local ? std::asctime(local) : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string DirectoryOf(const std::string& path) {
    const size_t separator = path.rfind('\\');
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

// A move a journal of ours can order: a temporary file of ours onto the name
// it was made for, inside the directory. Anything else in a journal (one
// planted by someone who can write the directory) is not followed.
bool IsMoveOfOurs(const std::string& directory, const std::string& temporary, const std::string& final) {
    if (!final.starts_with(directory + "\\") || !temporary.starts_with(final + ".") ||
        temporary.size() != final.size() + 1 + TOKEN_DIGITS + std::strlen(TEMPORARY_SUFFIX))
        return false;
    const size_t name = temporary.find_last_of("\\/");
    if (!IsTemporaryName(temporary.substr(name == std::string::npos ? 0 : name + 1))) return false;
    // No step out of the directory, by the rule the names were written by.
    return StaysInConfigurationDirectory(final.substr(directory.size() + 1));
}

Status Failure(const std::string& what, int error) {
    error = error != 0 ? error : EIO;
    return Status::Failure(error, what + ": " + std::strerror(error));
}

}  // namespace

std::string TemporaryName(const std::string& path, std::uint64_t token) {
    return path + tavtext::Format(".%016llx", static_cast<unsigned long long>(token)) + TEMPORARY_SUFFIX;
}

bool IsTemporaryName(const std::string& name) {
    const size_t suffix = std::strlen(TEMPORARY_SUFFIX);
    if (name.size() < suffix + TOKEN_DIGITS + 2 || !name.ends_with(TEMPORARY_SUFFIX)) return false;
    const size_t token = name.size() - suffix - TOKEN_DIGITS;
    if (name[token - 1] != '.') return false;
    for (size_t i = token; i < token + TOKEN_DIGITS; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::isupper(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

std::uint64_t NewRunToken() {
    if (fixed_token != 0) return fixed_token;
    // The random device is mixed with the clock: a runtime whose device
    // repeats itself still gives each run its own names.
    std::random_device device;
    const std::uint64_t random = (static_cast<std::uint64_t>(device()) << 32) ^ device() ^
                                 static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) *
                                     0x9E3779B97F4A7C15ULL;
    return random & ~std::uint64_t{0xFFFF};
}

void FixRunTokenForTests(std::uint64_t token) { fixed_token = token & ~std::uint64_t{0xFFFF}; }

Status WriteJournal(const std::string& directory, const std::vector<JournalMove>& moves) {
    const std::string path = JournalPath(directory);
    const std::string temporary = TemporaryName(path, NewRunToken() | 0xFFFF);
    tavplat::RemoveFile(temporary.c_str());  // only a journal of ours can hold that name
    FILE* out = tavplat::CreateNewFile(temporary.c_str(), "wb", tavplat::FileReaders::AS_DIRECTORY_GIVES);
    if (!out) return Failure("Can't write '" + path + "'", errno);
    std::string text = std::string(JOURNAL_HEADER) + "\n" + Now() + "\n";
    for (const JournalMove& move : moves) text += move.temporary + "\n" + move.final + "\n";
    text += std::string(JOURNAL_END) + "\n";
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size() && tavplat::FlushToDisk(out) == 0;
    const int error = errno;
    if (std::fclose(out) != 0 || !written) {
        tavplat::RemoveFile(temporary.c_str());
        return Failure("Can't write '" + path + "'", written ? errno : error);
    }
    const tavplat::FileOutcome moved = tavplat::MoveIntoPlace(temporary.c_str(), path.c_str());
    if (!moved.Ok()) {
        tavplat::RemoveFile(temporary.c_str());
        return Status::Failure(moved.code, "Can't replace '" + path + "': " + moved.why);
    }
    const tavplat::FileOutcome synced = tavplat::SyncDirectory(directory.c_str());
    if (!synced.Ok()) return Status::Failure(synced.code, "Can't write '" + path + "': " + synced.why);
    return Status::Success();
}

void RemoveJournal(const std::string& directory) {
    if (tavplat::RemoveFile(JournalPath(directory).c_str()) == 0)
        (void)tavplat::SyncDirectory(directory.c_str());
}

JournalCompletion CompleteJournal(const std::string& directory) {
    JournalCompletion completion;
    FILE* in = tavplat::OpenFile(JournalPath(directory).c_str(), "rb");
    if (!in) return completion;
    completion.found = true;
    std::vector<std::string> lines;
    std::string line;
    while (tavtext::ReadLine(in, &line)) lines.push_back(line);
    std::fclose(in);
    // A journal is put in place whole; one that is not is no journal of ours
    // and orders no move. Its temporary files are stale: they go below.
    const bool whole = lines.size() >= 3 && lines.size() % 2 == 1 && lines.front() == JOURNAL_HEADER &&
                       lines.back() == JOURNAL_END;
    if (whole) {
        completion.since = lines[1];
        std::vector<std::string> directories;
        for (size_t i = 2; i + 1 < lines.size(); i += 2) {
            const std::string& temporary = lines[i];
            const std::string& final = lines[i + 1];
            // A temporary file no longer there was moved before the run ended.
            if (!IsMoveOfOurs(directory, temporary, final) || tavplat::FileAccess(temporary.c_str(), 0) != 0) continue;
            const tavplat::FileOutcome moved = tavplat::MoveIntoPlace(temporary.c_str(), final.c_str());
            if (!moved.Ok()) {
                completion.status = Status::Failure(moved.code, "Can't replace '" + final + "': " + moved.why);
                return completion;
            }
            directories.push_back(DirectoryOf(final));
        }
        for (const std::string& moved : directories) (void)tavplat::SyncDirectory(moved.c_str());
    }
    RemoveJournal(directory);
    return completion;
}

int RemoveStaleTemporaries(const std::string& directory) {
    std::vector<std::pair<std::string, int>> pending = {{directory, 0}};
    int removed = 0;
    while (!pending.empty()) {
        const auto [dir, depth] = pending.back();
        pending.pop_back();
        const tavplat::DirectoryListing listing = tavplat::ListDirectory(dir.c_str());
        for (const std::string& name : listing.files)
            if (IsTemporaryName(name) && tavplat::RemoveFile((dir + "\\" + name).c_str()) == 0) ++removed;
        if (depth < STALE_SEARCH_DEPTH)
            for (const std::string& name : listing.directories) pending.push_back({dir + "\\" + name, depth + 1});
    }
    if (removed > 0) (void)tavplat::SyncDirectory(directory.c_str());
    return removed;
}

}  // namespace tavgen
