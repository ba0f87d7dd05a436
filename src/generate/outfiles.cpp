// Output file preparation: old files removed, missing directories created,
// the generation's streams opened; and the formatted writer the generation
// writes every line through.
#include "generate/tavixdcl.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "generate/genrules.h"
#include "platform/FileSystem.h"

namespace {

// Formats into the buffer's present room first, and grows it only when the
// text does not fit: most texts are formatted once. Returns the text's length.
size_t FormatInto(std::string& out, const char* format, va_list args) {
    if (out.size() < 256) out.resize(256);
    va_list retry;
    va_copy(retry, args);
    int needed = std::vsnprintf(out.data(), out.size(), format, args);
    if (needed >= 0 && static_cast<size_t>(needed) >= out.size()) {
        out.resize(static_cast<size_t>(needed) + 1);
        needed = std::vsnprintf(out.data(), out.size(), format, retry);
    }
    va_end(retry);
    return needed < 0 ? 0 : static_cast<size_t>(needed);
}

void WriteGenerated(FILE* stream, std::string_view text) {
    if (stream) tavplat::WriteGeneratedText(stream, text.data(), text.size());
}

}  // namespace

void CInstallParams::LogWrite(int destination, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const size_t length = FormatInto(format_buffer_, format ? format : "", args);
    va_end(args);
    const std::string_view text(format_buffer_.data(), length);

    switch (destination) {
    case LOG_CONSOLE:
        report_->ConsoleAndLog(text);
        break;
    case LOG_INI:
        WriteGenerated(ini_stream, text);
        break;
    case LOG_INCLUDE:
        WriteGenerated(include_stream, text);
        break;
    case LOG_BATCH:
        WriteGenerated(batch_stream, text);
        break;
    default:
        report_->LogOnly(text);
        break;
    }
}

void CInstallParams::CloseStream(FILE*& stream) {
    if (stream) fclose(stream);
    stream = nullptr;
}

void CInstallParams::RemoveOldFile(const char* path) {
    if (!path) return;
    // An existence check rather than an open for reading: it costs less per
    // file, and a file that exists but cannot be read is removed as well. A
    // file that cannot be deleted ends the loop; the opener's truncating open
    // then decides whether it can be replaced.
    while (tavplat::FileAccess(path, 0) == 0) {
        if (tavplat::RemoveFile(path) != 0) return;
    }
}

int CInstallParams::OpenOutputStream(FILE*& stream, const char* path, const char* mode) {
    CloseStream(stream);
    if (path) stream = tavplat::OpenFile(path, mode);
    if (stream) return 1;
    LogWrite(LOG_CONSOLE, "\nCan't open file '%s'\n", path ? path : "");
    return 0;
}

int CInstallParams::OpenIniFile(const char* path) { return OpenOutputStream(ini_stream, path, "w+"); }

int CInstallParams::OpenBatchFile(const char* path) { return OpenOutputStream(batch_stream, path, "w"); }

int CInstallParams::MakeParentDirectories(const char* path) {
    if (!path) return 0;
    std::string directory = path;
    const size_t lastSeparator = directory.rfind('\\');
    if (lastSeparator == std::string::npos) return 1;  // nothing above the file to create
    directory.resize(lastSeparator);

    // Each prefix ends in a backslash: C:\ then C:\a\ then C:\a\b\ for C:\a\b\f.ini.
    std::string prefix;
    size_t start = 0;
    for (;;) {
        const size_t separator = directory.find('\\', start);
        const bool lastPass = separator == std::string::npos;
        prefix.append(directory, start, lastPass ? std::string::npos : separator - start);
        prefix += '\\';
        errno = 0;
        if (tavplat::MakeDirectory(prefix.c_str()) != 0 && errno == ENOENT) {
            LogWrite(LOG_CONSOLE, "\nERROR: can't create '%s'\n", prefix.c_str());
            return 0;
        }
        if (lastPass) break;
        start = separator + 1;
        if (start >= directory.size()) break;
    }
    return 1;
}

int CInstallParams::PrepareOutputFile(const char* path, int (CInstallParams::*opener)(const char*)) {
    if (!path || !opener) return 0;
    RemoveOldFile(path);
    if ((this->*opener)(path)) return 1;
    if (!MakeParentDirectories(path)) return 0;
    return (this->*opener)(path);
}

bool CInstallParams::RefuseUnsafeName(const std::string& name, const char* fileKind) {
    if (tavgen::StaysInConfigurationDirectory(name)) return false;
    LogWrite(LOG_CONSOLE,
             "\nServer name '%s' leads out of the configuration directory: no %s file written for it\n",
             name.c_str(), fileKind);
    return true;
}

