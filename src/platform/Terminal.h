// Terminal service: whether a stream is an interactive terminal, and its echo.
#ifndef TAV_PLATFORM_TERMINAL_H
#define TAV_PLATFORM_TERMINAL_H

#include <cstdio>

namespace tavplat {

// True when standard input is an interactive terminal.
bool StdinIsTerminal();

// Turns the echo of typed characters off on the terminal behind in, for the
// life of the object, so that a password is not shown. Does nothing when in
// is not a terminal.
class EchoOff {
public:
    explicit EchoOff(FILE* in);
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

    // True when the echo was on a terminal and is now off.
    bool Active() const { return active_; }

private:
    FILE* in_;
    bool active_ = false;
    unsigned long saved_ = 0;  // the terminal's mode before
};

}  // namespace tavplat

#endif
