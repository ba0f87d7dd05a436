// Windows abrupt end: TerminateProcess on the process itself.
#include "platform/ProcessEnd.h"

#include <windows.h>

namespace tavplat {

void EndProcessAbruptly(int exitCode) {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    for (;;) Sleep(INFINITE);  // TerminateProcess on itself does not return
}

}  // namespace tavplat
