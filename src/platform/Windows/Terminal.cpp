// Windows terminal service: the console's input mode.
#include "platform/Terminal.h"

#include <windows.h>

#include <io.h>

namespace tavplat {

bool StdinIsTerminal() {
    return _isatty(0) != 0;
}

EchoOff::EchoOff(FILE* in) : in_(in) {
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in_)));
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode))
        return;
    saved_ = mode;
    active_ = SetConsoleMode(console, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
}

EchoOff::~EchoOff() {
    if (!active_)
        return;
    HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in_)));
    SetConsoleMode(console, static_cast<DWORD>(saved_));
}

}  // namespace tavplat
