// The portable half of the file system service: the test fault of the
// generated-file writes, the same on every system.
#include "platform/FileSystem.h"

#include <cerrno>

namespace tavplat {

namespace {

// The calls left until the fault strikes, and its errno.
int write_fault_countdown = 0;
int write_fault_error = 0;

}  // namespace

void FailGeneratedWrite(int nth, int error) {
    write_fault_countdown = nth;
    write_fault_error = error;
}

bool GeneratedWriteFaultStrikes() {
    if (write_fault_countdown <= 0 || --write_fault_countdown > 0)
        return false;
    errno = write_fault_error;
    return true;
}

}  // namespace tavplat
