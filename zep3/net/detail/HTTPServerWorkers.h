#pragma once
// The worker threads of one web server and the connections they serve.
// HandOver, RetireAll and QuitAll belong to the thread that runs the server;
// the rest to the workers. A connection is counted from its hand-over, so a
// worker with a connection on its way never ends before taking it.
#include <zep3/platform/WinSock.h>

#include <mutex>
#include <vector>

class CHTTPServer;
class CHTTPServerThread;

namespace zep3::detail {

class HTTPServerWorkers {
public:
    // At most `maxWorkers` workers take connections at once.
    HTTPServerWorkers(CHTTPServer* server, int maxWorkers);

    // Serves the accepted socket on the least busy worker, starting a new one
    // while all are busy and there is room; false (the caller closes the
    // socket) when `limit` connections are being served or no worker can be had.
    bool HandOver(SOCKET connection, int limit);
    // A connection of `worker` has ended; true when the worker is retired
    // and has nothing left to serve (it ends).
    bool ConnectionEnded(CHTTPServerThread* worker);
    // Takes no more connections to `worker`: at once when `evenIfBusy`,
    // otherwise only when it serves none. True when it has nothing left to
    // serve (it ends).
    bool Retire(CHTTPServerThread* worker, bool evenIfBusy);
    // `worker` has ended (with whatever it still counted).
    void WorkerEnded(CHTTPServerThread* worker);
    // Every worker ends once its connections are done.
    void RetireAll();
    // Every worker ends at its next message.
    void QuitAll();

    int Connections() const;
    int Workers() const;

private:
    struct Worker {
        CHTTPServerThread* thread;
        int connections;
        bool retired;
    };
    Worker* Find(CHTTPServerThread* thread);
    // Starts a worker whose first connection is `connection`; null on failure.
    CHTTPServerThread* Start(SOCKET connection);

    CHTTPServer* const m_pServer;
    const int m_nMaxWorkers;
    mutable std::mutex m_Lock;
    std::vector<Worker> m_Workers;
    int m_nConnections = 0;
};

} // namespace zep3::detail
