// tavsetup: does what a host installer does. It loads the installation exit
// by its file name at run time, looks up TavSetUp by its undecorated name and
// calls it once with the parameter string, then exits with its result.
#include "Version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <io.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace {

using TavSetUpFunction = int (*)(int, const char*, int, char*);

constexpr int EXIT_LOAD_FAILURE = 3;
constexpr int EXIT_USAGE = 64;

#if defined(_WIN32)
constexpr const char* LIBRARY_FILE = "TAVNOVU.dll";
constexpr char PATH_SEPARATOR = '\\';
constexpr const char* LIST_SEPARATOR = ";";
#else
constexpr const char* LIBRARY_FILE = "libTAVNOVU.so";
constexpr char PATH_SEPARATOR = '/';
constexpr const char* LIST_SEPARATOR = ":";
#endif

const char* const USAGE =
    "Usage: tavsetup [--skip] [--directory DIR] [--output FILE] [--ini FILE]\n"
    "                [--library PATH] [--registry FILE]... [--answers FILE] PARMS...\n"
    "\n"
    "Loads the installation exit and calls TavSetUp(skip, FILE, 0, \"PARMS\") as a host\n"
    "installer does, then exits with its result.\n"
    "\n"
    "  PARMS            the installer's parameter string: logfile product version\n"
    "                   [description]. The arguments are joined with single blanks,\n"
    "                   so they may be given as one quoted argument or as several.\n"
    "                   product is one of ora oracle tuo (Oracle), syb sybase tus\n"
    "                   (Sybase), sql tum mssql (Microsoft SQL Server), informix tui\n"
    "                   ifx (Informix). No PARMS passes an empty string.\n"
    "  --skip           call with skip set: only the runtime set-up runs.\n"
    "  --directory DIR  work in DIR, which takes the setup log, tavtset.ini and the\n"
    "                   library's own files; relative names in the other options\n"
    "                   and PARMS are then taken from DIR.\n"
    "  --output FILE    append what the run prints (standard output and the error\n"
    "                   stream) to FILE, for a host that shows no console.\n"
    "  --ini FILE       the installer's settings file; its [Local Settings] sections\n"
    "                   are copied into tavtset.ini in the current directory.\n"
    "  --library PATH   the library to load (default: " /* file */ "%s beside this program).\n"
    "  --registry FILE  a registry snapshot (.reg file) to read as HKEY_LOCAL_MACHINE;\n"
    "                   repeatable. Sets TAVNOVU_REGISTRY. POSIX only: on Windows the\n"
    "                   machine's own registry is read.\n"
    "  --answers FILE   an answers file that plays the dialogs (unattended install).\n"
    "                   Sets TAVNOVU_ANSWERS.\n"
    "  --help           this text.\n"
    "\n"
    "Exit status: 0 done, 1 refused, cancelled, or a file could not be written or\n"
    "put in place (the setup log says which), 2 the setup log could not be opened,\n"
    "3 the library could not be loaded or has no TavSetUp, 64 bad usage or a DIR\n"
    "that cannot be entered. A result other than 0 is explained on the error stream.\n"
    "The library itself may end the process with 4 (out of memory) or 100/110\n"
    "(an include file could not be opened).\n"
    "\n"
    "Environment read by the library (passed through unchanged):\n"
    "  CELLNAME, COMPUTERNAME, PORTNUMBER     install parameters (port default 1999)\n"
    "  ETCPATH, LOGPATH, DLLPATH, BINPATH     install paths, unless the maker's\n"
    "                                         registry keys name them\n"
    "  COLL_DEBUG                             trace levels, e.g. -xd turns on\n"
    "                                         category 0 and the ixcfg.out file\n"
    "  COLL_HOME COLL_CTL_HOME COLL_BINPATH COLL_OUT COLL_HOSTNAME COLL_SERVERID\n"
    "  COLL_LOGON COLL_LOGONID COLL_PASSWORD COLL_ERRORLOG COLL_VERSION\n"
    "  COLL_VERSION_HOME COLL_PREFIX COLL_PREFIX_LOCAL COLL_USESHM COLL_NOSIGNALS\n"
    "  COLL_NOSEC COLL_DBHOME COLL_DBVERSION TAVCFGDIR TAVLOGDIR MAXREADSZ_ERRORLOG\n"
    "  USERNAME HOMEDRIVE HOMEPATH TEMP       collector runtime settings\n"
    "  COLL_NUMOUTBAK COLL_WRAPLINES          message file backups and wrapping\n"
    "  COLL_ZEROMEM                           1 zero-fills every allocation\n"
    "  TAVNOVU_REGISTRY                       POSIX: ':'-separated registry snapshots\n"
    "  TAVNOVU_DRIVES                         POSIX: directory standing for the drives\n"
    "                                         (C:\\x is <dir>/c/x)\n"
    "  TAVNOVU_SERVICES                       with snapshots: the services' states,\n"
    "                                         one \"NAME STATE\" line each\n"
    "  TAVNOVU_ANSWERS                        answers file for an unattended install\n"
    "  TAVNOVU_LOCK_WAIT                      seconds to wait for another run in the\n"
    "                                         configuration directory (default 120)\n"
    "  TAVNOVU_TEST_STOP_AT                   test hook: temp:N, journal or move:N ends\n"
    "                                         the process at that point of the writing\n";

