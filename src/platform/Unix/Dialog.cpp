// POSIX has no dialog templates to run: the console and answers views stand in.
#include "platform/Dialog.h"

#include <cerrno>

namespace tavplat {

bool WindowedDialogsAvailable() {
    return false;
}

ModalOutcome RunModalDialog(int /*templateId*/, DialogWindow* /*owner*/, DialogHandler& /*handler*/) {
    return ModalOutcome{-1, ENOSYS};
}

}  // namespace tavplat
