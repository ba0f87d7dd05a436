// Fuzz target: an Oracle parameter file, read by its Windows path through the
// drives directory: its working lines, the file it resolves to, and an
// instance record filled from it.
#include <cstdlib>
#include <string>
#include <vector>

#include "discovery/OracleParameterFile.h"
#include "discovery/ServerRecord.h"
#include "FuzzSupport.h"

namespace {

constexpr const char* PARAMETER_FILE = "C:\\oracle\\admin\\ORCL\\pfile\\init.ora";

tavfuzz::fs::path NativeFile() {
    return tavfuzz::Scratch() / "drives" / "c" / "oracle" / "admin" / "ORCL" / "pfile" / "init.ora";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tavfuzz::fs::create_directories(NativeFile().parent_path());
    setenv("TAVNOVU_DRIVES", (tavfuzz::Scratch() / "drives").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = tavfuzz::Text(data, size);
    tavfuzz::WriteFile(NativeFile(), text);

    std::vector<std::string> lines;
    FUZZ_CHECK(ReadParameterFileLines(PARAMETER_FILE, &lines), "the file was written but does not open");
    for (const std::string& line : lines)
        FUZZ_CHECK(!line.empty() && line[0] != '#' && line.find_first_of(std::string("\n\0", 2)) == std::string::npos,
                   "not a working line: \"%s\"", line.c_str());

    QuietReport quiet;
    const std::string resolved = ResolveParameterFile(PARAMETER_FILE, quiet);
    if (text.find("IFILE") == std::string::npos)
        FUZZ_CHECK(resolved == PARAMETER_FILE, "a file without IFILE resolves to \"%s\"", resolved.c_str());

    COracleServer server("ORCL");
    server.SetInitoraFilename(PARAMETER_FILE);
    server.ReadInitFile();
    return 0;
}
