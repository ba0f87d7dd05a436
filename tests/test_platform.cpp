// The platform layer: path mapping, CR LF writing, files, programs and the environment.
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// A Windows path to a directory of the test's own, plus the environment that makes it so.
struct WindowsTree {
    tavtest::TempDir dir;
#ifdef _WIN32
    std::string root = dir.str();
#else
    tavtest::ScopedEnv drives{"TAVNOVU_DRIVES", dir.str().c_str()};
    std::string root = "Q:";
    std::filesystem::path native() const { return dir.path() / "q"; }
    bool made = std::filesystem::create_directory(dir.path() / "q");
#endif
};

}  // namespace

#ifndef _WIN32
TEST(NativePath, BackslashesBecomeSlashes) {
    EXPECT_EQ(tavplat::NativePath("log\\sub\\file.txt"), "log/sub/file.txt");
    EXPECT_EQ(tavplat::NativePath("\\log\\a"), "/log/a");
    EXPECT_EQ(tavplat::NativePath(""), "");
    EXPECT_EQ(tavplat::NativePath(nullptr), "");
}

TEST(NativePath, DriveGoesUnderTheDrivesDirectory) {
    tavtest::ScopedEnv drives("TAVNOVU_DRIVES", "/srv/drives/");
    EXPECT_EQ(tavplat::NativePath("C:\\x\\y"), "/srv/drives/c/x/y");
    EXPECT_EQ(tavplat::NativePath("c:/x"), "/srv/drives/c/x");
    EXPECT_EQ(tavplat::NativePath("D:"), "/srv/drives/d");
    EXPECT_EQ(tavplat::NativePath("D:rel"), "/srv/drives/d/rel");
    // Not a drive: a colon elsewhere or a digit before it.
    EXPECT_EQ(tavplat::NativePath("1:\\x"), "1:/x");
    EXPECT_EQ(tavplat::NativePath("ab:\\x"), "ab:/x");
}

TEST(NativePath, DriveGoesUnderRootWithoutTheVariable) {
    tavtest::ScopedEnv drives("TAVNOVU_DRIVES", nullptr);
    EXPECT_EQ(tavplat::NativePath("C:\\x\\y"), "/x/y");
    EXPECT_EQ(tavplat::NativePath("C:\\"), "/");
    EXPECT_EQ(tavplat::NativePath("C:"), "/");
}

TEST(NativePath, RootAsDrivesDirectory) {
    tavtest::ScopedEnv drives("TAVNOVU_DRIVES", "/");
    EXPECT_EQ(tavplat::NativePath("E:\\x"), "/e/x");
}
#else
TEST(NativePath, WindowsPathsStayAsTheyAre) {
    EXPECT_EQ(tavplat::NativePath("C:\\x\\y"), "C:\\x\\y");
    EXPECT_EQ(tavplat::NativePath("c:/x"), "c:/x");
}
#endif

