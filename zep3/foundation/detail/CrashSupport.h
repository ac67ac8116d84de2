#pragma once
// What the thread registry and the crash handler share inside the library.
#include <zep3/foundation/CrashHandler.h>

#include <ucontext.h>

namespace zep3::detail {

// Gives the calling thread an alternate signal stack unless it has one, so
// that a fault on an exhausted stack can still be handled. The stack is
// released when the thread ends.
void EnsureAltSignalStack();

// The calling thread's system id, without touching the platform's records
// (safe inside a signal handler).
unsigned int RawThreadId();

// Fills the register block from a signal context.
void ContextFromUcontext(const ucontext_t& uc, CONTEXT& ctx);

} // namespace zep3::detail
