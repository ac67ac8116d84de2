#pragma once
// Reading the saved register context of a suspended thread, for the crash
// report. Exported for the library's own diagnostics and its tests; not part
// of the installed interface.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <ucontext.h>

namespace zep3::detail {

// Copies the context that the thread saved when SuspendThread stopped it.
// False when the handle is bad or the thread is not parked by a suspension
// (never started, suspended itself, resumed, or ended).
ZEP3_TEST_API bool GetSuspendedThreadContext(HANDLE thread, ucontext_t* context);

} // namespace zep3::detail
