#pragma once
/// @class CEvent
/// Events: a signalled/non-signalled flag that threads wait on.
///
/// A manual-reset event stays signalled until ResetEvent and releases every
/// waiter; an auto-reset event releases one waiter and resets itself as it
/// does. PulseEvent releases the threads waiting at that moment (one for an
/// auto-reset event) and leaves the event non-signalled. Event names are
/// accepted and ignored: every event is private to the process and unnamed.
#include <zep3/platform/Wait.h>

/// @relates CEvent Creates an event; the handle is closed with CloseHandle. Never fails here,
/// but callers should still test for null as on any platform.
ZEP3_API HANDLE CreateEvent(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
/// @relates CEvent Each returns FALSE for a handle that is not an open event. Any thread.
ZEP3_API BOOL SetEvent(HANDLE event);
ZEP3_API BOOL ResetEvent(HANDLE event);
ZEP3_API BOOL PulseEvent(HANDLE event);

// CEvent: an event object owning its handle (closed by the destructor).
// Usable wherever a HANDLE is waited on (operator HANDLE) and with CSingleLock.
class ZEP3_API CEvent : public CSyncObject {
public:
    /// Auto-reset and non-signalled by default, as in the framework.
    explicit CEvent(BOOL initiallyOwn = FALSE, BOOL manualReset = FALSE, LPCSTR name = nullptr,
                    LPSECURITY_ATTRIBUTES attributes = nullptr);
    ~CEvent() override;
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent();
    BOOL ResetEvent();
    BOOL PulseEvent();
    /// Waits for the event (consuming it when auto-reset); true when signalled in time.
    bool Lock(DWORD timeout = INFINITE) override;
    /// Nothing to release for an event; true.
    bool Unlock() override;
    operator HANDLE() const { return m_hObject; }

    HANDLE m_hObject;
};
