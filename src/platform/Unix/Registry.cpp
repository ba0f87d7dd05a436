// The registry off Windows: there is none, only the texts of the Windows error codes.
#include "platform/RegistryReader.h"

namespace tavplat {

namespace {

struct ErrorText {
    long code;
    const char* text;
};

// FormatMessageA's English texts for the codes this system meets.
constexpr ErrorText ERROR_TEXTS[] = {
    {0, "The operation completed successfully."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {53, "The network path was not found."},
    {87, "The parameter is incorrect."},
    {161, "The specified path is invalid."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
    {1400, "Invalid window handle."},
};

}  // namespace

std::string SystemErrorText(long code) {
    for (const ErrorText& entry : ERROR_TEXTS)
        if (entry.code == code) return std::string(entry.text) + "\r\n";
    // FormatMessageA knows no text for the code.
    return "Unknown error " + std::to_string(code) + ".\r\n";
}

std::unique_ptr<RegistryReader> OpenSystemRegistry() {
    return nullptr;
}

}  // namespace tavplat
