// What the fuzz targets share: the property check, a report that keeps quiet,
// a scratch directory per process, and splitting an input into parts.
#ifndef TAV_FUZZSUPPORT_H
#define TAV_FUZZSUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "report/Report.h"

// A property that does not hold is a finding: the message, then an abort the
// fuzzer records as a crash with the input that caused it. The message goes to
// the error stream as the process started, which -close_fd_mask (that quiets
// what the product prints) leaves open.
#define FUZZ_CHECK(condition, ...)                                                  \
    do {                                                                            \
        if (!(condition)) {                                                         \
            dprintf(tavfuzz::REPORT_FD, "property failed: %s\n  ", #condition);    \
            dprintf(tavfuzz::REPORT_FD, __VA_ARGS__);                               \
            dprintf(tavfuzz::REPORT_FD, "\n");                                      \
            std::abort();                                                           \
        }                                                                           \
    } while (0)

namespace tavfuzz {

namespace fs = std::filesystem;

inline const int REPORT_FD = dup(2);

// A directory of its own for the life of the process, removed at its end.
inline const fs::path& Scratch() {
    static const fs::path dir = [] {
        // In memory unless TMPDIR says otherwise: on disk the file calls of a
        // run cost more than the run itself.
        const bool inMemory = !std::getenv("TMPDIR") && access("/dev/shm", W_OK) == 0;
        const fs::path base = inMemory ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "tavfuzz-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(pattern.data()), "no scratch directory in %s", base.c_str());
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(Scratch(), ignored);
        });
        return fs::path(pattern);
    }();
    return dir;
}

inline std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

inline void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The input cut at each separator; a C string cannot hold a NUL, so NUL is
// the separator of the targets whose parts are C strings.
inline std::vector<std::string> Split(std::string_view input, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = input.find(separator, start)) != std::string_view::npos; start = at + 1)
        parts.emplace_back(input.substr(start, at - start));
    parts.emplace_back(input.substr(start));
    return parts;
}

// Runs in a directory and comes back to the one it started in, so that the
// fuzzer's own files (crashes, corpus) land where it was started.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }
    InDirectory(const InDirectory&) = delete; InDirectory& operator=(const InDirectory&) = delete;

private:
    fs::path old_;
};

}  // namespace tavfuzz

#endif
