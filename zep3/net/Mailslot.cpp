#include <zep3/net/Mailslot.h>
#include <zep3/net/detail/LocalChannel.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zep3::detail {

namespace {

// How long a writer waits for room in a full mailslot.
const DWORD kWriteWait = 10000;

} // namespace

// The reading end (owner of the name, bound to its socket) or a writing end
// (connected to it). The owner keeps the maximum message size in its lock
// file for the writers.
class MailslotEnd : public Channel {
public:
    void Shutdown() override {
        Channel::Shutdown();
        shutdown(fd.Get(), SHUT_RDWR); // ends a read under way
        claim.Release();
    }

    bool Bind(const std::string& folder);
    bool NextSize(unsigned long* nextSize);
    bool Read(void* data, size_t size, unsigned long* done);
    bool Write(const void* data, size_t size, unsigned long* done);

    UniqueFd fd;
    ChannelClaim claim;
    bool reader = false;
    unsigned long maxSize = 0;
    DWORD readTimeout = 0;

private:
    std::mutex m_readLock; // the size peeked is the size of the message read
};

bool MailslotEnd::Bind(const std::string& folder) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPathIn(folder);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd.Reset(socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    return (fd.IsOpen() && bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) ||
           FailChannelCall(ZEP3ErrorFromErrno(errno));
}

bool MailslotEnd::NextSize(unsigned long* nextSize) {
    if (!reader) return FailChannelCall(ERROR_ACCESS_DENIED);
    const ssize_t length = recv(fd.Get(), nullptr, 0, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length < 0 && errno != EAGAIN) return FailChannelCall(ZEP3ErrorFromErrno(errno));
    if (nextSize) *nextSize = length < 0 ? MAILSLOT_NO_MESSAGE : (unsigned long)length;
    return true;
}

bool MailslotEnd::Read(void* data, size_t size, unsigned long* done) {
    if (!reader) return FailChannelCall(ERROR_ACCESS_DENIED);
    std::lock_guard<std::mutex> hold(m_readLock);
    const Deadline deadline = Deadline::After(readTimeout);
    unsigned long length;
    while (NextSize(&length) && length == MAILSLOT_NO_MESSAGE) {
        const int ready = Wait(fd.Get(), POLLIN, deadline);
        if (ready == 0) return FailChannelCall(ERROR_SEM_TIMEOUT);
        if (ready < 0) return false;
    }
    if (length == MAILSLOT_NO_MESSAGE) return false; // NextSize failed
    if (length > size) return FailChannelCall(ERROR_INSUFFICIENT_BUFFER);
    const ssize_t n = recv(fd.Get(), data, size, MSG_DONTWAIT);
    if (n < 0) return FailChannelCall(ZEP3ErrorFromErrno(errno));
    if (done) *done = (unsigned long)n;
    return true;
}

bool MailslotEnd::Write(const void* data, size_t size, unsigned long* done) {
    if (reader) return FailChannelCall(ERROR_ACCESS_DENIED);
    if (maxSize && size > maxSize) return FailChannelCall(ERROR_INVALID_PARAMETER);
    const Deadline deadline = Deadline::After(kWriteWait);
    bool roomMade = false;
    for (;;) {
        const ssize_t n = send(fd.Get(), data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) {
            if (done) *done = (unsigned long)n;
            return true;
        }
        if (errno == EMSGSIZE && !roomMade) { // larger than the send buffer: make room once
            const int room = int(std::min<size_t>(size + 4096, 1 << 30));
            setsockopt(fd.Get(), SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
            roomMade = true;
            continue;
        }
        if (errno != EAGAIN) {
            SetLastErrorFromSocket(errno);
            return false;
        }
        const int ready = Wait(fd.Get(), POLLOUT, deadline); // the reader's queue is full
        if (ready == 0) return FailChannelCall(ERROR_SEM_TIMEOUT);
        if (ready < 0) return false;
    }
}

} // namespace zep3::detail

using zep3::detail::FailChannelCall;
using zep3::detail::FindChannelAs;
using zep3::detail::MailslotEnd;

CMailslot::CMailslot() : m_hMailslot(nullptr) {}

CMailslot::~CMailslot() { zep3::detail::DropChannel(m_hMailslot); }

CMailslot::CMailslot(const CMailslot& other) : m_hMailslot(nullptr) { *this = other; }

CMailslot& CMailslot::operator=(const CMailslot& other) {
    if (other.m_hMailslot == m_hMailslot) return *this;
    zep3::detail::HoldChannel(other.m_hMailslot);
    zep3::detail::DropChannel(m_hMailslot);
    m_hMailslot = other.m_hMailslot;
    return *this;
}

bool CMailslot::Create(CString const& name, unsigned long maxMessageSize, unsigned long readTimeout) {
    zep3::detail::DropChannel(m_hMailslot);
    m_hMailslot = INVALID_HANDLE_VALUE;
    std::string folder;
    auto end = std::make_shared<MailslotEnd>();
    if (!zep3::detail::ChannelFolder(name, "mailslot", folder) ||
        !end->claim.Claim(folder, std::to_string(DWORD(maxMessageSize))) || !end->Bind(folder))
        return false;
    end->reader = true;
    end->maxSize = DWORD(maxMessageSize);
    end->readTimeout = DWORD(readTimeout);
    m_hMailslot = zep3::detail::AddChannel(end);
    return true;
}

bool CMailslot::Connect(CString const& name) {
    zep3::detail::DropChannel(m_hMailslot);
    m_hMailslot = INVALID_HANDLE_VALUE;
    std::string folder;
    if (!zep3::detail::ChannelFolder(name, "mailslot", folder)) return false;
    auto end = std::make_shared<MailslotEnd>();
    end->fd.Reset(zep3::detail::ConnectUnixSocket(zep3::detail::SocketPathIn(folder), SOCK_DGRAM));
    if (!end->fd.IsOpen()) {
        zep3::detail::SetLastErrorFromSocket(errno);
        return false;
    }
    end->maxSize = std::strtoul(zep3::detail::ReadClaimNote(folder).c_str(), nullptr, 10);
    m_hMailslot = zep3::detail::AddChannel(end);
    return true;
}

bool CMailslot::MessageAvailable(unsigned long* nextSize) {
    auto end = FindChannelAs<MailslotEnd>(m_hMailslot);
    return end && end->NextSize(nextSize);
}

bool CMailslot::Read(void* data, unsigned long size, unsigned long* done) {
    if (done) *done = 0;
    auto end = FindChannelAs<MailslotEnd>(m_hMailslot);
    return end && end->Read(data, size, done);
}

bool CMailslot::Write(void* data, unsigned long size, unsigned long* done) {
    if (done) *done = 0;
    auto end = FindChannelAs<MailslotEnd>(m_hMailslot);
    return end && end->Write(data, size, done);
}

void CMailslot::Close() {
    zep3::detail::CloseChannel(m_hMailslot);
    m_hMailslot = nullptr;
}
