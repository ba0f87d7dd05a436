// Small helpers shared by the tests: the current directory and file contents.
#ifndef TAV_TESTS_TESTUTIL_H
#define TAV_TESTS_TESTUTIL_H

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "test_support.h"

namespace tavtest {

// Changes the current directory for the life of the object.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCwd() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }

private:
    std::filesystem::path old_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

// The platform's text line end, as a text-mode stream writes "\n".
#if defined(_WIN32)
constexpr const char* TEXT_EOL = "\r\n";
#else
constexpr const char* TEXT_EOL = "\n";
#endif

}  // namespace tavtest

#endif
