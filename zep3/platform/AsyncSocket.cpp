#include <zep3/platform/AsyncSocket.h>
#include <zep3/platform/LastError.h>
#include <zep3/platform/Thread.h>
#include <zep3/platform/detail/MessageQueue.h>
#include <zep3/platform/detail/Posix.h>
#include <zep3/platform/detail/SocketCore.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <netinet/tcp.h>
#include <poll.h>
#include <vector>

namespace zep3::detail {

bool ResolveIPv4(LPCTSTR host, UINT port, sockaddr_in& out) {
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(static_cast<uint16_t>(port));
    if (!host || !*host) {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (inet_pton(AF_INET, host, &out.sin_addr) == 1) return true;
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    out.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

bool Destination(LPCTSTR host, UINT port, sockaddr_in& out) {
    if (!ResolveIPv4(host, port, out)) return false;
    if (!host || !*host) out.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return true;
}

namespace {

bool AddressText(const sockaddr_in& address, CString& text, UINT& port) {
    char buffer[INET_ADDRSTRLEN];
    if (address.sin_family != AF_INET || !inet_ntop(AF_INET, &address.sin_addr, buffer, sizeof buffer)) return false;
    text = buffer;
    port = ntohs(address.sin_port);
    return true;
}

// Sockets whose events wait for the end of a blocking call on their thread.
struct DeferredSockets {
    std::mutex lock;
    std::vector<std::pair<SocketCore*, DWORD>> entries; // socket, thread id
};

DeferredSockets& Deferred() {
    static DeferredSockets* deferred = new DeferredSockets;
    return *deferred;
}

// Whether the calling thread has held back events since its last resume:
// most blocking calls have nothing to resume and skip the shared list.
thread_local bool tlsDeferredAny = false;

void Defer(SocketCore& core) {
    if (core.deferred) return;
    core.deferred = true;
    tlsDeferredAny = true;
    DeferredSockets& d = Deferred();
    std::lock_guard<std::mutex> hold(d.lock);
    d.entries.emplace_back(&core, GetCurrentThreadId());
}

void Forget(SocketCore& core) {
    if (!core.deferred) return;
    core.deferred = false;
    DeferredSockets& d = Deferred();
    std::lock_guard<std::mutex> hold(d.lock);
    d.entries.erase(std::remove_if(d.entries.begin(), d.entries.end(), [&](const auto& e) { return e.first == &core; }),
                    d.entries.end());
}

// Lets the held-back events of the calling thread's sockets come again.
void ResumeDeferred() {
    if (!tlsDeferredAny) return;
    tlsDeferredAny = false;
    std::vector<SocketCore*> resumed;
    {
        DeferredSockets& d = Deferred();
        std::lock_guard<std::mutex> hold(d.lock);
        const DWORD self = GetCurrentThreadId();
        for (auto it = d.entries.begin(); it != d.entries.end();) {
            if (it->second != self) {
                ++it;
                continue;
            }
            resumed.push_back(it->first);
            it = d.entries.erase(it);
        }
    }
    for (SocketCore* core : resumed) {
        core->deferred = false;
        core->Update();
    }
}

// The sockets accepted by the OnAccept delivered on this thread, watched
// once it returns: most are detached there for a thread of their own.
struct AcceptTurn {
    bool active = false;
    std::vector<SocketCore*> accepted;
};

thread_local AcceptTurn tlsAcceptTurn;

void Unpend(SocketCore& core) {
    if (!core.watchPending) return;
    core.watchPending = false;
    std::vector<SocketCore*>& accepted = tlsAcceptTurn.accepted;
    accepted.erase(std::remove(accepted.begin(), accepted.end(), &core), accepted.end());
}

// getpeername or getsockname.
typedef int (*AddressCall)(int, sockaddr*, socklen_t*);

BOOL AddressOf(AddressCall call, SOCKET socket, SOCKADDR* address, int* addressLength) {
    if (!addressLength) return Refuse(WSAEFAULT);
    socklen_t length = socklen_t(*addressLength);
    if (call(static_cast<int>(socket), address, &length) != 0) return RefuseWithErrno();
    *addressLength = int(length);
    return TRUE;
}

BOOL AddressText(AddressCall call, SOCKET socket, CString& text, UINT& port) {
    sockaddr_in address = {};
    int length = sizeof address;
    return AddressOf(call, socket, reinterpret_cast<SOCKADDR*>(&address), &length) &&
           AddressText(address, text, port);
}

bool IsTimeOutOption(int level, int optionName) {
    return level == SOL_SOCKET && (optionName == SO_RCVTIMEO || optionName == SO_SNDTIMEO);
}

int TimeoutIndex(int optionName) { return optionName == SO_RCVTIMEO ? 0 : 1; }

int PendingError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    return ZEP3SocketErrorFromErrno(error);
}

// The time a blocking call may wait for `event`: SO_RCVTIMEO for reading
// (receive, accept), SO_SNDTIMEO for writing (send, connect); none set: no
// limit, as on Windows.
Deadline BlockingDeadline(SocketCore& core, DWORD event) {
    const DWORD ms = core.TimeoutFor(event);
    return ms ? Deadline::After(ms) : Deadline::Never();
}

// Waits on the descriptor alone, for threads that have no message queue.
bool PollAlone(int fd, DWORD event, const Deadline& deadline) {
    pollfd p = {fd, static_cast<short>(event == CFdNotifier::Read ? POLLIN : POLLOUT), 0};
    for (;;) {
        int n = poll(&p, 1, deadline.RemainingMilliseconds());
        if (n > 0) return true;
        if (n == 0) return Refuse(WSAETIMEDOUT);
        if (errno != EINTR) return RefuseWithErrno();
    }
}

} // namespace

int Fail(int wsaError) {
    WSASetLastError(wsaError);
    return SOCKET_ERROR;
}

int FailWithErrno() { return Fail(ZEP3SocketErrorFromErrno(errno)); }

BOOL Refuse(int wsaError) {
    Fail(wsaError);
    return FALSE;
}

BOOL RefuseWithErrno() {
    FailWithErrno();
    return FALSE;
}

SocketCore*& ThreadBlockingSocket() {
    thread_local SocketCore* blocking = nullptr;
    return blocking;
}

void WatchAccepted() {
    std::vector<SocketCore*> accepted;
    accepted.swap(tlsAcceptTurn.accepted);
    for (SocketCore* core : accepted) {
        core->watchPending = false;
        core->Select(core->selected);
    }
}

SocketCore::~SocketCore() {
    *living = false;
    Forget(*this);
    Unpend(*this);
    if (ThreadBlockingSocket() == this) ThreadBlockingSocket() = nullptr;
}

void SocketCore::Reset() {
    Forget(*this);
    Unpend(*this);
    notifier.Unregister();
    enabled = 0;
    stream = true;
    listening = connecting = connected = closed = false;
    readArmed = true;
    writeArmed = false;
    waitingFor = 0;
    aheadNext = aheadFill = 0;
    timeoutKnown[0] = timeoutKnown[1] = false;
}

void SocketCore::Adopt(bool isStream, bool isListening, bool isConnected) {
    stream = isStream;
    listening = isListening;
    connected = isConnected;
    connecting = closed = false;
    readArmed = true;
    writeArmed = connected || !stream;
}

bool SocketCore::Inspect(int fd) {
    tcp_info info;
    socklen_t length = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0) {
        // A TCP socket has a peer in every state but these, as getpeername tells.
        const int state = info.tcpi_state;
        Adopt(true, state == TCP_LISTEN, state != TCP_LISTEN && state != TCP_CLOSE && state != TCP_SYN_SENT);
        return true;
    }
    if (errno == ENOTSOCK || errno == EBADF) return false;
    int type = 0, accepting = 0;
    length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0) return false;
    length = sizeof accepting;
    getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &length);
    sockaddr_storage peer;
    socklen_t peerLength = sizeof peer;
    const bool isStream = type == SOCK_STREAM;
    const bool isListening = isStream && accepting;
    Adopt(isStream, isListening,
          isStream && !isListening && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0);
    return true;
}

