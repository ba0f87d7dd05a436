// Generation of the agent files for 1,000 monitored Sybase servers (1,000
// batch files, 1,000 configuration files, one include file), against a
// baseline that writes the same bytes to the same number of files with plain
// fwrite. The generator's progress lines go to a file; the figures go to the
// error stream.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "generate/tavixdcl.h"

namespace fs = std::filesystem;

namespace {

constexpr int SERVERS = 1000;
constexpr int ROUNDS = 5;

using Clock = std::chrono::steady_clock;

fs::path FreshDirectory(const fs::path& base, const std::string& name) {
    fs::path dir = base / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

double GenerateOnce(const fs::path& etc) {
    CInstallParams params;
    params.SetStored("ETCPATH", etc.string().c_str());
    params.SetStored("BINPATH", "C:\\veltra\\bin");
    params.SetStored("PORTNUMBER", "1999");
    params.SetStored("COMPUTERNAME", "BENCHHOST");
    for (int i = 0; i < SERVERS; ++i) {
        auto* entry = new CMonitoredServer;
        const std::string name = "SYB" + std::to_string(i);
        entry->SetServerName(name.c_str());
        entry->SetErrorlogName(("C:\\sybase\\install\\" + name + ".log").c_str());
        entry->SetDollarServer("C:\\sybase");
        entry->SetServerVersion(i % 2 ? "12.5.1" : "11.9.2");
        entry->SetLogin("sa");
        entry->SetPassword("c2VjcmV0");
        params.AddMonitored(entry, 2);
    }
    const auto start = Clock::now();
    params.GenerateConfiguration();
    return std::chrono::duration<double>(Clock::now() - start).count();
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

double BaselineOnce(const fs::path& dir, const std::map<fs::path, std::string>& files) {
    const auto start = Clock::now();
    for (const auto& [name, text] : files) {
        FILE* out = std::fopen((dir / name).string().c_str(), "wb");
        if (!out) continue;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
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

    std::vector<double> generated, baseline;
    std::map<fs::path, std::string> files;
    for (int round = 0; round < ROUNDS; ++round) {
        const fs::path etc = FreshDirectory(base, "gen");
        generated.push_back(GenerateOnce(etc));
        if (files.empty()) files = ReadTree(etc);
        const fs::path plain = FreshDirectory(base, "plain");
        baseline.push_back(BaselineOnce(plain, files));
    }
    size_t bytes = 0;
    for (const auto& [name, text] : files) bytes += text.size();

    std::sort(generated.begin(), generated.end());
    std::sort(baseline.begin(), baseline.end());
    const double gen = generated[ROUNDS / 2], plain = baseline[ROUNDS / 2];
    std::fprintf(stderr, "files per round:        %zu (%zu bytes)\n", files.size(), bytes);
    std::fprintf(stderr, "generation, median:     %.3f ms total, %.2f us per server\n", gen * 1e3,
                 gen * 1e6 / SERVERS);
    std::fprintf(stderr, "plain fwrite, median:   %.3f ms total, %.2f us per server\n", plain * 1e3,
                 plain * 1e6 / SERVERS);
    std::fprintf(stderr, "ratio to baseline:      %.2fx (goal: at most 1.5x)\n", gen / plain);

    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
