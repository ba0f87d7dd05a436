// Test helpers: environment variables for the life of a scope, temporary
// directories and the current directory, reading and writing files, and
// tables of cases kept as fixture files. With them come gtest, the runtime's
// interface and the standard headers the tests share.
#ifndef TAV_TESTS_TESTSUPPORT_H
#define TAV_TESTS_TESTSUPPORT_H

#include "runtime/CollectorRuntime.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>
#include <system_error>

namespace tavtest {

// A null value removes the variable.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv((std::string(name) + "=" + (value ? value : "")).c_str());
#else
    value ? setenv(name, value, 1) : unsetenv(name);
#endif
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        SetEnv(name, value);
    }
    ~ScopedEnv() { SetEnv(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete; ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

class TempDir {
public:
    TempDir() {
        static std::mt19937_64 random{std::random_device{}()};
        std::error_code error;
        do path_ = std::filesystem::temp_directory_path() / ("tavtest-" + std::to_string(random() % 1000000000ULL));
        while (!std::filesystem::create_directory(path_, error));
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete; TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadBinary(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

// The platform's text line end, as a text-mode stream writes "\n"; whether a
// variable can hold an empty value (the Windows C runtime removes "NAME=").
#if defined(_WIN32)
constexpr const char* TEXT_EOL = "\r\n";
constexpr bool EMPTY_VALUES_SUPPORTED = false;
#else
constexpr const char* TEXT_EOL = "\n";
constexpr bool EMPTY_VALUES_SUPPORTED = true;
#endif

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

// Text as the C runtime reads it back (line ends folded on Windows).
inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sends the message records to a file of the test's own for the life of a
// scope, and puts the previous output stream back afterwards.
class RecordCapture {
public:
    RecordCapture() : saved_(coll_output), path_(dir_.path() / "records.out") {
        file_ = std::fopen(path_.string().c_str(), "w");
        coll_output = file_;
    }
    ~RecordCapture() {
        if (coll_output == file_ && file_ != nullptr)
            std::fclose(file_);
        coll_output = saved_;
    }
    RecordCapture(const RecordCapture&) = delete; RecordCapture& operator=(const RecordCapture&) = delete;

    // Everything written so far.
    std::string Text() {
        if (coll_output != nullptr)
            std::fflush(coll_output);
        return ReadText(path_);
    }
    // What has reached the file without a flush of ours.
    std::string Unflushed() const { return ReadText(path_); }

private:
    TempDir dir_;  // first: the members below use it
    FILE* saved_;
    std::filesystem::path path_;
    FILE* file_ = nullptr;
};

// The text split at every separator; an empty text has no parts.
inline std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; end != std::string::npos && !text.empty(); start = end + 1) {
        end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
    }
    return parts;
}

// The rows of tests/fixtures/<name>, without "#" lines and blank lines. In a field "\n" stands
// for a line end and "\xHH" for a byte ("|", bytes above 127); other backslashes are themselves.
inline std::vector<std::vector<std::string>> Rows(const std::string& name) {
    std::ifstream in(std::string(TAV_TEST_DATA) + "/fixtures/" + name, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        rows.push_back(Split(line, '|'));
        for (std::string& field : rows.back()) {
            field = std::regex_replace(field, std::regex("\\\\n"), "\n");
            for (size_t at = 0; (at = field.find("\\x", at)) != std::string::npos; ++at)
                if (at + 3 < field.size() && std::isxdigit(field[at + 2] & 0xFF) && std::isxdigit(field[at + 3] & 0xFF))
                    field.replace(at, 4, 1, static_cast<char>(std::stoi(field.substr(at + 2, 2), nullptr, 16)));
        }
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

// "~" in a field stands for a null pointer.
inline const char* OrNull(const std::string& field) { return field == "~" ? nullptr : field.c_str(); }

// Records as the tables spell them: the six time digits of a header as "(hhmmss)", the
// line in the runtime's and the password encoding's own source as "(n)".
inline std::string Normalized(const std::string& records) {
    return std::regex_replace(std::regex_replace(records, std::regex("\\(\\d{6}\\) "), "(hhmmss) "),
                              std::regex("(TAVUTIL|TAVENCRY)\\(\\d+\\)"), "$1(n)");
}

}  // namespace tavtest

#endif