bool SocketCore::Take(int fd, long events) {
    owner.m_hSocket = static_cast<SOCKET>(fd);
    if (Select(events)) return true;
    owner.m_hSocket = INVALID_SOCKET;
    Reset();
    return false;
}

DWORD SocketCore::TimeoutFor(DWORD event) {
    const int which = event == CFdNotifier::Read ? 0 : 1;
    if (!timeoutKnown[which]) {
        timeval limit = {};
        socklen_t length = sizeof limit;
        if (getsockopt(Fd(), SOL_SOCKET, which == 0 ? SO_RCVTIMEO : SO_SNDTIMEO, &limit, &length) != 0)
            limit = timeval{};
        const int64_t ms = int64_t(limit.tv_sec) * 1000 + (limit.tv_usec + 999) / 1000;
        timeouts[which] = DWORD(std::min<int64_t>(ms, INFINITE - 1));
        timeoutKnown[which] = true;
    }
    return timeouts[which];
}

void SocketCore::NoTimeouts() {
    timeouts[0] = timeouts[1] = 0;
    timeoutKnown[0] = timeoutKnown[1] = true;
}

bool SocketCore::Select(long events) {
    Unpend(*this);
    selected = events;
    if (!events || Fd() < 0) {
        notifier.Unregister();
        enabled = 0;
        return true;
    }
    if (notifier.IsRegistered() && notifier.GetThreadId() == GetCurrentThreadId()) {
        Update();
        return true;
    }
    enabled = Wanted();
    if (notifier.Register(Fd(), enabled, [this](DWORD ready) { OnReady(ready); })) return true;
    enabled = 0;
    Fail(WSAENOTSOCK);
    return false;
}