TEST(FileSystem, FileOperationsOnWindowsPaths) {
    WindowsTree tree;
    std::string sub = tree.root + "\\sub";
    ASSERT_EQ(tavplat::MakeDirectory(sub.c_str()), 0);
    EXPECT_NE(tavplat::MakeDirectory(sub.c_str()), 0);
    EXPECT_EQ(errno, EEXIST);

    std::string file = sub + "\\a.txt";
    FILE* stream = tavplat::OpenFile(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    std::fputs("x", stream);
    std::fclose(stream);
    EXPECT_EQ(tavplat::FileAccess(file.c_str(), 0), 0);

    std::string renamed = sub + "\\b.txt";
    EXPECT_EQ(tavplat::RenameFile(file.c_str(), renamed.c_str()), 0);
    EXPECT_NE(tavplat::FileAccess(file.c_str(), 0), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(tavplat::RemoveFile(renamed.c_str()), 0);
    EXPECT_NE(tavplat::RemoveFile(renamed.c_str()), 0);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(tavplat::OpenFile((sub + "\\missing\\c.txt").c_str(), "r"), nullptr);
}

TEST(FileSystem, GeneratedTextEndsLinesInCrLf) {
    WindowsTree tree;
    std::string file = tree.root + "\\gen.ini";
    FILE* stream = tavplat::OpenFile(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    const std::string text = "[Section]\nkey=value\n\nlast";
    EXPECT_EQ(tavplat::WriteGeneratedText(stream, text.data(), text.size()), text.size());
    EXPECT_EQ(tavplat::WriteGeneratedText(stream, "\n", 1), 1u);
    EXPECT_EQ(tavplat::WriteGeneratedText(stream, "", 0), 0u);
    std::fclose(stream);
#ifdef _WIN32
    std::filesystem::path native = file;
#else
    std::filesystem::path native = tree.native() / "gen.ini";
#endif
    EXPECT_EQ(tavtest::ReadBinary(native), "[Section]\r\nkey=value\r\n\r\nlast\r\n");
}

TEST(Process, RunProgramReportsExitCodeOrMinusOne) {
    EXPECT_EQ(tavplat::RunProgram("C:\\no\\such\\program.exe"), -1);
    EXPECT_EQ(tavplat::RunProgram(""), -1);
#ifndef _WIN32
    tavtest::ScopedEnv drives("TAVNOVU_DRIVES", nullptr);
    EXPECT_EQ(tavplat::RunProgram("\\bin\\true"), 0);
    EXPECT_EQ(tavplat::RunProgram("\\bin\\false"), 1);
#endif
}

TEST(Process, CommandPipeReadsOutput) {
    FILE* pipe = tavplat::OpenCommandPipe("echo hello");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    EXPECT_EQ(std::string(line).substr(0, 5), "hello");
    EXPECT_EQ(tavplat::CloseCommandPipe(pipe), 0);
}

TEST(Process, CurrentDirectoryFollowsChanges) {
    tavtest::TempDir dir;
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    std::string seen = tavplat::CurrentDirectory();
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::equivalent(seen, dir.path())) << seen;
}

TEST(Process, SystemDriveRootIsARoot) {
    std::string root = tavplat::SystemDriveRoot();
#ifdef _WIN32
    ASSERT_GE(root.size(), 3u);
    EXPECT_EQ(root.substr(root.size() - 2), ":\\");
    tavtest::ScopedEnv drive("SystemDrive", "Q:");
    EXPECT_EQ(tavplat::SystemDriveRoot(), "Q:\\");
#else
    EXPECT_EQ(root, "/");
#endif
}

// A host installer sets variables with the system call, which the C runtime's copy does not see.
TEST(Process, EnvironmentValueSeesTheProcessEnvironment) {
    const auto set = [](const char* value) {
#ifdef _WIN32
        SetEnvironmentVariableA("TAV_PLATFORM_PROBE", value);
#else
        tavtest::SetEnv("TAV_PLATFORM_PROBE", value);
#endif
    };
    set("host");
    EXPECT_EQ(tavplat::EnvironmentValue("TAV_PLATFORM_PROBE"), "host");
    set("");
    EXPECT_EQ(tavplat::EnvironmentValue("TAV_PLATFORM_PROBE"), "");
    set(nullptr);
    EXPECT_EQ(tavplat::EnvironmentValue("TAV_PLATFORM_PROBE"), std::nullopt);
}

TEST(Process, PutEnvironmentKeepsTheBuffer) {
    static char assignment[] = "TAV_PLATFORM_PROBE=first";
    ASSERT_EQ(tavplat::PutEnvironment(assignment), 0);
    const char* value = std::getenv("TAV_PLATFORM_PROBE");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "first");
    tavtest::SetEnv("TAV_PLATFORM_PROBE", nullptr);
    EXPECT_EQ(std::getenv("TAV_PLATFORM_PROBE"), nullptr);
}
