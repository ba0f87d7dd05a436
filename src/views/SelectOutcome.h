// How a run of the selection dialog ended, in whichever view it ran.
#ifndef TAV_VIEWS_SELECTOUTCOME_H
#define TAV_VIEWS_SELECTOUTCOME_H

#include "report/Report.h"

namespace tavview {

// result: 1 (OK), 2 (Cancel), or -1 when the dialog could not be shown or
// run; then failure holds the code (an errno or a Windows error code, never 0)
// and the line to show the person, empty when the code says it all.
struct [[nodiscard]] SelectOutcome {
    int result = -1;
    Status failure;

    static SelectOutcome Ended(int result) { return SelectOutcome{result, Status()}; }
    static SelectOutcome Failed(Status failure) { return SelectOutcome{-1, std::move(failure)}; }
};

}  // namespace tavview

#endif
