// The staging of generated files: temporary names of a run's own, created
// exclusively and never through what is planted at them, the directory's
// lock, the journal of the moves, and who may read the files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "generate/ConfigurationWriter.h"
#include "generate/StagedFiles.h"
#include "generate/StagingJournal.h"
#include "platform/DirectoryLock.h"
#include "platform/FileSystem.h"
#include "text/Text.h"
#include "TestSupport.h"

#if defined(_WIN32)
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace tavtest;

namespace {

std::map<std::string, std::string> FilesIn(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& item : fs::directory_iterator(dir))
        if (item.is_regular_file()) files[item.path().filename().string()] = ReadBinary(item.path());
    return files;
}

// A generation of Oracle servers into "etc" of a temporary directory.
struct Generation {
    TempDir temp;
    ScopedCwd cwd{temp.path()};
    std::string etc = temp.file("etc");
    CInstallParams p;
    CMonitoredSet set;
    CReport console;
    CConfigurationWriter writer{p, set, console};
    explicit Generation(std::initializer_list<const char*> servers) {
        fs::create_directory(etc);
        p.SetStored("ETCPATH", etc.c_str());
        for (const char* name : servers) {
            auto entry = std::make_unique<CMonitoredServer>();
            entry->SetServerName(name);
            entry->SetLogin("sa");
            set.Add(std::move(entry), Family::Oracle);
        }
    }
    std::string Run(GenerationResult* result = nullptr) {
        testing::internal::CaptureStdout();
        const GenerationResult outcome = writer.GenerateConfiguration();
        if (result) *result = outcome;
        return testing::internal::GetCapturedStdout();
    }
    std::string EtcFile(const std::string& name) const { return etc + "\\" + name; }
};

}  // namespace

TEST(StagingNames, OnlyOurNamesAreOurs) {
    const std::string ours = tavgen::TemporaryName("C:\\etc\\Oracle_A.bat", 0x0123456789abcdefULL);
    EXPECT_EQ(ours, "C:\\etc\\Oracle_A.bat.0123456789abcdef.tavnovu.tmp");
    const std::pair<const char*, bool> ROWS[] = {
        {"Oracle_A.bat.0123456789abcdef.tavnovu.tmp", true},
        {"tavnovu.journal.00c0ffee1234ffff.tavnovu.tmp", true},
        {"Oracle_A.bat.0.tmp", false},                           // the names of old releases
        {"Oracle_A.bat.0123456789ABCDEF.tavnovu.tmp", false},    // we write lower case
        {"Oracle_A.bat.0123456789abcde.tavnovu.tmp", false},     // 15 digits
        {"Oracle_A.bat-0123456789abcdef.tavnovu.tmp", false},
        {".0123456789abcdef.tavnovu.tmp", false},                // no final name
        {"Oracle_A.bat.0123456789abcdeg.tavnovu.tmp", false},
    };
    for (const auto& [name, isOurs] : ROWS) EXPECT_EQ(tavgen::IsTemporaryName(name), isOurs) << name;
}

// Two sets of one directory never share a temporary name, also for one final name.
TEST(StagingNames, EveryFileOfEveryRunHasItsOwn) {
    TempDir temp;
    CStagedFileSet first, second;
    const std::string path = temp.file("out.ini");
    int files[] = {first.Open(path, "w"), first.Open(path, "w"), second.Open(path, "w")};
    for (int& file : files) ASSERT_GE(file, 0);
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(temp.path())) names.insert(item.path().filename().string());
    EXPECT_EQ(names.size(), 3u);
    for (const std::string& name : names) EXPECT_TRUE(tavgen::IsTemporaryName(name)) << name;
}

#if !defined(_WIN32)
namespace {

constexpr std::uint64_t FIXED_TOKEN = 0x00c0ffee12340000ULL;

// Every test that fixes the run's token sets it back.
struct FixedToken {
    FixedToken() { tavgen::FixRunTokenForTests(FIXED_TOKEN); }
    ~FixedToken() { tavgen::FixRunTokenForTests(0); }
};

// The nth name a run with the fixed token tries for path.
std::string NthName(const std::string& path, int n) { return tavgen::TemporaryName(path, FIXED_TOKEN + n); }

}  // namespace

