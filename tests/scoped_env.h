// Test helpers: set or remove an environment variable for the life of a scope,
// and a fresh temporary directory that is removed afterwards.
#ifndef TAV_TESTS_SCOPED_ENV_H
#define TAV_TESTS_SCOPED_ENV_H

#include <cstdlib>
#include <filesystem>
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

}  // namespace tavtest

#endif
