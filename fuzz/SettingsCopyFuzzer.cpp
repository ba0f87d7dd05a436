// Fuzz target: the installer's settings file, whose "[Local Settings]"
// sections are copied into tavtset.ini. The copy holds lines of the file, in
// their order and whole, and every "[Local Settings]" header the file has.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "setup/SetupRun.h"
#include "text/Text.h"

namespace {

namespace fs = tavfuzz::fs;

constexpr const char* COPY_NAME = "tavtset.ini";

fs::path Run() { return tavfuzz::Scratch() / "run"; }

// Lines as a text-mode reader of either platform sees them. A line that ends
// in more than one CR is copied with all but one of them, which a reader on
// POSIX then takes for part of the line end: compared without them.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines = tavfuzz::Split(text, '\n');
    if (lines.back().empty()) lines.pop_back();
    for (std::string& line : lines)
        while (!line.empty() && line.back() == '\r') line.pop_back();
    return lines;
}

// The "[Local Settings]" headers as the copy sees them: a line up to "\n",
// one CR before it being part of the line end. A line that ends in two CRs is
// no header.
size_t Headers(const std::string& text) {
    size_t count = 0;
    for (std::string line : tavfuzz::Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        count += tavtext::EqualsIgnoringCase(line, "[Local Settings]");
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fs::create_directories(Run());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path settings = tavfuzz::Scratch() / "setup.ini";
    const std::string text = tavfuzz::Text(data, size);
    tavfuzz::WriteFile(settings, text);
    fs::remove(Run() / COPY_NAME);
    {
        tavfuzz::InDirectory in(Run());
        static_cast<void>(CopyLocalSettings(settings.c_str()));  // what it reports is not looked at here
    }
    const std::vector<std::string> source = Lines(text);
    const std::string copy = tavfuzz::ReadFile(Run() / COPY_NAME);
    size_t at = 0;
    for (const std::string& line : Lines(copy)) {
        while (at < source.size() && source[at] != line) ++at;
        FUZZ_CHECK(at < source.size(), "the copy holds \"%s\", which is not a line of the file in that place",
                   line.c_str());
        ++at;
    }
    FUZZ_CHECK(Headers(copy) == Headers(text), "the file has %zu \"[Local Settings]\" headers, the copy %zu",
               Headers(text), Headers(copy));
    return 0;
}
