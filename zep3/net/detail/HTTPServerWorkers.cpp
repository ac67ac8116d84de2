#include <zep3/net/HTTPServerThread.h>
#include <zep3/net/detail/HTTPServerWorkers.h>

#include <algorithm>

namespace zep3::detail {

HTTPServerWorkers::HTTPServerWorkers(CHTTPServer* server, int maxWorkers)
    : m_pServer(server), m_nMaxWorkers(std::max(1, maxWorkers)) {}

bool HTTPServerWorkers::HandOver(SOCKET connection, int limit) {
    CHTTPServerThread* target = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_nConnections >= limit) return false;
        Worker* least = nullptr;
        int active = 0;
        for (Worker& w : m_Workers) {
            if (w.retired) continue;
            ++active;
            if (!least || w.connections < least->connections) least = &w;
        }
        if ((!least || least->connections > 0) && active < m_nMaxWorkers) {
            if (CHTTPServerThread* thread = Start(connection)) {
                m_Workers.push_back({thread, 1, false});
                ++m_nConnections;
                thread->ResumeThread();
                return true;
            }
        }
        if (!least) return false;
        // Counted before it is posted: the worker cannot end before it takes it.
        ++least->connections;
        ++m_nConnections;
        target = least->thread;
    }
    if (target->PostThreadMessage(CHTTPServerThread::kServeMessage, WPARAM(connection), 0)) return true;
    ConnectionEnded(target);
    return false;
}

CHTTPServerThread* HTTPServerWorkers::Start(SOCKET connection) {
    auto* thread = AfxBeginThread<CHTTPServerThread>(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) return nullptr;
    thread->m_pHTTPServer = m_pServer;
    thread->m_hSocket = connection;
    return thread;
}

bool HTTPServerWorkers::ConnectionEnded(CHTTPServerThread* worker) {
    std::lock_guard<std::mutex> guard(m_Lock);
    --m_nConnections;
    Worker* w = Find(worker);
    return w && --w->connections == 0 && w->retired;
}

bool HTTPServerWorkers::Retire(CHTTPServerThread* worker, bool evenIfBusy) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Worker* w = Find(worker);
    if (!w) return true;
    if (w->connections > 0 && !evenIfBusy) return false;
    w->retired = true;
    return w->connections == 0;
}

void HTTPServerWorkers::WorkerEnded(CHTTPServerThread* worker) {
    std::lock_guard<std::mutex> guard(m_Lock);
    auto it = std::find_if(m_Workers.begin(), m_Workers.end(), [&](const Worker& w) { return w.thread == worker; });
    if (it == m_Workers.end()) return;
    m_nConnections -= it->connections;
    m_Workers.erase(it);
}

void HTTPServerWorkers::RetireAll() {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (Worker& w : m_Workers) {
        if (w.retired) continue;
        w.retired = true;
        w.thread->PostThreadMessage(WM_USER, 0, 0);
    }
}

void HTTPServerWorkers::QuitAll() {
    std::lock_guard<std::mutex> guard(m_Lock);
    for (Worker& w : m_Workers) w.thread->PostThreadMessage(WM_QUIT, 0, 0);
}

int HTTPServerWorkers::Connections() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_nConnections;
}

int HTTPServerWorkers::Workers() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return int(m_Workers.size());
}

HTTPServerWorkers::Worker* HTTPServerWorkers::Find(CHTTPServerThread* thread) {
    for (Worker& w : m_Workers)
        if (w.thread == thread) return &w;
    return nullptr;
}

} // namespace zep3::detail
