// Times TavSetUp: a call with skip set, and a full run up to the product
// keyword (an unknown keyword ends the run there), over many calls each.
// Prints the median per call. Run it under `strace -f -e trace=process` to see
// that a run starts no child process.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "setup/SetupRun.h"

namespace {

double MedianMicroseconds(int calls, int skip, const std::string& parms, const char* ini) {
    std::vector<double> samples;
    samples.reserve(calls);
    for (int i = 0; i < calls; ++i) {
        std::vector<char> buffer(parms.begin(), parms.end());
        buffer.push_back('\0');
        auto start = std::chrono::steady_clock::now();
        TavSetUp(skip, ini, 0, buffer.data());
        auto stop = std::chrono::steady_clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    auto dir = std::filesystem::temp_directory_path() / "tav-bench-setup";
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    {
        FILE* ini = std::fopen("installer.ini", "w");
        if (!ini) return 1;
        std::fputs("[Other]\nX=1\n[Local Settings]\nTNC_TRACE=0\nKEEP=%s\n\n[Other2]\nY=2\n", ini);
        std::fclose(ini);
    }
    // Keep the console quiet: the run prints its lines on standard output.
    if (!std::freopen(
#if defined(_WIN32)
            "NUL",
#else
            "/dev/null",
#endif
            "w", stdout))
        return 1;

    double skip = MedianMicroseconds(calls, 1, "setup.log oracle 9.2", "installer.ini");
    double run = MedianMicroseconds(calls, 0, "setup.log nosuchproduct 9.2 Bench run", "installer.ini");
    std::fprintf(stderr, "TavSetUp with skip:             median %.2f us per call (%d calls)\n", skip, calls);
    std::fprintf(stderr, "TavSetUp run up to the keyword: median %.2f us per call (%d calls)\n", run, calls);
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(dir);
    return 0;
}