// Whatever is planted at the names a run will use is skipped, never followed nor written: links to a file
// and to nowhere, a directory, a pipe (an open would block) and a file. Past the names a run tries it says why.
TEST(HostileDirectory, NothingPlantedIsFollowedOrOverwritten) {
    for (const int planted : {5, 16}) {
        SCOPED_TRACE(planted);
        FixedToken token;
        TempDir temp;
        const std::string victim = temp.file("victim.txt"), path = temp.file("out.ini");
        WriteFile(victim, "victim\n");
        fs::create_directory(temp.file("dir"));
        for (int n = 0; n < planted; ++n) {
            const std::string name = NthName(path, n);
            switch (n % 5) {
            case 0: fs::create_symlink(victim, name); break;
            case 1: fs::create_symlink(temp.file("nowhere"), name); break;
            case 2: fs::create_directory(name); break;
            case 3: ASSERT_EQ(mkfifo(name.c_str(), 0600), 0); break;
            case 4: fs::create_hard_link(victim, name); break;
            }
        }
        CStagedFileSet staged;
        int file = staged.Open(path, "w", tavplat::FileReaders::OWNER_ONLY);
        if (planted == 16) {
            EXPECT_EQ(file, -1);
            EXPECT_EQ(errno, EEXIST);
        } else {
            ASSERT_GE(file, 0);
            staged.WriteGenerated(file, "new\n");
            const int written = file;
            ASSERT_TRUE(staged.Close(file));
            ASSERT_TRUE(staged.Place(written).Ok());
            EXPECT_EQ(ReadBinary(path), "new\r\n");
        }
        staged.Discard();
        EXPECT_EQ(ReadBinary(victim), "victim\n");
        EXPECT_FALSE(fs::exists(temp.file("nowhere")));
        for (int n = 0; n < planted; ++n) EXPECT_TRUE(fs::exists(fs::symlink_status(NthName(path, n)))) << n;
    }
}

// Through a whole generation: the names of the batch file are planted; the files still come out whole.
TEST(HostileDirectory, AGenerationGoesRoundWhatIsPlanted) {
    FixedToken token;
    Generation g{"A"};
    const std::string victim = g.temp.file("victim.txt");
    WriteFile(victim, "victim\n");
    const std::string bat = (fs::path(g.etc) / "Oracle_A.bat").string();
    for (int n = 0; n < 4; ++n) fs::create_symlink(victim, NthName(bat, n));
    GenerationResult result;
    g.Run(&result);
    EXPECT_EQ(result.outcome, GenerationResult::CONFIGURED);
    EXPECT_EQ(ReadBinary(victim), "victim\n");
    EXPECT_FALSE(fs::is_symlink(bat));
    EXPECT_TRUE(ReadBinary(bat).ends_with("TUOAGENT -console -hkey \"TUO\\301\\A\"\r\n")) << ReadBinary(bat);
}

// Batch and agent files are the owner's alone whatever the umask; the include file and the settings copy
// take what the umask gives, as any file of the directory.
TEST(FileReaders, ModesUnderEveryUmask) {
    const struct {
        mode_t umask;
        mode_t agentFiles, include;
    } ROWS[] = {{000, 0600, 0666}, {022, 0600, 0644}, {077, 0600, 0600}, {0277, 0600, 0400}};
    for (const auto& row : ROWS) {
        SCOPED_TRACE(row.umask);
        Generation g{"A"};
        const mode_t saved = umask(row.umask);
        g.Run();
        umask(saved);
        const std::map<std::string, mode_t> WANTED = {
            {"Oracle_A.bat", row.agentFiles}, {"TUOVMA_A.ini", row.agentFiles}, {"tuoinc.ini", row.include}};
        for (const auto& [name, mode] : WANTED) {
            struct stat info;
            ASSERT_EQ(stat((fs::path(g.etc) / name).c_str(), &info), 0) << name;
            EXPECT_EQ(info.st_mode & 07777, mode) << name;
        }
    }
}