DWORD SocketCore::Wanted() const {
    if (Fd() < 0) return 0;
    if (waitingFor) return waitingFor;
    if (closed || deferred) return 0;
    if (connecting) return CFdNotifier::Write;
    const bool open = !stream || connected; // an idle stream socket reports a hang-up
    DWORD events = 0;
    if (readArmed && (listening ? (selected & FD_ACCEPT) : open && (selected & (FD_READ | FD_CLOSE))))
        events |= CFdNotifier::Read;
    if (writeArmed && open && (selected & FD_WRITE)) events |= CFdNotifier::Write;
    // Bytes read ahead make no descriptor readable; a connected socket is
    // writable, so that readiness brings the OnReceive they are due.
    if (readArmed && Buffered() && !delivering && (selected & FD_READ)) events |= CFdNotifier::Write;
    return events;
}

void SocketCore::Update() {
    const DWORD wanted = Wanted();
    if (wanted == enabled || !notifier.IsRegistered()) return;
    notifier.SetEvents(wanted);
    enabled = wanted;
}

void SocketCore::Rearm() {
    if (Wanted() & ~enabled) Update();
}

int SocketCore::FinishConnect() {
    const int error = PendingError(Fd());
    connecting = false;
    connected = error == 0;
    closed = !connected;
    writeArmed = connected; // OnSend follows a completed connect
    Update();
    return error;
}

bool SocketCore::StreamEnded(DWORD events, int& error) {
    if (!stream || !(events & (CFdNotifier::Error | CFdNotifier::HangUp))) return false;
    // The system reports a pending error with the event itself.
    error = (events & CFdNotifier::Error) ? PendingError(Fd()) : 0;
    if (error) return true;
    int waiting = 0;
    return ioctl(Fd(), FIONREAD, &waiting) != 0 || waiting == 0;
}

