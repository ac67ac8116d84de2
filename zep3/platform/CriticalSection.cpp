#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/SingleLock.h>

#include <chrono>

bool CCriticalSection::Lock(DWORD timeout) {
    if (timeout == INFINITE) {
        m_mutex.lock();
        return true;
    }
    return m_mutex.try_lock_for(std::chrono::milliseconds(timeout));
}

bool CCriticalSection::Unlock() {
    m_mutex.unlock();
    return true;
}

CSingleLock::CSingleLock(CSyncObject* object, bool initialLock) : m_object(object) {
    if (initialLock) Lock();
}

CSingleLock::~CSingleLock() { Unlock(); }

bool CSingleLock::Lock(DWORD timeout) {
    if (!m_object || m_locked) return m_locked;
    m_locked = m_object->Lock(timeout);
    return m_locked;
}

bool CSingleLock::Unlock() {
    if (m_object && m_locked) m_locked = !m_object->Unlock();
    return !m_locked;
}
