// Runs a function under a structured-exception frame: an exception that no
// inner frame handles ends the function and is reported instead of ending
// the process.
#ifndef LITE_UTIL_SEH_GUARD_H_
#define LITE_UTIL_SEH_GUARD_H_

#include "lite_util/system_checks.h"

namespace lite {

using GuardedFunction = void (*)(void* context);

// Calls `function(context)`. Returns true when it returned normally; false
// when a structured exception left it, with `failure` (optional) holding the
// exception code and, for a delay-load failure (0xC06D007E), the module and
// (when imported by name) procedure that could not be loaded. Frames of the
// abandoned call are unwound; C++ objects living in them are not destroyed,
// so guarded code must not own resources on its stack that need freeing.
bool RunWithSehGuard(GuardedFunction function, void* context,
                     DelayLoadFailure* failure);

}  // namespace lite

#endif  // LITE_UTIL_SEH_GUARD_H_