// Each pass delivers one event (OnReceive repeated while bytes read ahead
// remain), as its last action: the handler may close or delete the socket.
// Level-triggered readiness brings the next event on the next pass.
void SocketCore::OnReady(DWORD events) {
    const DWORD anyEnd = CFdNotifier::Error | CFdNotifier::HangUp;
    if (waitingFor) { // a blocking call of this socket waits
        if (events & (waitingFor | anyEnd)) waitDone = true;
        else Update(); // pauses what the wait does not want
        return;
    }
    if (ThreadBlockingSocket() && ThreadBlockingSocket() != this) {
        Defer(*this);
        Update();
        return;
    }
    if (connecting) {
        if (!(events & (CFdNotifier::Write | anyEnd))) return;
        const int error = FinishConnect();
        if (selected & FD_CONNECT) owner.OnConnect(error);
        return;
    }
    if (readArmed && Buffered() && (selected & FD_READ)) { // bytes read ahead wait
        DeliverReceive();
        return;
    }
    if ((events & CFdNotifier::Write) && writeArmed) {
        writeArmed = false; // lazily: a handler that sends until it would block re-arms at no cost
        owner.OnSend(0);
        return;
    }
    if (!(events & (CFdNotifier::Read | anyEnd)) || !readArmed) {
        Update(); // pauses what nobody re-armed
        return;
    }
    if (listening) {
        readArmed = false;
        const bool outermost = !tlsAcceptTurn.active;
        tlsAcceptTurn.active = true;
        owner.OnAccept(0);
        if (!outermost) return;
        tlsAcceptTurn.active = false;
        WatchAccepted();
        return;
    }
    int error = 0;
    if (StreamEnded(events, error)) {
        closed = true;
        Update();
        if (selected & FD_CLOSE) owner.OnClose(error);
        return;
    }
    if (selected & FD_READ) {
        DeliverReceive();
        return;
    }
    readArmed = false;
    Update();
}

// Bytes read ahead are not seen by the loop: they are delivered here, for as
// long as the handler keeps receiving and the socket lives.
void SocketCore::DeliverReceive() {
    const std::shared_ptr<bool> alive = living;
    delivering = true;
    do {
        readArmed = false;
        owner.OnReceive(0);
    } while (*alive && readArmed && Buffered() && !waitingFor && !deferred && !closed);
    if (!*alive) return;
    delivering = false;
    Rearm();
}

ssize_t SocketCore::ReceiveAhead(void* buffer, size_t length, int flags) {
    size_t served = 0;
    if (Buffered()) { // what was read ahead comes first
        served = std::min(length, aheadFill - aheadNext);
        std::memcpy(buffer, ahead.get() + aheadNext, served);
        if (flags & MSG_PEEK) return ssize_t(served);
        aheadNext += served;
        if (served == length) return ssize_t(served);
    }
    if (flags & (MSG_PEEK | MSG_OOB)) return served ? ssize_t(served) : recv(Fd(), buffer, length, flags);
    if (!ahead) ahead.reset(new char[kAheadSize]);
    const size_t rest = length - served;
    const bool large = rest >= kAheadSize;
    // Around large reads only a little more: enough for what usually
    // follows them (a header), but no part of a large body copied twice.
    const size_t spill = large || lastLarge ? kLittleAhead : kAheadSize;
    lastLarge = large;
    iovec into[2] = {{static_cast<char*>(buffer) + served, rest}, {ahead.get(), spill}};
    msghdr message = {};
    message.msg_iov = into;
    message.msg_iovlen = 2;
    const ssize_t n = recvmsg(Fd(), &message, flags);
    if (n <= 0) return served ? ssize_t(served) : n; // an end or error shows on the next receive
    aheadNext = 0;
    aheadFill = size_t(n) > rest ? size_t(n) - rest : 0;
    return ssize_t(served + std::min(rest, size_t(n)));
}

int SocketCore::Receive(void* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength) {
    if (Fd() < 0) return Fail(WSAENOTSOCK);
    if (length < 0 || (length && !buffer)) return Fail(WSAEFAULT);
    const ssize_t n = from        ? recvfrom(Fd(), buffer, size_t(length), flags, from, fromLength)
                      : readAhead ? ReceiveAhead(buffer, size_t(length), flags)
                                  : recv(Fd(), buffer, size_t(length), flags);
    const int error = errno;
    readArmed = true; // every receive re-arms OnReceive
    Rearm();
    if (n >= 0) return static_cast<int>(n);
    errno = error;
    return FailWithErrno();
}

