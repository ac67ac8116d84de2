#pragma once
// What the message loop needs from the windows: dispatching to a window's
// procedure, finding a window's thread, and painting.
#include <zep3/platform/detail/MessageQueue.h>

namespace zep3::detail {

// Calls the window procedure on the calling thread, remembering the message
// for CWnd::Default. 0 when the window does not exist.
LRESULT CallWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The queue of the thread that created the window; null when it is not a window.
std::shared_ptr<ThreadQueue> QueueOfWindow(HWND window);
// The first window of the queue's thread (the filter window alone, when
// given) that is visible and has a non-empty update region. Owner thread.
HWND NextWindowToPaint(ThreadQueue& queue, HWND filter);
// Counts invalidations of a window; a paint validates only when no
// invalidation came while its handler ran.
unsigned PaintGeneration(HWND window);
void ValidateAfterPaint(HWND window, unsigned generationBefore);
// Destroys the windows the queue's thread still has. Owner thread.
void DestroyThreadWindows(ThreadQueue& queue);

} // namespace zep3::detail
