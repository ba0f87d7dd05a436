// The platform layer: path mapping, CR LF writing, files, programs, the environment and the terminal.
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Terminal.h"

#include "TestSupport.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
constexpr bool WINDOWS = true;
#else
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
constexpr bool WINDOWS = false;
#endif

namespace fs = std::filesystem;
using namespace tavtest;

TEST(NativePath, DrivesGoUnderTheDrivesDirectoryAndBackslashesBecomeSlashes) {
    for (const std::vector<std::string>& r : Rows("platform/native_paths.txt")) {
        ScopedEnv drives("TAVNOVU_DRIVES", OrNull(r.at(0)));
        EXPECT_EQ(tavplat::NativePath(r.at(1).c_str()), WINDOWS ? r[1] : r.at(2)) << r[0] << " " << r[1];
    }
    EXPECT_EQ(tavplat::NativePath(nullptr), "");
}

TEST(FileSystem, WindowsPathsWorkAndGeneratedTextEndsLinesInCrLf) {
    // A drive of the test's own on POSIX; Windows takes the directory's path as it is.
    TempDir dir;
    ScopedEnv drives("TAVNOVU_DRIVES", dir.str().c_str());
    const std::string root = WINDOWS ? dir.str() : "Q:";
    const fs::path native = WINDOWS ? dir.path() : dir.path() / "q";
    fs::create_directories(native);
    const std::string sub = root + "\\sub", file = sub + "\\a.txt", renamed = sub + "\\b.txt";
    ASSERT_EQ(tavplat::MakeDirectory(sub.c_str()), 0);
    EXPECT_TRUE(tavplat::MakeDirectory(sub.c_str()) != 0 && errno == EEXIST);
    FILE* stream = tavplat::OpenFile(file.c_str(), "w");
    ASSERT_NE(stream, nullptr);
    const std::string text = "[Section]\nkey=value\n\nlast";
    EXPECT_EQ(tavplat::WriteGeneratedText(stream, text.data(), text.size()), text.size());
    EXPECT_EQ(tavplat::WriteGeneratedText(stream, "\n", 1), 1u);
    std::fclose(stream);
    EXPECT_EQ(tavplat::FileAccess(file.c_str(), 0), 0);
    EXPECT_EQ(tavplat::RenameFile(file.c_str(), renamed.c_str()), 0);
    EXPECT_TRUE(tavplat::FileAccess(file.c_str(), 0) != 0 && errno == ENOENT);
    EXPECT_EQ(ReadBinary(native / "sub" / "b.txt"), "[Section]\r\nkey=value\r\n\r\nlast\r\n");
    // A move into place replaces the file there; one that cannot be made says why in one line.
    WriteFile(native / "sub" / "new.txt", "new");
    const tavplat::FileOutcome moved = tavplat::MoveIntoPlace((sub + "\\new.txt").c_str(), renamed.c_str());
    EXPECT_TRUE(moved.Ok()) << moved.code << " " << moved.why;
    EXPECT_EQ(ReadBinary(native / "sub" / "b.txt"), "new");
    const tavplat::FileOutcome missing = tavplat::MoveIntoPlace((sub + "\\new.txt").c_str(), renamed.c_str());
    EXPECT_EQ(missing.code, WINDOWS ? 2 : ENOENT);
    EXPECT_TRUE(!missing.why.empty() && !missing.why.ends_with(".") && missing.why.find('\n') == std::string::npos)
        << missing.why;
    EXPECT_EQ(ReadBinary(native / "sub" / "b.txt"), "new");
    EXPECT_EQ(tavplat::RemoveFile(renamed.c_str()), 0);
    EXPECT_TRUE(tavplat::RemoveFile(renamed.c_str()) != 0 && errno == ENOENT);
}

TEST(Process, RunProgramGivesTheExitCodeOrMinusOneWhenNothingStarts) {
    EXPECT_EQ(tavplat::RunProgram("C:\\no\\such\\program.exe"), -1);
    // The host program without a parameter string refuses (and says so on the error stream).
    const char* bin = std::getenv("TAV_BIN_DIR");
    ASSERT_NE(bin, nullptr) << "TAV_BIN_DIR names the directory of tavsetup; ctest sets it";
    const std::string host = std::string(WINDOWS ? "Z:" : "") + bin + (WINDOWS ? "/tavsetup.exe" : "/tavsetup");
    EXPECT_EQ(tavplat::RunProgram(host.c_str()), 1) << host;
}

TEST(Process, PipesTheCurrentDirectoryAndTheEnvironment) {
    FILE* pipe = tavplat::OpenCommandPipe("echo hello");
    char line[64] = {};
    EXPECT_TRUE(pipe && std::fgets(line, sizeof line, pipe) && std::string(line).rfind("hello", 0) == 0) << line;
    EXPECT_EQ(pipe ? tavplat::CloseCommandPipe(pipe) : -1, 0);

    TempDir dir;
    // Past a first guess of the size; Windows' ANSI calls stop at 260 characters.
    const fs::path deep = dir.path() / std::string(WINDOWS ? 60 : 120, 'd') / std::string(WINDOWS ? 60 : 120, 'e');
    fs::create_directories(deep);
    ScopedCwd cwd(deep);
    EXPECT_TRUE(fs::equivalent(tavplat::CurrentDirectory(), deep)) << tavplat::CurrentDirectory();

    static char assignment[] = "TAV_PLATFORM_PROBE=first";
    ASSERT_EQ(tavplat::PutEnvironment(assignment), 0);
    EXPECT_STREQ(std::getenv("TAV_PLATFORM_PROBE"), "first");
    SetEnv("TAV_PLATFORM_PROBE", nullptr);
    for (const char* drive : {"Q:", static_cast<const char*>(nullptr)}) {
        ScopedEnv system("SystemDrive", drive);
        EXPECT_EQ(tavplat::SystemDriveRoot(), !WINDOWS ? "/" : drive ? "Q:\\" : "C:\\");
    }
    // A host installer sets variables with the system call, which the C runtime's copy does not see.
    for (const char* value : {"host", "", static_cast<const char*>(nullptr)}) {
#ifdef _WIN32
        SetEnvironmentVariableA("TAV_PLATFORM_PROBE", value);
#else
        SetEnv("TAV_PLATFORM_PROBE", value);
#endif
        EXPECT_EQ(tavplat::EnvironmentValue("TAV_PLATFORM_PROBE"), value ? std::optional<std::string>(value) : std::nullopt);
    }
}

TEST(Terminal, EchoIsOffForTheLifeOfTheObjectOnATerminalOnly) {
    TempDir dir;
    FILE* file = std::fopen(dir.file("plain").c_str(), "w+");
    EXPECT_FALSE(tavplat::EchoOff(file).Active());
    std::fclose(file);
#ifndef _WIN32
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    FILE* terminal = std::fopen(ptsname(master), "r");
    ASSERT_NE(terminal, nullptr);
    termios mode{};
    {
        tavplat::EchoOff off(terminal);
        EXPECT_TRUE(off.Active());
        tcgetattr(fileno(terminal), &mode);
        EXPECT_EQ(mode.c_lflag & (ECHO | ICANON), static_cast<tcflag_t>(ICANON));  // only the echo is off
    }
    tcgetattr(fileno(terminal), &mode);
    EXPECT_EQ(mode.c_lflag & (ECHO | ICANON), static_cast<tcflag_t>(ECHO | ICANON));
    std::fclose(terminal);
    close(master);
#endif
}
