// POSIX has no dialog templates to run: the console and answers views stand in.
#include "platform/Dialog.h"

#include <cerrno>

namespace tavplat {

bool WindowedDialogsAvailable() {
    return false;
}

int RunModalDialog(int /*templateId*/, DialogWindow* /*owner*/, DialogHandler& /*handler*/, long* lastError) {
    if (lastError != nullptr)
        *lastError = ENOSYS;
    return -1;
}

}  // namespace tavplat
