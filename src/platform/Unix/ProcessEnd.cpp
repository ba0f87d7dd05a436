// POSIX abrupt end: _exit, which runs no handlers and flushes no stream.
#include "platform/ProcessEnd.h"

#include <unistd.h>

namespace tavplat {

void EndProcessAbruptly(int exitCode) {
    _exit(exitCode);
}

}  // namespace tavplat
