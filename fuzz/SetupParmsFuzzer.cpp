// Fuzz target: the parameter string of TavSetUp, "logfile product version
// [description]". Every run happens in a fresh working directory, unattended
// (an answers file that adds a server and plays to OK), with a settings file,
// on a machine whose registry is empty: a snapshot read would cost more than
// the rest of the run, and discovery does not depend on the string. TavSetUp
// must return 0, 1 or 2 and write nothing outside that directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "setup/SetupRun.h"

namespace {

namespace fs = tavfuzz::fs;

constexpr const char* ANSWERS = "[new EXTRA]\nlogin = tavmon\npassword = secret\nversion = 1.0\n[ok]\n";
const char* const ENVIRONMENT[][2] = {
    {"COMPUTERNAME", "DBHOST"},         {"CELLNAME", "EAST"},           {"PORTNUMBER", "1918"},
    {"ETCPATH", "C:\\Agents\\etc"},     {"LOGPATH", "C:\\Agents\\logs"}, {"BINPATH", "C:\\Agents\\bin"},
    {"DLLPATH", "C:\\Agents\\dll"},
};

fs::path Run() { return tavfuzz::Scratch() / "run"; }
fs::path Inputs() { return tavfuzz::Scratch() / "inputs"; }

// The scratch directory but the run's own: names, sizes and change times.
std::map<std::string, std::string> Outside() {
    std::map<std::string, std::string> listing;
    struct stat top {};
    stat(tavfuzz::Scratch().c_str(), &top);
    listing[""] = std::to_string(top.st_mtim.tv_sec) + "." + std::to_string(top.st_mtim.tv_nsec);
    for (const auto& entry : fs::recursive_directory_iterator(Inputs())) {
        struct stat info {};
        lstat(entry.path().c_str(), &info);
        listing[entry.path().string()] = std::to_string(info.st_size) + " " + std::to_string(info.st_mtim.tv_sec) +
                                         "." + std::to_string(info.st_mtim.tv_nsec);
    }
    for (const auto& entry : fs::directory_iterator(tavfuzz::Scratch()))
        listing.emplace(entry.path().string(), "");
    return listing;
}

// The installer names its log itself and may put it anywhere; a log that
// would lie outside the working directory (an absolute path, or one that
// climbs) is not this target's concern.
bool LogStaysInside(const std::string& parms) {
    const size_t first = parms.find_first_not_of(' ');
    return parms.find("..") == std::string::npos &&
           (first == std::string::npos || (parms[first] != '/' && parms[first] != '\\'));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directories(Inputs());
    tavfuzz::WriteFile(Inputs() / "answers.txt", ANSWERS);
    fs::copy_file(FUZZ_FIXTURES "/e2e/oracle/setup.ini", Inputs() / "setup.ini");
    setenv("TAVNOVU_REGISTRY", "", 1);
    setenv("TAVNOVU_ANSWERS", (Inputs() / "answers.txt").c_str(), 1);
    setenv("TAVNOVU_DRIVES", (Run() / "drives").c_str(), 1);
    for (const auto& variable : ENVIRONMENT) setenv(variable[0], variable[1], 1);
    unsetenv("COLL_DEBUG");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = tavfuzz::Text(data, size);
    std::string parms = input.substr(0, input.find('\0'));  // a C string ends at its NUL
    if (!LogStaysInside(parms)) return -1;

    fs::remove_all(Run());
    fs::create_directories(Run() / "drives" / "c" / "Agents" / "etc");
    const auto before = Outside();
    int result;
    {
        tavfuzz::InDirectory in(Run());
        result = TavSetUp(0, (Inputs() / "setup.ini").c_str(), 0, parms.data());
    }
    FUZZ_CHECK(result == 0 || result == 1 || result == 2, "TavSetUp returned %d for \"%s\"", result, parms.c_str());
    FUZZ_CHECK(Outside() == before, "TavSetUp wrote outside its working directory for \"%s\"", parms.c_str());
    return 0;
}
