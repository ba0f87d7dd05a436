// An unattended install over many discovered Sybase servers: an answers file
// holding "[monitor *]" and "[ok]" played through the answers view and the
// selection dialog, as tavsetup --answers plays it, then the generation of
// every server's files into a temporary directory. Times 1,000 and 20,000
// servers; a run whose cost grows with the count alone takes about 20 times
// as long for the second, one with a step that grows with its square far
// longer. The figures go to standard output; the exit status is 1 when the
// ratio is above 25. The files go below TMPDIR: on a disk other programs keep
// busy their times vary with the disk, on a memory file system (/dev/shm)
// they measure the program. "bench_monitor N" times N servers alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dialogs/SelectionDialog.h"
#include "discovery/ServerList.h"
#include "generate/ConfigurationWriter.h"
#include "generate/InstallParams.h"
#include "monitor/MonitoredSet.h"
#include "report/Report.h"
#include "views/AnswersView.h"

namespace fs = std::filesystem;

namespace {

constexpr int SMALL = 1000;
constexpr int LARGE = 20000;
constexpr double RATIO_GOAL = 25.0;
constexpr const char* ANSWERS = "# every discovered server, the default account\n[monitor *]\n[ok]\n";

using Clock = std::chrono::steady_clock;

struct Times {
    double play = 0, generate = 0;
    double Total() const { return play + generate; }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// count servers as discovery files them, their names out of sorted order.
void Discover(CDbServerList& servers, int count) {
    for (int i = 0; i < count; ++i) {
        const std::string name = "SYB" + std::to_string((static_cast<long long>(i) * 7919) % count);
        auto server = std::make_unique<CSybaseServer>();
        server->SetServerName(name.c_str());
        server->SetServiceName(("SYBSQL_" + name).c_str());
        server->SetErrorlogName(("C:\\sybase\\install\\" + name + ".log").c_str());
        server->SetDollarServer("C:\\sybase");
        server->SetServerVersion(i % 2 ? "12.5.1" : "11.9.2");
        servers.Add(std::move(server), Family::Sybase);
    }
}

// One install over count servers, its files written below etc; false when it fails.
bool InstallOnce(int count, const fs::path& etc, Times* times) {
    QuietReport quiet;
    CDbServerList servers;
    Discover(servers, count);

    CMonitoredSet monitored;
    CServerSelectDlg dialog(Family::Sybase, servers, monitored);
    const Clock::time_point played = Clock::now();
    const tavview::SelectOutcome ended = tavview::RunAnswersSelectText(dialog, ANSWERS, "answers.txt", quiet);
    const int result = ended.result;
    const Status& failure = ended.failure;
    times->play = Seconds(played);
    if (result != DIALOG_OK || monitored.Count(Family::Sybase) != count) {
        std::fprintf(stderr, "the answers did not monitor %d servers: %d, %s\n", count, result, failure.text.c_str());
        return false;
    }

    CInstallParams params;
    params.SetStored("ETCPATH", etc.string().c_str());
    params.SetStored("BINPATH", "C:\\veltra\\bin");
    params.SetStored("COMPUTERNAME", "BENCHHOST");
    CConfigurationWriter writer(params, monitored, quiet);
    const Clock::time_point generated = Clock::now();
    const GenerationResult outcome = writer.GenerateConfiguration();
    times->generate = Seconds(generated);
    if (outcome.outcome != GenerationResult::CONFIGURED) {
        std::fprintf(stderr, "the generation for %d servers failed\n", count);
        return false;
    }
    return true;
}

// The run with the median total of rounds runs, each into a fresh directory.
bool Measure(const fs::path& base, int count, int rounds, Times* median) {
    std::vector<Times> runs;
    for (int round = 0; round < rounds; ++round) {
        const fs::path etc = base / ("etc-" + std::to_string(count));
        fs::remove_all(etc);
        fs::create_directories(etc);
        Times times;
        if (!InstallOnce(count, etc, &times)) return false;
        runs.push_back(times);
        fs::remove_all(etc);
    }
    std::sort(runs.begin(), runs.end(), [](const Times& a, const Times& b) { return a.Total() < b.Total(); });
    *median = runs[runs.size() / 2];
    return true;
}

void Print(int count, const Times& times) {
    std::printf("%6d servers: %8.3f s  (answers played %7.3f s, files generated %7.3f s)\n", count, times.Total(),
                times.play, times.generate);
}

}  // namespace

int main(int argc, char** argv) {
    // One count given: that run alone, for a profiler.
    const int only = argc > 1 ? std::atoi(argv[1]) : 0;
    std::random_device seed;
    const fs::path base = fs::temp_directory_path() / ("tavbench-monitor-" + std::to_string(seed() % 1000000));
    fs::create_directories(base);
    const fs::path previous = fs::current_path();
    fs::current_path(base);  // "tavtset.ini" is read from the current directory; there is none

    Times small, large;
    const bool measured = only > 0 ? Measure(base, only, 1, &small)
                                   : Measure(base, SMALL, 3, &small) && Measure(base, LARGE, 1, &large);
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(base, ignored);
    if (!measured) return 2;

    if (only > 0) {
        Print(only, small);
        return 0;
    }
    Print(SMALL, small);
    Print(LARGE, large);
    const double ratio = large.Total() / small.Total();
    std::printf("ratio: %.1f for %d times the servers (goal: at most %.0f)\n", ratio, LARGE / SMALL, RATIO_GOAL);
    return ratio <= RATIO_GOAL ? 0 : 1;
}
