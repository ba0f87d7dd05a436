// The abrupt end of the process, for the tests of interrupted runs: nothing
// is flushed, closed or unwound, as when the process is killed.
#ifndef TAV_PLATFORM_PROCESSEND_H
#define TAV_PLATFORM_PROCESSEND_H

namespace tavplat {

// _exit on POSIX, TerminateProcess on Windows.
[[noreturn]] void EndProcessAbruptly(int exitCode);

}  // namespace tavplat

#endif