struct Options {
    bool skip = false;
    std::string directory;
    std::string output;
    std::string ini;
    std::string library;
    std::vector<std::string> registries;
    std::string answers;
    std::string parms;
};

std::string ProgramDirectory(const char* argv0) {
    std::string path;
#if defined(_WIN32)
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) break;
        if (n < buffer.size()) {
            path.assign(buffer.data(), n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n > 0) path.assign(buffer.data(), static_cast<size_t>(n));
#endif
    if (path.empty()) path = argv0 ? argv0 : "";
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

// How a step of the program ended: done, or the exit status it ends the
// program with and the line that tells the person why; main says it once.
struct [[nodiscard]] Step {
    int exitCode = 0;
    std::string why;

    bool Ok() const { return exitCode == 0; }
    static Step Done() { return Step(); }
    static Step Failed(int exitCode, std::string why) { return Step{exitCode, std::move(why)}; }
};

Step SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    if (_putenv_s(name, value.c_str()) == 0) return Step::Done();
#else
    if (setenv(name, value.c_str(), 1) == 0) return Step::Done();
#endif
    return Step::Failed(EXIT_USAGE, std::string("cannot set ") + name + ": " + std::strerror(errno));
}

Step ParseArguments(int argc, char** argv, Options& options, bool& help) {
    std::vector<std::string> parms;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i) parms.push_back(argv[i]);
            break;
        } else if (arg == "--help" || arg == "-h") {
            help = true;
            return Step::Done();
        } else if (arg == "--skip") {
            options.skip = true;
        } else if (arg == "--directory" || arg == "--output" || arg == "--ini" || arg == "--library" ||
                   arg == "--registry" || arg == "--answers") {
            if (i + 1 >= argc) return Step::Failed(EXIT_USAGE, arg + " needs a value");
            const char* value = argv[++i];
            if (arg == "--directory") options.directory = value;
            else if (arg == "--output") options.output = value;
            else if (arg == "--ini") options.ini = value;
            else if (arg == "--library") options.library = value;
            else if (arg == "--registry") options.registries.push_back(value);
            else options.answers = value;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            return Step::Failed(EXIT_USAGE, "unknown option " + arg + " (see --help)");
        } else {
            parms.push_back(arg);
        }
    }
    for (size_t k = 0; k < parms.size(); ++k) {
        if (k) options.parms += ' ';
        options.parms += parms[k];
    }
    return Step::Done();
}

Step ExportSettings(const Options& options) {
    if (!options.registries.empty()) {
#if defined(_WIN32)
        return Step::Failed(EXIT_USAGE,
                            "--registry serves POSIX builds; on Windows import the snapshot with regedit /S");
#else
        std::string list;
        for (const std::string& file : options.registries) {
            if (!list.empty()) list += LIST_SEPARATOR;
            list += file;
        }
        if (Step set = SetEnvironment("TAVNOVU_REGISTRY", list); !set.Ok()) return set;
#endif
    }
    if (!options.answers.empty()) return SetEnvironment("TAVNOVU_ANSWERS", options.answers);
    return Step::Done();
}

// A snapshot named on the command line is what the person asked for: one that
// cannot be read stops the program before the library runs on an empty registry.
Step CheckSnapshots(const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        errno = 0;
        std::FILE* snapshot = std::fopen(file.c_str(), "rb");
        bool readable = snapshot != nullptr;
        if (snapshot) {
            std::fgetc(snapshot);  // a directory opens on POSIX, and fails here
            readable = !std::ferror(snapshot);
            std::fclose(snapshot);
        }
        if (!readable)
            return Step::Failed(EXIT_USAGE, "cannot read the registry snapshot " + file + ": " +
                                                std::strerror(errno ? errno : EIO));
    }
    return Step::Done();
}

