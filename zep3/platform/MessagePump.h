#pragma once
/// @file
/// Helpers for code that drives a thread's message loop itself: tests, and
/// the display layer that turns input into window messages.
#include <zep3/platform/Messages.h>

#include <functional>

/// Pumps the calling thread's messages -- dispatching them, serving sent
/// messages, descriptor notifiers, paints and timers -- until cond() holds or
/// timeoutMs has passed, and returns cond()'s last answer. cond() is checked
/// after every message and at least every 10 ms. A WM_QUIT ends the pumping
/// and is left in the queue.
ZEP3_API bool PumpMessagesUntil(const std::function<bool()>& cond, DWORD timeoutMs);

/// Delivers a mouse message (WM_MOUSEMOVE ... WM_MOUSEWHEEL) the way mouse
/// input arrives: to the window holding the capture of the window's thread,
/// otherwise to the deepest visible, enabled child under the point (after a
/// WM_SETCURSOR), with the point moved into that window's client area.
/// clientPoint is in `window`'s client coordinates. FALSE when the window does
/// not exist or the point falls on a disabled window. Any thread.
ZEP3_API BOOL PostMouseInput(HWND window, UINT message, UINT keyFlags, POINT clientPoint);
