// Loads a large synthetic registry export into the in-memory registry and runs
// Oracle discovery over it. Writes a UTF-16LE "Windows Registry Editor
// Version 5.00" file of the asked size (default 100 MB) with many keys and
// values of every kind, plus a few Oracle homes, into a temporary directory;
// prints the load rate, the peak memory against the file size, and the time
// of DiscoverOracle.
// Usage: bench_regload [megabytes [file]]; a file named is made once and kept.
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "discovery/Discovery.h"
#include "registry/MemoryRegistry.h"

#ifdef _WIN32
long PeakResidentKilobytes() { return -1; }  // not measured in the Windows build
#else
#include <sys/resource.h>
long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // kilobytes on Linux
}
#endif

namespace {

constexpr double MB = 1000.0 * 1000.0;

// Writes text as UTF-16LE through a small buffer, so that making the file
// does not itself raise the peak memory.
class Utf16Writer {
public:
    explicit Utf16Writer(std::FILE* file) : file_(file) { std::fwrite("\xff\xfe", 1, 2, file_); }
    ~Utf16Writer() { Flush(); }

    void Line(const std::string& utf8) {
        for (size_t i = 0; i < utf8.size();) {
            unsigned char c = static_cast<unsigned char>(utf8[i]);
            uint32_t cp = c;
            size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : 3;  // the generator writes no 4-byte characters
            if (n > 1) cp = c & (0x7F >> n);
            for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            i += n;
            Unit(cp);
        }
        Unit('\r');
        Unit('\n');
    }

    uint64_t Bytes() const { return written_ + buffer_.size() + 2; }

private:
    void Unit(uint32_t unit) {
        buffer_.push_back(static_cast<char>(unit & 0xFF));
        buffer_.push_back(static_cast<char>(unit >> 8));
        if (buffer_.size() >= (1u << 16)) Flush();
    }
    void Flush() {
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        written_ += buffer_.size();
        buffer_.clear();
    }

    std::FILE* file_;
    std::string buffer_;
    uint64_t written_ = 0;
};

std::string Hex(const std::string& bytes) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ',';
        out += DIGITS[static_cast<unsigned char>(bytes[i]) >> 4];
        out += DIGITS[static_cast<unsigned char>(bytes[i]) & 15];
    }
    return out;
}

// hex data folded over lines as regedit writes it.
void HexValue(Utf16Writer& out, const std::string& prefix, const std::string& hex) {
    std::string line = prefix;
    size_t pos = 0;
    while (pos < hex.size()) {
        size_t room = line.size() < 77 ? 77 - line.size() : 3;
        size_t take = std::min(hex.size() - pos, (room / 3) * 3);
        if (take == 0) take = 3;
        line += hex.substr(pos, take);
        pos += take;
        if (pos < hex.size()) {
            out.Line(line + "\\");
            line = "  ";
        }
    }
    out.Line(line);
}

std::string Utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

void WriteOracleKeys(Utf16Writer& out) {
    const std::string oracle = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ORACLE";
    out.Line(oracle + "]");
    out.Line("\"inst_loc\"=\"C:\\\\Program Files\\\\Oracle\\\\Inventory\"");
    out.Line("");
    out.Line(oracle + "\\ALL_HOMES]");
    out.Line("\"HOME_COUNTER\"=\"2\"");
    out.Line("\"DEFAULT_HOME\"=\"OraHome92\"");
    out.Line("");
    for (int home = 0; home < 2; ++home) {
        std::string sid = home == 0 ? "ORCL" : "SALES";
        out.Line(oracle + "\\HOME" + std::to_string(home) + "]");
        out.Line("\"ORACLE_BASE\"=\"C:\\\\oracle\"");
        out.Line("\"ORACLE_HOME\"=\"C:\\\\oracle\\\\ora9" + std::to_string(home) + "\"");
        out.Line("\"ORACLE_SID\"=\"" + sid + "\"");
        out.Line("\"ORA_" + sid + "_AUTOSTART\"=\"TRUE\"");
        out.Line("\"ORA_" + sid + "_PFILE\"=\"C:\\\\oracle\\\\admin\\\\" + sid + "\\\\pfile\\\\init.ora\"");
        for (int i = 0; i < 200; ++i) out.Line("\"ORA_TEST" + std::to_string(i) + "_AUTOSTART\"=\"FALSE\"");
        out.Line("");
    }
    out.Line(oracle + "\\KEY_OraDb10g_home1]");
    out.Line("\"ORACLE_BASE\"=\"C:\\\\oracle\\\\product\\\\10.1.0\"");
    out.Line("\"ORACLE_HOME\"=\"C:\\\\oracle\\\\product\\\\10.1.0\\\\db_1\"");
    out.Line("\"ORACLE_SID\"=\"ten\"");
    out.Line("\"ORA_TEN_AUTOSTART\"=\"TRUE\"");
    out.Line("");
}