// A caller's own failed write is found at the close, even when the close has nothing left to write: whole
// blocks go to the disk at once. A file size limit fails them (SIGXFSZ ignored for the test).
TEST(StagedGeneration, ACallersFailedWriteIsFoundAtTheClose) {
    TempDir temp;
    CStagedFileSet staged;
    int file = staged.Open(temp.file("out.ini"), "w");
    ASSERT_GE(file, 0);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 4096;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::string blocks(16384, 'x');
    std::fwrite(blocks.data(), 1, blocks.size(), staged.Stream(file));
    const bool closed = staged.Close(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(staged.Failure().text.starts_with("Can't write '" + temp.file("out.ini") + "': ")) << staged.Failure().text;
}
#endif

// A run that finds the directory held waits up to TAVNOVU_LOCK_WAIT seconds, says so, then writes nothing
// and says which directory is busy. Once the holder lets go the lock file is gone and the run goes through.
TEST(RunLock, ABusyDirectoryIsWaitedForThenRefused) {
    Generation g{"A"};
    ScopedEnv wait("TAVNOVU_LOCK_WAIT", "1");
    tavplat::CDirectoryLock holder;
    ASSERT_EQ(holder.TryLock(g.etc), tavplat::CDirectoryLock::Attempt::HELD);
    GenerationResult result;
    const std::string said = g.Run(&result);
    EXPECT_EQ(result.outcome, GenerationResult::NOTHING_CONFIGURED);
    EXPECT_EQ(said, "Another configuration is running in '" + g.etc + "': waiting for it, up to 1 seconds\n"
                    "The configuration directory '" + g.etc + "' is busy: another run has held it for 1 seconds; "
                    "nothing was configured\n");
    EXPECT_EQ(FilesIn(g.etc).size(), 1u);  // the holder's lock file alone
    holder.Release();
    EXPECT_TRUE(fs::is_empty(g.etc));
    g.Run(&result);
    EXPECT_EQ(result.outcome, GenerationResult::CONFIGURED);
    EXPECT_EQ(FilesIn(g.etc).size(), 3u);
}

// A second lock on a held directory is refused, also in the same process; a directory that cannot take the
// lock file is no lock, and a run there goes on to fail as before.
TEST(RunLock, OneHolderAtATime) {
    TempDir temp;
    tavplat::CDirectoryLock first, second, nowhere;
    EXPECT_EQ(first.TryLock(temp.str()), tavplat::CDirectoryLock::Attempt::HELD);
    EXPECT_EQ(second.TryLock(temp.str()), tavplat::CDirectoryLock::Attempt::BUSY);
    first.Release();
    EXPECT_EQ(second.TryLock(temp.str()), tavplat::CDirectoryLock::Attempt::HELD);
    EXPECT_EQ(nowhere.TryLock(temp.file("missing")), tavplat::CDirectoryLock::Attempt::UNAVAILABLE);
}

// A run killed among its moves left its journal: the next one completes the moves whose temporary files
// are still there, says from when, and removes what no journal names (links and directories stay).
TEST(StagingJournal, TheNextRunCompletesTheMovesAndRemovesStaleFiles) {
    TempDir temp;
    const std::string dir = temp.file("etc");
    fs::create_directory(dir);
    auto in = [&](const std::string& name) { return dir + "\\" + name; };
    auto native = [&](const std::string& name) { return (fs::path(dir) / name).string(); };
    WriteFile(native("a.bat"), "old a");
    WriteFile(native("b.ini"), "old b");
    const std::string tempA = tavgen::TemporaryName(in("a.bat"), 0x1000), tempB = tavgen::TemporaryName(in("b.ini"), 0x1001);
    const std::string tempC = tavgen::TemporaryName(in("c.ini"), 0x1002);
    // a.bat was moved before the run ended: its temporary file is gone.
    WriteFile(tavplat::NativePath(tempB.c_str()), "new b");
    WriteFile(tavplat::NativePath(tempC.c_str()), "new c");
    // A journal orders only moves of our temporary files onto their own names in the directory.
    WriteFile(native("victim.txt"), "victim");
    const std::string outside = tavgen::TemporaryName(in("..\\d.ini"), 0x1003);
    ASSERT_TRUE(tavgen::WriteJournal(dir, {{tempA, in("a.bat")}, {tempB, in("b.ini")}, {in("victim.txt"), in("d.ini")},
                                           {outside, in("..\\d.ini")}, {tempC, in("c.ini")}}).Ok());
    WriteFile(tavplat::NativePath(outside.c_str()), "outside");
    fs::create_directory(native("sub"));
    const std::string stale = (fs::path(native("sub")) / "x.ini.00000000deadbeef.tavnovu.tmp").string();
    WriteFile(stale, "stale secret");
    fs::create_directory(native("y.ini.00000000deadbeef.tavnovu.tmp"));
    WriteFile(native("z.ini.0.tmp"), "not ours");

    CStagedFileSet staged;
    const DirectoryClaim claim = staged.Claim(dir, 0, nullptr);
    EXPECT_FALSE(staged.Failed()) << staged.Failure().text;
    EXPECT_FALSE(claim.completed_from.empty());
    const std::map<std::string, std::string> WANTED = {
        {"a.bat", "old a"}, {"b.ini", "new b"}, {"c.ini", "new c"}, {"victim.txt", "victim"}, {"z.ini.0.tmp", "not ours"}};
    std::map<std::string, std::string> files = FilesIn(dir);
    files.erase(tavplat::LOCK_FILE_NAME);
    EXPECT_EQ(files, WANTED);
    EXPECT_FALSE(fs::exists(temp.file("d.ini")));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::is_directory(native("y.ini.00000000deadbeef.tavnovu.tmp")));
    staged.Discard();
    EXPECT_FALSE(fs::exists(native(tavplat::LOCK_FILE_NAME)));
}

