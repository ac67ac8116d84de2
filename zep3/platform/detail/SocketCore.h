#pragma once
// The state behind a CAsyncSocket: its registration with the owning thread's
// loop and Windows' re-arming of the events (see AsyncSocket.h).
//
// The loop's notifiers are level-triggered; an event is "armed" when its
// handler may be called the next time the descriptor is ready. Disarming is
// lazy: delivering OnReceive (OnSend) clears the flag but leaves the
// descriptor watched, so that the usual handler, which calls Receive (sends
// until it would block) and so re-arms at once, costs no change of the
// watch. Only when the descriptor turns up ready again while still disarmed
// is the event paused.
#include <zep3/platform/AsyncSocket.h>
#include <zep3/platform/FdNotifier.h>

#include <memory>
#include <sys/uio.h>

namespace zep3::detail {

struct SocketCore {
    explicit SocketCore(CAsyncSocket& socket) : owner(socket) {}
    ~SocketCore();

    int Fd() const { return owner.m_hSocket == INVALID_SOCKET ? -1 : static_cast<int>(owner.m_hSocket); }
    // Forgets every state of the descriptor (after Close or Detach).
    void Reset();
    // Takes a new descriptor: reads its type and whether it listens or is
    // connected, and arms the events Windows would post on selection.
    void Adopt(int fd);
    // Watches the selected events on the calling thread (0: stops watching).
    bool Select(long events);
    // Brings the watch in line with the armed events.
    void Update();

    // The socket calls; they re-arm and report errors as WSA numbers.
    int Receive(void* buffer, int length, int flags, struct sockaddr* from, socklen_t* fromLength);
    // armOnBlock: a would-block arms OnSend (not for CSocket's own waits).
    int Send(const void* buffer, int length, int flags, const struct sockaddr* to, socklen_t toLength,
             bool armOnBlock);
    // Sends the pieces in order with one system call per attempt, moving
    // them past what went. wait: a CSocket's send, which waits for room
    // (serving the thread's messages) until all have gone; otherwise it stops
    // where the connection would block, arming OnSend. The bytes sent, or
    // SOCKET_ERROR (some may have gone before).
    int SendPieces(struct iovec*& pieces, int& count, bool wait);
    bool AcceptInto(CAsyncSocket& connected, struct sockaddr* address, socklen_t* length);
    bool Connect(const struct sockaddr* address, socklen_t length);
    // Ends a connect under way: its WSA error, 0 when connected.
    int FinishConnect();

    // Waits, pumping the calling thread's messages, until the descriptor is
    // ready for `event` (CFdNotifier::Read or Write) or the wait is
    // cancelled. The events of this socket and of the thread's other sockets
    // are held back until it returns, as the framework queues them, so that
    // no handler runs into a blocking call of its own. False (WSAEINTR) when
    // cancelled or when the thread is told to quit.
    bool WaitFor(DWORD event);

    CAsyncSocket& owner;
    CFdNotifier notifier;
    long selected = 0;     // FD_ events asked for
    DWORD enabled = 0;     // notifier events switched on now
    bool stream = true;    // SOCK_STREAM (else datagrams)
    bool listening = false;
    bool connecting = false;
    bool connected = false;
    bool closed = false;   // OnClose is due or delivered: no more events
    bool readArmed = true; // OnReceive / OnAccept / OnClose may come
    bool writeArmed = false;
    DWORD waitingFor = 0;  // the event a blocking call waits for
    bool waitDone = false;
    bool cancelled = false;
    bool deferred = false; // events held back while another socket blocks

    // Read-ahead (stream sockets that ask for it): a receive takes what it
    // asked for straight into the caller's buffer and, in the same system
    // call, what follows into a kept buffer -- up to kAheadSize after a
    // small receive (headers, small bodies: many in one call), a quarter of
    // it after a large one (a large body is copied once, not twice). Later
    // receives are served from it first, and OnReceive follows while bytes
    // are buffered. Bytes read ahead are lost when the descriptor is detached.
    static const size_t kAheadSize = 16 * 1024;
    bool readAhead = false;
    bool delivering = false; // inside DeliverReceive
    std::unique_ptr<char[]> ahead;
    size_t aheadNext = 0, aheadFill = 0;
    bool Buffered() const { return aheadFill > aheadNext; }
    std::shared_ptr<bool> living = std::make_shared<bool>(true); // false once destroyed

private:
    ssize_t ReceiveAhead(void* buffer, size_t length, int flags);
    // Sends until the pieces are gone or the connection would block: the
    // count sent, or SOCKET_ERROR.
    int SendGathered(struct iovec*& pieces, int& count);
    void DeliverReceive();
    DWORD Wanted() const;
    void OnReady(DWORD events);
    // Whether a ready stream has ended (or failed) with nothing left to
    // read, so that OnClose is due; error receives its WSA number.
    bool StreamEnded(DWORD events, int& error);
};

// The socket whose blocking call the calling thread is in, or null.
SocketCore*& ThreadBlockingSocket();

// host: dotted text or a name (IPv4); null or empty means any address.
bool ResolveIPv4(LPCTSTR host, UINT port, sockaddr_in& out);
// Where SendTo sends: the host, or the broadcast address when there is none.
bool Destination(LPCTSTR host, UINT port, sockaddr_in& out);

// Set the thread's last error (from errno, or the WSA number given); the
// first two return SOCKET_ERROR, the others FALSE.
int FailWithErrno();
int Fail(int wsaError);
BOOL RefuseWithErrno();
BOOL Refuse(int wsaError);

} // namespace zep3::detail