// Keys of a made-up software tree, each with a dozen values of every kind.
void WriteBulkKey(Utf16Writer& out, std::mt19937& random, uint64_t index) {
    std::string path = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(index % 97) + "\\Product" +
                       std::to_string(index / 97 % 131) + "\\Component_" + std::to_string(index) + "]";
    out.Line(path);
    out.Line("@=\"Component " + std::to_string(index) + " of the product\"");
    out.Line("\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor\\\\Product\\\\bin" + std::to_string(index % 7) +
             "\"");
    out.Line("\"Description\"=\"Caf\xc3\xa9 \xe2\x82\xac " + std::to_string(random()) +
             " \\\"quoted\\\" text of a middling length\"");
    out.Line("\"Version\"=\"" + std::to_string(index % 12) + "." + std::to_string(index % 5) + "." +
             std::to_string(index % 1000) + "\"");
    char dword[32];
    std::snprintf(dword, sizeof dword, "\"Flags\"=dword:%08x", static_cast<unsigned>(random()));
    out.Line(dword);
    std::snprintf(dword, sizeof dword, "\"Count\"=dword:%08x", static_cast<unsigned>(index));
    out.Line(dword);
    std::string binary;
    for (int i = 0; i < 24 + static_cast<int>(index % 40); ++i) binary += static_cast<char>(random());
    HexValue(out, "\"Signature\"=hex:", Hex(binary));
    HexValue(out, "\"DataPath\"=hex(2):", Hex(Utf16Bytes("%ProgramFiles%\\Vendor\\data") + std::string(2, '\0')));
    HexValue(out, "\"Modules\"=hex(7):",
             Hex(Utf16Bytes("core") + std::string(2, '\0') + Utf16Bytes("net") + std::string(2, '\0') +
                 Utf16Bytes("ui") + std::string(4, '\0')));
    out.Line("\"Enabled\"=dword:00000001");
    out.Line("\"Owner\"=\"Department " + std::to_string(index % 13) + "\"");
    out.Line("");
}

uint64_t MakeExport(const std::string& path, uint64_t targetBytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    uint64_t size;
    {
        Utf16Writer out(file);
        std::mt19937 random(7);
        out.Line("Windows Registry Editor Version 5.00");
        out.Line("");
        WriteOracleKeys(out);
        for (uint64_t index = 0; out.Bytes() < targetBytes; ++index) WriteBulkKey(out, random, index);
        size = out.Bytes();
    }
    std::fclose(file);
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    double megabytes = argc > 1 ? std::atof(argv[1]) : 100.0;
    if (megabytes <= 0) megabytes = 100.0;
    std::error_code error;
    bool keep = argc > 2;
    auto dir = std::filesystem::temp_directory_path() / ("tav-bench-regload-" + std::to_string(std::random_device()()));
    std::string path = keep ? argv[2] : (dir / "machine.reg").string();
    uint64_t bytes = keep && std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;
    if (bytes == 0) {
        if (!keep) std::filesystem::create_directories(dir, error);
        auto made = std::chrono::steady_clock::now();
        bytes = MakeExport(path, static_cast<uint64_t>(megabytes * MB));
        if (bytes == 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        double makeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - made).count();
        std::printf("export: %s, %.1f MB UTF-16LE, written in %.2f s\n", path.c_str(), bytes / MB, makeSeconds);
    } else {
        std::printf("export: %s, %.1f MB, kept from an earlier run\n", path.c_str(), bytes / MB);
    }
    long before = PeakResidentKilobytes();

    tavreg::MemoryRegistry registry;
    auto start = std::chrono::steady_clock::now();
    std::clock_t cpuStart = std::clock();
    const tavreg::LoadResult loaded = registry.LoadFile(path);
    double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    double loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long peak = PeakResidentKilobytes();
    if (!keep) std::filesystem::remove_all(dir, error);
    if (!loaded.Ok()) {
        std::fprintf(stderr, "load failed: %s\n", loaded.error.c_str());
        return 1;
    }
    // CPU time too: on a busy machine the elapsed time says little about the loader
    // (std::clock gives CPU time on Linux, elapsed time with the Windows C runtime).
    std::printf("load: %.2f s, %.1f MB/s (CPU time %.2f s, %.1f MB/s)\n", loadSeconds, bytes / MB / loadSeconds,
                cpuSeconds, bytes / MB / cpuSeconds);
    if (peak >= 0)
        std::printf("peak memory: %.1f MB (%.1f MB before loading), %.2f x the file size\n", peak * 1024.0 / MB,
                    before * 1024.0 / MB, peak * 1024.0 / bytes);
    else
        std::printf("peak memory: not measured in this build\n");

    CDbServerList list;
    auto discover = std::chrono::steady_clock::now();
    CReport report;
    DiscoverOracle(list, registry, report);
    double discoverMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - discover).count();
    std::printf("DiscoverOracle: %.3f ms, %d Oracle servers\n", discoverMs, list.GetCount(Family::Oracle));
    return 0;
}
