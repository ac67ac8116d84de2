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
    // Takes a new descriptor whose kind the caller knows, and arms the
    // events Windows would post on selection.
    void Adopt(bool isStream, bool isListening, bool isConnected);
    // Takes a descriptor of unknown kind: asks the system what it is (one
    // call for a TCP socket). False when it is no socket.
    bool Inspect(int fd);
    // Makes the adopted or inspected descriptor the socket's and watches
    // `events`; false (the socket left without one) when it cannot be watched.
    bool Take(int fd, long events);
    // Watches the selected events on the calling thread (0: stops watching).
    bool Select(long events);
    // Brings the watch in line with the armed events.
    void Update();
    // After a re-arm: widens the watch when it lacks an armed event. A watch
    // wider than needed is narrowed when the surplus event comes, so that a
    // socket closed meanwhile costs no change of the watch at all.
    void Rearm();

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
    // Accepted inside an OnAccept: watched once that handler returns, so that
    // a connection detached there for another thread is never watched here.
    bool watchPending = false;

    // SO_RCVTIMEO and SO_SNDTIMEO in milliseconds (0: none), as set through
    // SetSockOpt or read once; a blocking call does not ask for them again.
    bool timeoutKnown[2] = {false, false}; // receiving, sending
    DWORD timeouts[2] = {0, 0};
    DWORD TimeoutFor(DWORD event);
    void NoTimeouts();

    // Read-ahead (stream sockets that ask for it): a receive takes what it
    // asked for straight into the caller's buffer and, in the same system
    // call, what follows into a kept buffer -- up to kAheadSize after small
    // receives (headers, small bodies: many in one call), kLittleAhead
    // during and right after a large one (the next header, while a large
    // body is copied once, not twice). Later receives are served from it
    // first, and OnReceive follows while bytes are buffered. Bytes read ahead
    // are lost when the descriptor is detached.
    static const size_t kAheadSize = 16 * 1024;
    static const size_t kLittleAhead = 512;
    bool readAhead = false;
    bool lastLarge = false; // the last read from the descriptor was large
    bool delivering = false; // inside DeliverReceive
    std::unique_ptr<char[]> ahead;
    size_t aheadNext = 0, aheadFill = 0;
    bool Buffered() const { return aheadFill > aheadNext; }
    std::shared_ptr<bool> living = std::make_shared<bool>(true); // false once destroyed

private:
    ssize_t ReceiveAhead(void* buffer, size_t length, int flags);
    // One send of the pieces: what it leaves, the full buffer could not
    // take, and trying again at once would only fail. The count sent, or
    // SOCKET_ERROR.
    int SendGathered(struct iovec*& pieces, int& count);
    void DeliverReceive();
    DWORD Wanted() const;
    void OnReady(DWORD events);
    // Whether a ready stream has ended (or failed) with nothing left to
    // read, so that OnClose is due; error receives its WSA number.
    bool StreamEnded(DWORD events, int& error);
};

// Watches the sockets accepted by the OnAccept that has just returned on
// the calling thread (those not detached, closed or selected meanwhile).
void WatchAccepted();

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