int SocketCore::Send(const void* buffer, int length, int flags, const sockaddr* to, socklen_t toLength,
                     bool armOnBlock) {
    if (Fd() < 0) return Fail(WSAENOTSOCK);
    if (length < 0 || (length && !buffer)) return Fail(WSAEFAULT);
    flags |= MSG_NOSIGNAL;
    const ssize_t n = to ? sendto(Fd(), buffer, size_t(length), flags, to, toLength)
                         : send(Fd(), buffer, size_t(length), flags);
    if (n >= 0) return static_cast<int>(n);
    const int error = errno;
    if ((error == EAGAIN || error == EWOULDBLOCK) && armOnBlock) {
        writeArmed = true;
        Rearm();
    }
    errno = error;
    return FailWithErrno();
}

int SocketCore::SendGathered(iovec*& pieces, int& count) {
    if (count == 0) return 0;
    msghdr message = {};
    message.msg_iov = pieces;
    message.msg_iovlen = size_t(count);
    ssize_t n = sendmsg(Fd(), &message, MSG_NOSIGNAL);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : FailWithErrno();
    const int sent = int(n);
    for (; count > 0 && size_t(n) >= pieces->iov_len; ++pieces, --count) n -= ssize_t(pieces->iov_len);
    if (count > 0) {
        pieces->iov_base = static_cast<char*>(pieces->iov_base) + n;
        pieces->iov_len -= size_t(n);
    }
    return sent;
}

int SocketCore::SendPieces(iovec*& pieces, int& count, bool wait) {
    if (Fd() < 0) return Fail(WSAENOTSOCK);
    if (!wait) {
        const int sent = SendGathered(pieces, count);
        if (sent >= 0 && count > 0) { // would block: OnSend tells when there is room
            writeArmed = true;
            Rearm();
        }
        return sent;
    }
    if (ThreadBlockingSocket()) return Fail(WSAEINPROGRESS);
    ThreadBlockingSocket() = this;
    int total = 0, sent;
    while ((sent = SendGathered(pieces, count)) >= 0) {
        total += sent;
        if (count == 0 || !WaitFor(CFdNotifier::Write)) break;
    }
    ThreadBlockingSocket() = nullptr;
    return sent >= 0 && count == 0 ? total : SOCKET_ERROR;
}

bool SocketCore::AcceptInto(CAsyncSocket& connected, sockaddr* address, socklen_t* length) {
    if (Fd() < 0) return Refuse(WSAENOTSOCK);
    if (connected.m_hSocket != INVALID_SOCKET) return Refuse(WSAEINVAL);
    const int fd = accept4(Fd(), address, length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int error = errno;
    readArmed = true; // every accept re-arms OnAccept
    Rearm();
    if (fd < 0) {
        errno = error;
        return RefuseWithErrno();
    }
    connected.m_hSocket = static_cast<SOCKET>(fd);
    SocketCore& core = *connected.m_pCore;
    core.Adopt(stream, false, true);
    // The system gives an accepted socket the listener's options.
    std::copy(timeouts, timeouts + 2, core.timeouts);
    std::copy(timeoutKnown, timeoutKnown + 2, core.timeoutKnown);
    core.selected = selected; // the accepted socket inherits the events
    if (tlsAcceptTurn.active && selected) {
        core.watchPending = true;
        tlsAcceptTurn.accepted.push_back(&core);
    } else {
        core.Select(selected);
    }
    return true;
}

bool SocketCore::Connect(const sockaddr* address, socklen_t length) {
    if (Fd() < 0) return Refuse(WSAENOTSOCK);
    const int result = connect(Fd(), address, length);
    if (result != 0 && errno != EINPROGRESS) return RefuseWithErrno();
    if (!stream) return true;
    connecting = true; // even at once: OnConnect reports it
    Update();
    if (result == 0) return true;
    return Refuse(WSAEWOULDBLOCK);
}

bool SocketCore::WaitFor(DWORD event) {
    waitDone = cancelled = false;
    const Deadline deadline = BlockingDeadline(*this, event);
    // The socket's own notifier stays as it is: the wait polls the descriptor
    // itself, and a notifier call meanwhile only pauses what is not waited for.
    waitingFor = event;
    const FdWait result = WaitForFd(Fd(), event == CFdNotifier::Read ? POLLIN : POLLOUT, deadline,
                                    [this] { return waitDone || cancelled; });
    waitingFor = 0;
    Update();
    ResumeDeferred();
    switch (result) {
    case FdWait::Ready: return true;
    case FdWait::NoQueue: return PollAlone(Fd(), event, deadline);
    case FdWait::TimedOut: return Refuse(WSAETIMEDOUT);
    default: return waitDone || Refuse(WSAEINTR); // cancelled, or told to quit
    }
}

} // namespace zep3::detail

