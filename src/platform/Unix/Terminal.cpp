// POSIX terminal service.
#include "platform/Terminal.h"

#include <termios.h>
#include <unistd.h>

namespace tavplat {

bool StdinIsTerminal() {
    return isatty(0) != 0;
}

EchoOff::EchoOff(FILE* in) : in_(in) {
    const int fd = fileno(in_);
    termios current{};
    if (!isatty(fd) || tcgetattr(fd, &current) != 0)
        return;
    saved_ = current.c_lflag;
    termios quiet = current;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = tcsetattr(fd, TCSANOW, &quiet) == 0;
}

EchoOff::~EchoOff() {
    if (!active_)
        return;
    const int fd = fileno(in_);
    termios current{};
    if (tcgetattr(fd, &current) != 0)
        return;
    current.c_lflag = static_cast<tcflag_t>(saved_);
    tcsetattr(fd, TCSANOW, &current);
}

}  // namespace tavplat
