#pragma once
/// @class CFdNotifier
/// Watches a file descriptor from the message loop of the thread
/// that registers it, and calls back on that thread when the descriptor is
/// ready. This is how sockets, serial ports and pipes deliver their events on
/// the thread that owns them: the callback runs inside that thread's
/// GetMessage, PeekMessage or PumpMessagesUntil, like a dispatched message.
///
/// Readiness is level-triggered: as long as the descriptor stays readable (or
/// writable) and the event stays enabled, the callback is called again on each
/// pass of the loop. A callback therefore reads what is waiting, or turns the
/// event off with SetEvents until it wants it again. Errors and hang-ups are
/// reported with whichever events are enabled; with none enabled nothing is
/// reported. One notifier per descriptor and thread.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <functional>
#include <memory>

namespace zep3::detail {
struct NotifierEntry;
}

class ZEP3_API CFdNotifier {
public:
    /// Event bits: enable Read and/or Write; Error and HangUp come with them.
    enum : DWORD { Read = 1, Write = 2, Error = 4, HangUp = 8 };
    typedef std::function<void(DWORD events)> Callback;

    CFdNotifier();
    /// Unregisters (any thread; a callback already running may finish).
    ~CFdNotifier();
    CFdNotifier(const CFdNotifier&) = delete;
    CFdNotifier& operator=(const CFdNotifier&) = delete;

    /// Watches fd for `events` on the calling thread's loop; the descriptor
    /// stays the caller's (never closed here). Replaces an earlier
    /// registration of this object. False for a negative fd, an empty
    /// callback, a descriptor the system cannot watch, or one already watched
    /// by this thread.
    bool Register(int fd, DWORD events, Callback callback);
    /// Changes the enabled events (0 pauses). False when not registered. Any thread.
    bool SetEvents(DWORD events);
    /// Stops watching. Any thread.
    void Unregister();

    bool IsRegistered() const;
    int GetFd() const;
    DWORD GetEvents() const;
    /// Id of the thread whose loop calls back; 0 when not registered.
    DWORD GetThreadId() const;

private:
    std::shared_ptr<zep3::detail::NotifierEntry> m_entry;
};
