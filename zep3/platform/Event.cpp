#include <zep3/platform/Event.h>
#include <zep3/platform/detail/Kernel.h>

using namespace zep3::detail;

namespace {

class EventObject : public KernelObject {
public:
    EventObject(bool manual, bool initial) : m_manual(manual), m_signaled(initial) {}
    bool IsSignaled() const override { return m_signaled; }
    void Acquire() override {
        if (!m_manual) m_signaled = false;
    }
    void Set() {
        m_signaled = true;
        WakeWaiters(this);
    }
    void Reset() { m_signaled = false; }
    void Pulse() {
        Set();
        m_signaled = false;
    }

private:
    bool m_manual;
    bool m_signaled;
};

template <class Op>
BOOL WithEvent(HANDLE handle, Op op) {
    auto event = LookupHandleAs<EventObject>(handle);
    if (!event) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    std::lock_guard<std::mutex> hold(KernelLock());
    op(*event);
    return TRUE;
}

} // namespace

HANDLE CreateEvent(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    return RegisterHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) { return WithEvent(event, [](EventObject& e) { e.Set(); }); }
BOOL ResetEvent(HANDLE event) { return WithEvent(event, [](EventObject& e) { e.Reset(); }); }
BOOL PulseEvent(HANDLE event) { return WithEvent(event, [](EventObject& e) { e.Pulse(); }); }

CEvent::CEvent(BOOL initiallyOwn, BOOL manualReset, LPCSTR name, LPSECURITY_ATTRIBUTES attributes)
    : m_hObject(::CreateEvent(attributes, manualReset, initiallyOwn, name)) {}

CEvent::~CEvent() { ::CloseHandle(m_hObject); }

BOOL CEvent::SetEvent() { return ::SetEvent(m_hObject); }
BOOL CEvent::ResetEvent() { return ::ResetEvent(m_hObject); }
BOOL CEvent::PulseEvent() { return ::PulseEvent(m_hObject); }
bool CEvent::Lock(DWORD timeout) { return ::WaitForSingleObject(m_hObject, timeout) == WAIT_OBJECT_0; }
bool CEvent::Unlock() { return true; }