using zep3::detail::Fail;
using zep3::detail::Refuse;
using zep3::detail::RefuseWithErrno;
using zep3::detail::ResolveIPv4;
using zep3::detail::SocketCore;

CAsyncSocket::CAsyncSocket() : m_hSocket(INVALID_SOCKET), m_pCore(std::make_unique<SocketCore>(*this)) {}

CAsyncSocket::~CAsyncSocket() { CAsyncSocket::Close(); }

BOOL CAsyncSocket::Create(UINT socketPort, int socketType, long events, LPCTSTR socketAddress) {
    if (!Socket(socketType, events)) return FALSE;
    if (Bind(socketPort, socketAddress)) return TRUE;
    const int error = GetLastError();
    Close();
    WSASetLastError(error);
    return FALSE;
}

BOOL CAsyncSocket::Socket(int socketType, long events, int protocolType, int addressFormat) {
    if (m_hSocket != INVALID_SOCKET) return Refuse(WSAEINVAL);
    const int fd = socket(addressFormat, socketType | SOCK_NONBLOCK | SOCK_CLOEXEC, protocolType);
    if (fd < 0) return RefuseWithErrno();
    m_hSocket = static_cast<SOCKET>(fd);
    m_pCore->Adopt((socketType & ~(SOCK_NONBLOCK | SOCK_CLOEXEC)) == SOCK_STREAM, false, false);
    m_pCore->NoTimeouts();
    if (m_pCore->Select(events)) return TRUE;
    Close();
    return FALSE;
}

BOOL CAsyncSocket::Attach(SOCKET socket, long events) {
    if (m_hSocket != INVALID_SOCKET || socket == INVALID_SOCKET) return Refuse(WSAEINVAL);
    const int fd = static_cast<int>(socket);
    if (!m_pCore->Inspect(fd)) return Refuse(WSAENOTSOCK);
    zep3::detail::SetNonBlocking(fd, true);
    zep3::detail::SetCloseOnExec(fd);
    return m_pCore->Take(fd, events) ? TRUE : FALSE;
}

SOCKET CAsyncSocket::Detach() {
    const SOCKET socket = m_hSocket;
    m_hSocket = INVALID_SOCKET;
    m_pCore->Reset();
    return socket;
}

BOOL CAsyncSocket::AsyncSelect(long events) {
    if (m_hSocket == INVALID_SOCKET) return Refuse(WSAENOTSOCK);
    // Selecting anew re-arms what Windows would post at once.
    m_pCore->readArmed = true;
    m_pCore->writeArmed = m_pCore->connected || !m_pCore->stream;
    return m_pCore->Select(events);
}

void CAsyncSocket::Close() {
    if (m_hSocket == INVALID_SOCKET) return;
    m_pCore->Reset(); // stop watching before the descriptor can be reused
    close(static_cast<int>(m_hSocket));
    m_hSocket = INVALID_SOCKET;
}

