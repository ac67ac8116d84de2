#include <zep3/platform/FdNotifier.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/MessageQueue.h>

using namespace zep3::detail;

CFdNotifier::CFdNotifier() = default;

CFdNotifier::~CFdNotifier() { Unregister(); }

bool CFdNotifier::Register(int fd, DWORD events, Callback callback) {
    Unregister();
    std::shared_ptr<ThreadQueue> q = CurrentQueue();
    if (fd < 0 || !callback || !q) return false;
    auto entry = std::make_shared<NotifierEntry>();
    entry->queue = q;
    entry->threadId = q->threadId;
    entry->fd = fd;
    const DWORD wanted = events & (Read | Write);
    entry->events = wanted;
    entry->callback = std::move(callback);
    std::lock_guard<std::mutex> hold(q->lock);
    for (const auto& n : q->notifiers)
        if (n.second->fd == fd) return false;
    entry->key = q->nextKey++;
    // A descriptor registered paused is still probed with real events, so
    // that one epoll cannot watch (a regular file) is refused now.
    const DWORD probe = wanted ? wanted : (Read | Write);
    if (!q->backend->Watch(fd, entry->key, probe)) return false;
    if (probe != wanted) q->backend->Watch(fd, entry->key, wanted);
    q->notifiers.emplace(entry->key, entry);
    m_entry = entry;
    return true;
}

bool CFdNotifier::SetEvents(DWORD events) {
    std::shared_ptr<ThreadQueue> q = m_entry ? m_entry->queue.lock() : nullptr;
    if (!q) return false;
    {
        std::lock_guard<std::mutex> hold(q->lock);
        if (!q->notifiers.count(m_entry->key)) return false;
        m_entry->events = events & (Read | Write);
        q->backend->Watch(m_entry->fd, m_entry->key, m_entry->events);
    }
    // A loop asleep must pick up newly enabled events; the owner's own loop
    // is awake, and its next wait sees them.
    if (q->threadId != GetCurrentThreadId()) q->Wake();
    return true;
}

void CFdNotifier::Unregister() {
    if (!m_entry) return;
    if (std::shared_ptr<ThreadQueue> q = m_entry->queue.lock()) {
        std::lock_guard<std::mutex> hold(q->lock);
        if (q->notifiers.erase(m_entry->key)) q->backend->Unwatch(m_entry->fd);
    }
    m_entry->events = 0;
    m_entry.reset();
}

bool CFdNotifier::IsRegistered() const { return m_entry != nullptr; }
int CFdNotifier::GetFd() const { return m_entry ? m_entry->fd : -1; }
DWORD CFdNotifier::GetEvents() const { return m_entry ? m_entry->events.load() : 0; }
DWORD CFdNotifier::GetThreadId() const { return m_entry ? m_entry->threadId : 0; }
