// Test helpers: environment variables for the life of a scope, temporary
// directories and the current directory, fresh processes for process-wide
// state, and reading and writing files.
#ifndef TAV_TESTS_TEST_SUPPORT_H
#define TAV_TESTS_TEST_SUPPORT_H

#include "runtime/coll.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <system_error>

namespace tavtest {

// The Windows C runtime cannot hold a variable with an empty value: "NAME=" removes it.
inline bool EmptyValuesSupported() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

// A null value removes the variable.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv((std::string(name) + "=" + (value ? value : "")).c_str());
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
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
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("tavtest-" + std::to_string(random() % 1000000000ULL));
            std::error_code error;
            if (std::filesystem::create_directory(path_, error))
                break;
        }
    }
    ~TempDir() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs body in a fresh copy of the test program, where the process-wide state
// starts empty; the checks inside decide its exit code.
// The child reports no events of its own: its failures go to the error stream,
// which the parent shows.
inline int ChildExitCode() {
    std::fflush(nullptr);
    if (!::testing::Test::HasFailure())
        return 0;
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result->total_part_count(); ++i) {
        const ::testing::TestPartResult& part = result->GetTestPartResult(i);
        if (part.failed())
            std::fprintf(stderr, "%s:%d: %s\n", part.file_name() ? part.file_name() : "?",
                         part.line_number(), part.message());
    }
    std::fflush(stderr);
    return 1;
}

template <typename Body>
void InFreshProcess(Body body) {
    EXPECT_EXIT(
        {
            body();
            std::_Exit(ChildExitCode());
        },
        ::testing::ExitedWithCode(0), "");
}

inline std::string ReadBinary(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

// The platform's text line end, as a text-mode stream writes "\n".
#if defined(_WIN32)
constexpr const char* TEXT_EOL = "\r\n";
#else
constexpr const char* TEXT_EOL = "\n";
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

// True when text starts with a record header of a time-stamped type:
// start, "(" six digits ") ", then next.
inline bool HasTimeHeader(const std::string& text, const std::string& start, const std::string& next) {
    if (text.compare(0, start.size(), start) != 0)
        return false;
    size_t at = start.size();
    if (text.size() < at + 9 + next.size() || text[at] != '(' || text.compare(at + 7, 2, ") ") != 0)
        return false;
    for (size_t i = at + 1; i < at + 7; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return text.compare(at + 9, next.size(), next) == 0;
}

// Sends the message records to a file of the test's own for the life of a
// scope, and puts the previous output stream back afterwards.
class RecordCapture {
public:
    RecordCapture() : saved_(coll_output), path_(dir_.path() / "records.out") {
        // dir_ is declared first, so it exists here.
        file_ = std::fopen(path_.string().c_str(), "w");
        coll_output = file_;
    }
    ~RecordCapture() {
        if (coll_output == file_ && file_ != nullptr)
            std::fclose(file_);
        coll_output = saved_;
    }
    RecordCapture(const RecordCapture&) = delete;
    RecordCapture& operator=(const RecordCapture&) = delete;

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

// Sets trace levels for the life of a scope.
class ScopedTrace {
public:
    ScopedTrace(int category, int16_t level) : category_(category), saved_(coll_trace[category]) {
        coll_trace[category] = level;
    }
    ~ScopedTrace() { coll_trace[category_] = saved_; }
    ScopedTrace(const ScopedTrace&) = delete;
    ScopedTrace& operator=(const ScopedTrace&) = delete;

private:
    int category_;
    int16_t saved_;
};

}  // namespace tavtest

#endif