BOOL CAsyncSocket::Bind(UINT socketPort, LPCTSTR socketAddress) {
    sockaddr_in address;
    if (!ResolveIPv4(socketAddress, socketPort, address)) return Refuse(WSAEINVAL);
    // Windows binds a port whose old connections linger in TIME_WAIT; so does
    // Linux with this option (two listeners on one port are still refused).
    if (m_pCore->stream && socketPort != 0) {
        int on = 1;
        setsockopt(static_cast<int>(m_hSocket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    return Bind(reinterpret_cast<const SOCKADDR*>(&address), sizeof address);
}

BOOL CAsyncSocket::Bind(const SOCKADDR* address, int addressLength) {
    if (m_hSocket == INVALID_SOCKET) return Refuse(WSAENOTSOCK);
    if (bind(static_cast<int>(m_hSocket), address, socklen_t(addressLength)) != 0) return RefuseWithErrno();
    return TRUE;
}

BOOL CAsyncSocket::Listen(int connectionBacklog) {
    if (m_hSocket == INVALID_SOCKET) return Refuse(WSAENOTSOCK);
    if (listen(static_cast<int>(m_hSocket), connectionBacklog) != 0) return RefuseWithErrno();
    m_pCore->listening = true;
    m_pCore->readArmed = true;
    m_pCore->Update();
    return TRUE;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& connected, SOCKADDR* address, int* addressLength) {
    socklen_t length = addressLength ? socklen_t(*addressLength) : 0;
    const bool ok = m_pCore->AcceptInto(connected, address, addressLength ? &length : nullptr);
    if (ok && addressLength) *addressLength = int(length);
    return ok;
}

BOOL CAsyncSocket::Connect(LPCTSTR hostAddress, UINT hostPort) {
    sockaddr_in address;
    if (!hostAddress || !*hostAddress || !ResolveIPv4(hostAddress, hostPort, address)) return Refuse(WSAEINVAL);
    return Connect(reinterpret_cast<const SOCKADDR*>(&address), sizeof address);
}

BOOL CAsyncSocket::Connect(const SOCKADDR* address, int addressLength) {
    return m_pCore->Connect(address, socklen_t(addressLength));
}

BOOL CAsyncSocket::ShutDown(int how) {
    if (m_hSocket == INVALID_SOCKET) return Refuse(WSAENOTSOCK);
    return shutdown(static_cast<int>(m_hSocket), how) == 0 || RefuseWithErrno();
}

int CAsyncSocket::Receive(void* buffer, int bufferLength, int flags) {
    return m_pCore->Receive(buffer, bufferLength, flags, nullptr, nullptr);
}

int CAsyncSocket::Send(const void* buffer, int bufferLength, int flags) {
    return m_pCore->Send(buffer, bufferLength, flags, nullptr, 0, true);
}

int CAsyncSocket::SendTo(const void* buffer, int bufferLength, UINT hostPort, LPCTSTR hostAddress, int flags) {
    sockaddr_in address;
    if (!zep3::detail::Destination(hostAddress, hostPort, address)) return Fail(WSAEINVAL);
    return SendTo(buffer, bufferLength, reinterpret_cast<const SOCKADDR*>(&address), sizeof address, flags);
}

int CAsyncSocket::SendTo(const void* buffer, int bufferLength, const SOCKADDR* to, int toLength, int flags) {
    return m_pCore->Send(buffer, bufferLength, flags, to, socklen_t(toLength), true);
}

int CAsyncSocket::ReceiveFrom(void* buffer, int bufferLength, CString& socketAddress, UINT& socketPort, int flags) {
    sockaddr_in from = {};
    int length = sizeof from;
    const int n = ReceiveFrom(buffer, bufferLength, reinterpret_cast<SOCKADDR*>(&from), &length, flags);
    if (n >= 0) zep3::detail::AddressText(from, socketAddress, socketPort);
    return n;
}

int CAsyncSocket::ReceiveFrom(void* buffer, int bufferLength, SOCKADDR* from, int* fromLength, int flags) {
    sockaddr_storage scratch;
    socklen_t length = fromLength ? socklen_t(*fromLength) : sizeof scratch;
    const int n = m_pCore->Receive(buffer, bufferLength, flags, from ? from : reinterpret_cast<SOCKADDR*>(&scratch),
                                   &length);
    if (n >= 0 && fromLength) *fromLength = int(length);
    return n;
}

BOOL CAsyncSocket::GetPeerName(CString& peerAddress, UINT& peerPort) {
    return zep3::detail::AddressText(getpeername, m_hSocket, peerAddress, peerPort);
}

BOOL CAsyncSocket::GetPeerName(SOCKADDR* address, int* addressLength) {
    return zep3::detail::AddressOf(getpeername, m_hSocket, address, addressLength);
}

BOOL CAsyncSocket::GetSockName(CString& socketAddress, UINT& socketPort) {
    return zep3::detail::AddressText(getsockname, m_hSocket, socketAddress, socketPort);
}

BOOL CAsyncSocket::GetSockName(SOCKADDR* address, int* addressLength) {
    return zep3::detail::AddressOf(getsockname, m_hSocket, address, addressLength);
}

BOOL CAsyncSocket::SetSockOpt(int optionName, const void* optionValue, int optionLength, int level) {
    timeval limit;
    if (zep3::detail::IsTimeOutOption(level, optionName) && optionValue && optionLength == int(sizeof(DWORD))) {
        DWORD ms; // Winsock's form: a DWORD of milliseconds
        std::memcpy(&ms, optionValue, sizeof ms);
        limit.tv_sec = time_t(ms / 1000);
        limit.tv_usec = suseconds_t(ms % 1000) * 1000;
        optionValue = &limit;
        optionLength = sizeof limit;
    }
    if (setsockopt(static_cast<int>(m_hSocket), level, optionName, optionValue, socklen_t(optionLength)) != 0)
        return RefuseWithErrno();
    if (zep3::detail::IsTimeOutOption(level, optionName)) // read back once, as the system rounded it
        m_pCore->timeoutKnown[zep3::detail::TimeoutIndex(optionName)] = false;
    return TRUE;
}

BOOL CAsyncSocket::GetSockOpt(int optionName, void* optionValue, int* optionLength, int level) {
    if (!optionLength) return Refuse(WSAEFAULT);
    if (zep3::detail::IsTimeOutOption(level, optionName) && optionValue && *optionLength == int(sizeof(DWORD))) {
        timeval limit = {};
        socklen_t length = sizeof limit;
        if (getsockopt(static_cast<int>(m_hSocket), level, optionName, &limit, &length) != 0)
            return RefuseWithErrno();
        const DWORD ms = DWORD(limit.tv_sec * 1000 + limit.tv_usec / 1000);
        std::memcpy(optionValue, &ms, sizeof ms);
        return TRUE;
    }
    socklen_t length = socklen_t(*optionLength);
    if (getsockopt(static_cast<int>(m_hSocket), level, optionName, optionValue, &length) != 0)
        return RefuseWithErrno();
    *optionLength = int(length);
    return TRUE;
}

BOOL CAsyncSocket::IOCtl(long command, DWORD* argument) {
    if (m_hSocket == INVALID_SOCKET) return Refuse(WSAENOTSOCK);
    if (!argument) return Refuse(WSAEFAULT);
    const int fd = static_cast<int>(m_hSocket);
    if (command == long(FIONBIO)) {
        // As on Windows, a socket with selected events cannot block.
        if (!*argument && m_pCore->selected) return Refuse(WSAEINVAL);
        return zep3::detail::SetNonBlocking(fd, *argument != 0) || RefuseWithErrno();
    }
    if (command == long(FIONREAD)) {
        int waiting = 0;
        if (ioctl(fd, FIONREAD, &waiting) != 0) return RefuseWithErrno();
        *argument = DWORD(waiting) + DWORD(m_pCore->aheadFill - m_pCore->aheadNext);
        return TRUE;
    }
    return Refuse(WSAEINVAL);
}

int CAsyncSocket::GetLastError() { return WSAGetLastError(); }

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
