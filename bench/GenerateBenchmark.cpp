// Generation of the agent files for 1,000 monitored Sybase servers (1,000
// batch files, 1,000 configuration files, one include file), against a
// baseline that writes the same bytes to the same number of files with plain
// fwrite, and the same baseline with every file flushed to the disk as the
// generation flushes its files: the difference of the two baselines is what
// the flushing costs. The generator's progress lines go to a file; the
// figures go to the error stream.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "generate/ConfigurationWriter.h"
#include "generate/InstallParams.h"
#include "monitor/MonitoredSet.h"
#include "report/Report.h"

namespace fs = std::filesystem;

namespace {

constexpr int SERVERS = 1000;
constexpr int ROUNDS = 15;

using Clock = std::chrono::steady_clock;

// Processor time of the process (user and system) where the C library gives
// it; a loaded machine stretches the wall time of both sides unevenly.
struct Times {
    double wall = 0, cpu = 0;
};

struct Stopwatch {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
    Times Elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - wall).count(),
                static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC};
    }
};

fs::path FreshDirectory(const fs::path& base, const std::string& name) {
    fs::path dir = base / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Times GenerateOnce(const fs::path& etc) {
    CInstallParams params;
    params.SetStored("ETCPATH", etc.string().c_str());
    params.SetStored("BINPATH", "C:\\veltra\\bin");
    params.SetStored("PORTNUMBER", "1999");
    params.SetStored("COMPUTERNAME", "BENCHHOST");
    CMonitoredSet monitored;
    for (int i = 0; i < SERVERS; ++i) {
        auto entry = std::make_unique<CMonitoredServer>();
        const std::string name = "SYB" + std::to_string(i);
        entry->SetServerName(name.c_str());
        entry->SetErrorlogName(("C:\\sybase\\install\\" + name + ".log").c_str());
        entry->SetDollarServer("C:\\sybase");
        entry->SetServerVersion(i % 2 ? "12.5.1" : "11.9.2");
        entry->SetLogin("sa");
        entry->SetPassword("c2VjcmV0");
        monitored.Add(std::move(entry), Family::Sybase);
    }
    CReport console;
    CConfigurationWriter writer(params, monitored, console);
    const Stopwatch watch;
    writer.GenerateConfiguration();
    return watch.Elapsed();
}

std::map<fs::path, std::string> ReadTree(const fs::path& root) {
    std::map<fs::path, std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_regular_file()) continue;
        FILE* in = std::fopen(item.path().string().c_str(), "rb");
        if (!in) continue;
        std::string text;
        char block[8192];
        size_t got;
        while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
        std::fclose(in);
        files[fs::relative(item.path(), root)] = text;
    }
    return files;
}

// Subdirectories the reference holds, made before the clock starts.
void MakeDirectories(const fs::path& dir, const std::map<fs::path, std::string>& files) {
    for (const auto& item : files) fs::create_directories((dir / item.first).parent_path());
}

Times BaselineOnce(const fs::path& dir, const std::map<fs::path, std::string>& files, bool flush) {
    const Stopwatch watch;
    for (const auto& [name, text] : files) {
        FILE* out = std::fopen((dir / name).string().c_str(), "wb");
        if (!out) continue;
        std::fwrite(text.data(), 1, text.size(), out);
        if (flush) {
            std::fflush(out);
#if defined(_WIN32)
            _commit(_fileno(out));
#else
            fsync(fileno(out));
#endif
        }
        std::fclose(out);
    }
    return watch.Elapsed();
}

double Median(std::vector<Times> rounds, double Times::*field) {
    std::sort(rounds.begin(), rounds.end(), [field](const Times& a, const Times& b) { return a.*field < b.*field; });
    return rounds[rounds.size() / 2].*field;
}

}  // namespace

int main() {
    std::random_device seed;
    const fs::path base = fs::temp_directory_path() / ("tavbench-" + std::to_string(seed() % 1000000));
    fs::create_directories(base);
    const fs::path previous = fs::current_path();
    fs::current_path(base);  // "tavtset.ini" is read from the current directory
    if (FILE* settings = std::fopen("tavtset.ini", "wb")) {
        std::fputs("[Local Settings]\nCOLL_DEBUG=-xd\nTNC_TIMEOUT=30\nCOLL_NOSEC=1\nLABEL=100%s\n", settings);
        std::fclose(settings);
    }
    if (!std::freopen((base / "console.txt").string().c_str(), "w", stdout)) {
        std::fprintf(stderr, "cannot redirect the progress lines\n");
        return 1;
    }

    // The reference bytes: one generation's files.
    const fs::path reference = FreshDirectory(base, "ref");
    GenerateOnce(reference);
    const std::map<fs::path, std::string> files = ReadTree(reference);

    // Both sides get fresh directories made before either is timed, and they
    // take turns going first, so that neither pays for the other's clean-up.
    std::vector<Times> generated, baseline, flushed;
    for (int round = 0; round < ROUNDS; ++round) {
        const fs::path etc = FreshDirectory(base, "gen");
        const fs::path plain = FreshDirectory(base, "plain");
        const fs::path synced = FreshDirectory(base, "flushed");
        MakeDirectories(plain, files);
        MakeDirectories(synced, files);
        if (round % 2) {
            baseline.push_back(BaselineOnce(plain, files, false));
            flushed.push_back(BaselineOnce(synced, files, true));
            generated.push_back(GenerateOnce(etc));
        } else {
            generated.push_back(GenerateOnce(etc));
            flushed.push_back(BaselineOnce(synced, files, true));
            baseline.push_back(BaselineOnce(plain, files, false));
        }
    }
    size_t bytes = 0;
    for (const auto& [name, text] : files) bytes += text.size();

    std::fprintf(stderr, "files per round:  %zu (%zu bytes), %d rounds, medians per server\n", files.size(),
                 bytes, ROUNDS);
    const double genWall = Median(generated, &Times::wall), plainWall = Median(baseline, &Times::wall);
    const double genCpu = Median(generated, &Times::cpu), plainCpu = Median(baseline, &Times::cpu);
    std::fprintf(stderr, "generation:       %8.2f us wall, %8.2f us processor\n", genWall * 1e6 / SERVERS,
                 genCpu * 1e6 / SERVERS);
    std::fprintf(stderr, "plain fwrite:     %8.2f us wall, %8.2f us processor\n", plainWall * 1e6 / SERVERS,
                 plainCpu * 1e6 / SERVERS);
    const double syncWall = Median(flushed, &Times::wall), syncCpu = Median(flushed, &Times::cpu);
    std::fprintf(stderr, "fwrite and flush: %8.2f us wall, %8.2f us processor\n", syncWall * 1e6 / SERVERS,
                 syncCpu * 1e6 / SERVERS);
    std::fprintf(stderr, "flushing costs:   %8.2f us wall per server (%zu files)\n",
                 (syncWall - plainWall) * 1e6 / SERVERS, files.size());
    std::fprintf(stderr, "ratio:            %8.2fx wall, %7.2fx processor (goal: at most 1.5x)\n",
                 genWall / plainWall, plainCpu > 0 ? genCpu / plainCpu : 0.0);
    std::fprintf(stderr, "ratio, flushed:   %8.2fx wall, %7.2fx processor (both sides flush every file)\n",
                 genWall / syncWall, syncCpu > 0 ? genCpu / syncCpu : 0.0);

    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