// A host that cannot choose the working directory of the programs it runs
// (a Windows Installer custom action) names it here.
Step ChangeDirectory(const std::string& directory) {
#if defined(_WIN32)
    if (SetCurrentDirectoryA(directory.c_str())) return Step::Done();
    return Step::Failed(EXIT_USAGE, "cannot work in " + directory + " (error " + std::to_string(GetLastError()) + ")");
#else
    if (chdir(directory.c_str()) == 0) return Step::Done();
    return Step::Failed(EXIT_USAGE, "cannot work in " + directory + ": " + std::strerror(errno));
#endif
}

// Both streams go to the end of the file, unbuffered so that their lines keep their order.
Step RedirectOutput(const std::string& file) {
    if (!std::freopen(file.c_str(), "a", stdout))
        return Step::Failed(EXIT_USAGE, "cannot write " + file + ": " + std::strerror(errno));
    std::setvbuf(stdout, nullptr, _IONBF, 0);
#if defined(_WIN32)
    const bool joined = _dup2(_fileno(stdout), _fileno(stderr)) == 0;
#else
    const bool joined = dup2(fileno(stdout), fileno(stderr)) >= 0;
#endif
    if (joined) return Step::Done();
    return Step::Failed(EXIT_USAGE, "cannot send the error stream to " + file + ": " + std::strerror(errno));
}

// A person reading the output later learns what the result means.
void TellResult(int result) {
    if (result == 0) return;
    const char* meaning = result == 1   ? "refused or cancelled, or the files could not be written; the setup log says which"
                          : result == 2 ? "the setup log could not be opened; nothing was configured"
                                        : "not a result TavSetUp documents";
    std::fprintf(stderr, "tavsetup: TavSetUp returned %d: %s\n", result, meaning);
}

// The library's export, or why there is none.
struct LoadedExport {
    TavSetUpFunction function = nullptr;
    Step step;
};

LoadedExport LoadTavSetUp(const std::string& library) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(library.c_str());
    if (!module)
        return {nullptr, Step::Failed(EXIT_LOAD_FAILURE, "cannot load " + library + " (error " +
                                                             std::to_string(GetLastError()) + ")")};
    auto function = reinterpret_cast<TavSetUpFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "TavSetUp")));
#else
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return {nullptr, Step::Failed(EXIT_LOAD_FAILURE, "cannot load " + library + ": " + dlerror())};
    auto function = reinterpret_cast<TavSetUpFunction>(dlsym(module, "TavSetUp"));
#endif
    if (!function) return {nullptr, Step::Failed(EXIT_LOAD_FAILURE, library + " has no export named TavSetUp")};
    return {function, Step::Done()};
}

// Says why the program stops, once, and gives its exit status.
int Stop(const Step& step) {
    std::fprintf(stderr, "tavsetup: %s\n", step.why.c_str());
    return step.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tavsetup %s\n", TAV_VERSION);  // the project's version (Version.h, from CMake)
        return 0;
    }
    Options options;
    bool help = false;
    if (Step parsed = ParseArguments(argc, argv, options, help); !parsed.Ok()) return Stop(parsed);
    if (help) {
        std::printf(USAGE, LIBRARY_FILE);
        return 0;
    }
    if (Step exported = ExportSettings(options); !exported.Ok()) return Stop(exported);
    if (options.library.empty())
        options.library = ProgramDirectory(argv[0]) + PATH_SEPARATOR + LIBRARY_FILE;
    const Step entered = options.directory.empty() ? Step::Done() : ChangeDirectory(options.directory);
    if (!entered.Ok()) return Stop(entered);
    if (Step read = CheckSnapshots(options.registries); !read.Ok()) return Stop(read);
    const Step redirected = options.output.empty() ? Step::Done() : RedirectOutput(options.output);
    if (!redirected.Ok()) return Stop(redirected);

    const LoadedExport loaded = LoadTavSetUp(options.library);
    if (!loaded.step.Ok()) return Stop(loaded.step);

    // The library splits the string in place: hand it a writable copy.
    std::vector<char> parms(options.parms.begin(), options.parms.end());
    parms.push_back('\0');
    int result = loaded.function(options.skip ? 1 : 0, options.ini.c_str(), 0, parms.data());
    std::fflush(stdout);
    TellResult(result);
    return result;
}