// A move of the journal that cannot be made leaves the journal for a later run and fails this one.
TEST(StagingJournal, AMoveThatCannotBeCompletedFailsTheRun) {
    TempDir temp;
    const std::string dir = temp.str(), final = dir + "\\held.ini";
    const std::string temporary = tavgen::TemporaryName(final, 0x2000);
    WriteFile(tavplat::NativePath(temporary.c_str()), "new");
    fs::create_directory(temp.file("held.ini"));
    ASSERT_TRUE(tavgen::WriteJournal(dir, {{temporary, final}}).Ok());
    CStagedFileSet staged;
    (void)staged.Claim(dir, 0, nullptr);
    ASSERT_TRUE(staged.Failed());
    EXPECT_TRUE(staged.Failure().text.starts_with("Can't replace '" + final + "': ")) << staged.Failure().text;
    EXPECT_NE(staged.Failure().text.find("(completing an interrupted configuration from "), std::string::npos);
    staged.Discard();
    EXPECT_TRUE(fs::exists(temp.file(tavgen::JOURNAL_NAME)));
}

#if defined(_WIN32)
namespace {

// A file's DACL, one "type SID full|mask [inherited]" entry per ACE; whether it is protected.
std::vector<std::string> DaclOf(const std::string& path, bool* isProtected) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::string> entries;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return {"unreadable"};
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    *isProtected = GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        char* sid = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || !ConvertSidToStringSidA(&ace->SidStart, &sid)) continue;
        const bool full = (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
        entries.push_back(std::to_string(ace->Header.AceType) + " " + sid + " " +
                          (full ? std::string("full") : tavtext::Format("%#lx", static_cast<unsigned long>(ace->Mask))) +
                          ((ace->Header.AceFlags & INHERITED_ACE) ? " inherited" : ""));
        LocalFree(sid);
    }
    LocalFree(descriptor);
    return entries;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace

// The batch file's security descriptor, read back: a protected DACL of SYSTEM and the Administrators with
// full control, and nothing else; the include file keeps what the directory gives.
TEST(FileReaders, ABatchFileHasAProtectedDaclOfSystemAndAdministrators) {
    Generation g{"A"};
    g.Run();
    bool batProtected = false, includeProtected = false;
    const std::vector<std::string> bat = DaclOf(g.EtcFile("Oracle_A.bat"), &batProtected);
    const std::vector<std::string> include = DaclOf(g.EtcFile("tuoinc.ini"), &includeProtected);
    // Wine 8 keeps no security descriptor on a Unix file system: it turns the DACL given into the file's
    // mode bits and, when asked, makes a DACL up from them (SYSTEM, the user, Everyone), the same for every
    // file. What it keeps, the mode bits, is checked by wine-concurrent-runs.sh.
    if (UnderWine() && bat == include)
        GTEST_SKIP() << "Wine keeps no security descriptor; it gives " << testing::PrintToString(bat);
    EXPECT_EQ(bat, (std::vector<std::string>{"0 S-1-5-18 full", "0 S-1-5-32-544 full"}));
    EXPECT_TRUE(batProtected);
    EXPECT_FALSE(includeProtected);
    EXPECT_NE(include, bat);
}
#endif
