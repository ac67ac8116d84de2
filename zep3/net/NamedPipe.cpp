#include <zep3/net/NamedPipe.h>
#include <zep3/net/detail/LocalChannel.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zep3::detail {

namespace {

bool FailFromSocket() {
    SetLastErrorFromSocket(errno);
    return false;
}

// One lock for the pipe names of the process and their instance counts.
std::mutex& PipesLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

} // namespace

// A pipe name served by this process. Its instances share one listening
// socket, whose queue admits as many connections as instances are free: a
// client that finds it full (or, with no instance free, finds no listener
// while the owner's lock is held) is told the pipe is busy. Guarded by
// PipesLock().
class PipeName {
public:
    PipeName(int type, unsigned maxInstances) : m_type(type), m_max(maxInstances) {}

    // The name's entry for a new instance; null with the last error set.
    static std::shared_ptr<PipeName> AddInstance(const std::string& folder, int type, unsigned maxInstances,
                                                 bool firstOnly);
    // Takes a waiting connection for an instance: the descriptor, or -1
    // (errno EAGAIN when none waits).
    int Accept();
    // An instance has gone; connected tells whether it had a client.
    void RemoveInstance(bool connected);
    int ListeningFd() const { return m_listener ? m_listener->Get() : -1; }
    std::shared_ptr<UniqueFd> Listener() const { return m_listener; }

private:
    static std::map<std::string, std::shared_ptr<PipeName>>& Names();
    bool UpdateListener();

    ChannelClaim m_claim;
    std::shared_ptr<UniqueFd> m_listener;
    int m_type;
    unsigned m_max;
    unsigned m_instances = 0;
    unsigned m_free = 0; // instances without a client
};

std::map<std::string, std::shared_ptr<PipeName>>& PipeName::Names() {
    static auto* names = new std::map<std::string, std::shared_ptr<PipeName>>;
    return *names;
}

std::shared_ptr<PipeName> PipeName::AddInstance(const std::string& folder, int type, unsigned maxInstances,
                                                bool firstOnly) {
    std::shared_ptr<PipeName>& entry = Names()[folder];
    if (!entry) {
        auto name = std::make_shared<PipeName>(type, maxInstances);
        if (!name->m_claim.Claim(folder)) {
            Names().erase(folder);
            if (GetLastError() == ERROR_ALREADY_EXISTS)
                SetLastError(ERROR_ACCESS_DENIED); // another process's
            return nullptr;
        }
        entry = name;
    } else if (firstOnly || entry->m_type != type) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    } else if (entry->m_max != PIPE_UNLIMITED_INSTANCES && entry->m_instances >= entry->m_max) {
        SetLastError(ERROR_PIPE_BUSY);
        return nullptr;
    }
    std::shared_ptr<PipeName> name = entry;
    ++name->m_instances;
    ++name->m_free;
    if (name->UpdateListener()) return name;
    const DWORD error = GetLastError();
    name->RemoveInstance(false);
    SetLastError(error);
    return nullptr;
}

bool PipeName::UpdateListener() {
    if (m_free == 0) { // every instance busy: clients find no listener
        if (m_listener) shutdown(m_listener->Get(), SHUT_RDWR);
        m_listener.reset();
        return true;
    }
    // The queue may hold m_free connections: Linux admits one more than the backlog.
    const int backlog = int(m_free) - 1;
    if (m_listener)
        return listen(m_listener->Get(), backlog) == 0 || FailChannelCall(ZEP3ErrorFromErrno(errno));
    auto fd = std::make_shared<UniqueFd>(socket(AF_UNIX, m_type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPathIn(m_claim.Folder());
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    if (!fd->IsOpen() || bind(fd->Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd->Get(), backlog) != 0)
        return FailChannelCall(ZEP3ErrorFromErrno(errno));
    m_listener = fd;
    return true;
}

int PipeName::Accept() {
    if (!m_listener) {
        errno = EAGAIN;
        return -1;
    }
    const int fd = accept4(m_listener->Get(), nullptr, nullptr, SOCK_CLOEXEC); // blocking reads and writes
    if (fd < 0) return -1;
    --m_free;
    UpdateListener();
    return fd;
}

void PipeName::RemoveInstance(bool connected) {
    --m_instances;
    if (!connected) {
        // A client may already wait in the queue for this instance: it
        // loses it, as it would lose the instance that was closed.
        --m_free;
        if (m_listener) {
            const int early = accept4(m_listener->Get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (early >= 0) close(early);
        }
    }
    UpdateListener();
    if (m_instances == 0) { // the name is free again (callers still hold this object)
        const std::string folder = m_claim.Folder();
        m_claim.Release();
        Names().erase(folder);
    }
}

// One end of a pipe: a server instance (with its name) or a client.
class PipeEnd : public Channel {
public:
    ~PipeEnd() override {
        if (m_fd >= 0) close(m_fd);
    }
    void Shutdown() override;

    bool WaitForConnection();
    bool Read(void* data, size_t size, unsigned long* done);
    bool Write(const void* data, size_t size, unsigned long* done);
    bool DataAvailable(unsigned long* bytes);

    std::shared_ptr<PipeName> name; // server instances only
    std::atomic<int> m_fd{-1};      // the connection; -1 while a server instance waits for a client
    bool canRead = false, canWrite = false;
    bool messageType = false, messageRead = false;

private:
    bool TakeRest(void* data, size_t size, unsigned long* done);
    bool ReadMessage(int fd, void* data, size_t size, unsigned long* done);
    bool Ended(); // a read found the end: the pipe broke, or Close ended it

    std::mutex m_readLock, m_writeLock;
    std::string m_rest; // the unread part of a message longer than a read
    size_t m_restAt = 0;
};

void PipeEnd::Shutdown() {
    Channel::Shutdown();
    std::lock_guard<std::mutex> hold(PipesLock());
    const int fd = m_fd;
    if (fd >= 0) shutdown(fd, SHUT_RDWR); // ends reads and writes under way
    if (name) name->RemoveInstance(fd >= 0);
}

bool PipeEnd::WaitForConnection() {
    if (!name) return FailChannelCall(ERROR_INVALID_FUNCTION); // a client end
    for (;;) {
        std::shared_ptr<UniqueFd> listener;
        {
            std::lock_guard<std::mutex> hold(PipesLock());
            if (IsClosing()) return FailChannelCall(ERROR_OPERATION_ABORTED);
            if (m_fd >= 0) return true; // ERROR_PIPE_CONNECTED on Windows: still a success
            const int fd = name->Accept();
            if (fd >= 0) {
                m_fd = fd;
                return true;
            }
            if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) return FailFromSocket();
            listener = name->Listener();
        }
        if (!listener) return FailChannelCall(ERROR_PIPE_BUSY);
        if (Wait(listener->Get(), POLLIN, Deadline::Never()) < 0) return false;
    }
}

bool PipeEnd::Ended() { return FailChannelCall(IsClosing() ? ERROR_OPERATION_ABORTED : ERROR_BROKEN_PIPE); }

bool PipeEnd::TakeRest(void* data, size_t size, unsigned long* done) {
    const size_t n = std::min(size, m_rest.size() - m_restAt);
    std::memcpy(data, m_rest.data() + m_restAt, n);
    m_restAt += n;
    if (done) *done = (unsigned long)n;
    if (m_restAt < m_rest.size()) return !messageRead || FailChannelCall(ERROR_MORE_DATA);
    m_rest.clear();
    m_restAt = 0;
    return true;
}

bool PipeEnd::ReadMessage(int fd, void* data, size_t size, unsigned long* done) {
    const ssize_t length = recv(fd, nullptr, 0, MSG_PEEK | MSG_TRUNC); // waits for the next message
    if (length < 0) return FailFromSocket();
    if (length == 0) return Ended();
    if (size_t(length) <= size) {
        const ssize_t n = recv(fd, data, size, 0);
        if (n <= 0) return n == 0 ? Ended() : FailFromSocket();
        if (done) *done = (unsigned long)n;
        return true;
    }
    m_rest.resize(size_t(length));
    const ssize_t n = recv(fd, &m_rest[0], m_rest.size(), 0);
    if (n <= 0) {
        m_rest.clear();
        return n == 0 ? Ended() : FailFromSocket();
    }
    m_rest.resize(size_t(n));
    return TakeRest(data, size, done);
}

bool PipeEnd::Read(void* data, size_t size, unsigned long* done) {
    if (!canRead) return FailChannelCall(ERROR_ACCESS_DENIED);
    const int fd = m_fd;
    if (fd < 0) return FailChannelCall(ERROR_PIPE_LISTENING);
    if (size == 0) return true;
    std::lock_guard<std::mutex> hold(m_readLock);
    if (!m_rest.empty()) return TakeRest(data, size, done);
    if (messageType) return ReadMessage(fd, data, size, done);
    const ssize_t n = recv(fd, data, size, 0);
    if (n <= 0) return n == 0 ? Ended() : FailFromSocket();
    if (done) *done = (unsigned long)n;
    return true;
}

bool PipeEnd::Write(const void* data, size_t size, unsigned long* done) {
    if (!canWrite) return FailChannelCall(ERROR_ACCESS_DENIED);
    const int fd = m_fd;
    if (fd < 0) return FailChannelCall(ERROR_PIPE_LISTENING);
    if (size == 0) return true; // nothing to send (an empty message would read as the end)
    std::lock_guard<std::mutex> hold(m_writeLock);
    size_t sent = 0;
    bool ok = SendAll(fd, data, size, &sent);
    if (!ok && errno == EMSGSIZE) {
        // A message larger than the send buffer: make room, as far as the system allows.
        const int room = int(std::min<size_t>(size + 4096, 1 << 30));
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
        ok = SendAll(fd, data, size, &sent);
    }
    if (done) *done = (unsigned long)sent;
    if (ok) return true;
    return IsClosing() ? FailChannelCall(ERROR_OPERATION_ABORTED) : FailFromSocket();
}

bool PipeEnd::DataAvailable(unsigned long* bytes) {
    const int fd = m_fd;
    if (fd < 0) return FailChannelCall(ERROR_PIPE_LISTENING);
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) return FailFromSocket();
    std::lock_guard<std::mutex> hold(m_readLock);
    const size_t total = size_t(waiting) + (m_rest.size() - m_restAt);
    pollfd p = {fd, POLLIN | POLLRDHUP, 0};
    if (total == 0 && poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP))) return Ended();
    if (bytes) *bytes = (unsigned long)total;
    return true;
}

} // namespace zep3::detail

using zep3::detail::FailChannelCall;
using zep3::detail::FindChannelAs;
using zep3::detail::PipeEnd;

namespace {

// The access of a client handle.
bool AccessReads(unsigned long access) { return access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA); }
bool AccessWrites(unsigned long access) { return access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA); }

// Connects to a free instance of the pipe in the folder, trying both socket
// types. 1 connected (fd set), 0 every instance busy, -1 failed.
int TryConnect(const std::string& folder, int& fd, int& type) {
    const std::string path = zep3::detail::SocketPathIn(folder);
    type = SOCK_STREAM;
    fd = zep3::detail::ConnectUnixSocket(path, type);
    if (fd < 0 && errno == EPROTOTYPE) fd = zep3::detail::ConnectUnixSocket(path, type = SOCK_SEQPACKET);
    if (fd >= 0) return 1;
    if (errno == EAGAIN) return 0;
    if ((errno == ENOENT || errno == ECONNREFUSED) && zep3::detail::IsClaimed(folder)) return 0;
    zep3::detail::SetLastErrorFromSocket(errno);
    return -1;
}

} // namespace

CNamedPipe::CNamedPipe() : m_hPipe(nullptr) {}

CNamedPipe::~CNamedPipe() { zep3::detail::DropChannel(m_hPipe); }

CNamedPipe::CNamedPipe(const CNamedPipe& other) : m_hPipe(nullptr) { Assing(other); }

CNamedPipe& CNamedPipe::operator=(const CNamedPipe& other) {
    Assing(other);
    return *this;
}

void CNamedPipe::Assing(const CNamedPipe& other) {
    if (other.m_hPipe == m_hPipe) return;
    zep3::detail::HoldChannel(other.m_hPipe);
    zep3::detail::DropChannel(m_hPipe);
    m_hPipe = other.m_hPipe;
}

bool CNamedPipe::Create(CString const& name, unsigned long, unsigned long, unsigned long,
                        unsigned long maxInstances, unsigned long openMode, unsigned long pipeMode) {
    zep3::detail::DropChannel(m_hPipe);
    m_hPipe = INVALID_HANDLE_VALUE;
    const DWORD access = DWORD(openMode) & PIPE_ACCESS_DUPLEX;
    const bool messageType = pipeMode & PIPE_TYPE_MESSAGE, messageRead = pipeMode & PIPE_READMODE_MESSAGE;
    if (maxInstances < 1 || maxInstances > PIPE_UNLIMITED_INSTANCES || access == 0 ||
        (messageRead && !messageType))
        return FailChannelCall(ERROR_INVALID_PARAMETER);
    std::string folder;
    if (!zep3::detail::ChannelFolder(name, "pipe", folder)) return false;
    auto end = std::make_shared<PipeEnd>();
    {
        std::lock_guard<std::mutex> hold(zep3::detail::PipesLock());
        end->name = zep3::detail::PipeName::AddInstance(folder, messageType ? SOCK_SEQPACKET : SOCK_STREAM,
                                                        unsigned(maxInstances),
                                                        openMode & FILE_FLAG_FIRST_PIPE_INSTANCE);
    }
    if (!end->name) return false;
    end->canRead = access & PIPE_ACCESS_INBOUND;
    end->canWrite = access & PIPE_ACCESS_OUTBOUND;
    end->messageType = messageType;
    end->messageRead = messageRead;
    m_hPipe = zep3::detail::AddChannel(end);
    return true;
}

bool CNamedPipe::WaitForConnection() {
    auto end = FindChannelAs<PipeEnd>(m_hPipe);
    return end && end->WaitForConnection();
}

bool CNamedPipe::Connect(CString const& name, unsigned long readMode, unsigned long access) {
    zep3::detail::DropChannel(m_hPipe);
    m_hPipe = INVALID_HANDLE_VALUE;
    std::string folder;
    if (!zep3::detail::ChannelFolder(name, "pipe", folder)) return false;
    int fd = -1, type = SOCK_STREAM, result;
    const zep3::detail::Deadline deadline = zep3::detail::Deadline::After(10000);
    for (DWORD pause = 1; (result = TryConnect(folder, fd, type)) == 0;
         pause = std::min<DWORD>(pause * 2, 20)) {
        if (deadline.HasPassed()) return FailChannelCall(ERROR_PIPE_BUSY);
        zep3::detail::SleepMilliseconds(pause); // until an instance is free
    }
    if (result < 0) return false;
    zep3::detail::UniqueFd connection(fd);
    if ((readMode & PIPE_READMODE_MESSAGE) && type != SOCK_SEQPACKET)
        return FailChannelCall(ERROR_INVALID_PARAMETER);
    if (!zep3::detail::SetNonBlocking(fd, false)) return FailChannelCall(ZEP3ErrorFromErrno(errno));
    auto end = std::make_shared<PipeEnd>();
    end->m_fd = connection.Release();
    end->canRead = AccessReads(access);
    end->canWrite = AccessWrites(access);
    end->messageType = type == SOCK_SEQPACKET;
    end->messageRead = readMode & PIPE_READMODE_MESSAGE;
    m_hPipe = zep3::detail::AddChannel(end);
    return true;
}

bool CNamedPipe::DataAvailable(unsigned long* bytes) {
    auto end = FindChannelAs<PipeEnd>(m_hPipe);
    return end && end->DataAvailable(bytes);
}

bool CNamedPipe::Read(void* data, unsigned long size, unsigned long* done) {
    if (done) *done = 0;
    auto end = FindChannelAs<PipeEnd>(m_hPipe);
    return end && end->Read(data, size, done);
}

bool CNamedPipe::Write(void* data, unsigned long size, unsigned long* done) {
    if (done) *done = 0;
    auto end = FindChannelAs<PipeEnd>(m_hPipe);
    return end && end->Write(data, size, done);
}

void CNamedPipe::Destroy() {
    // What was written stays readable by the client after the disconnection,
    // so the flush has nothing to wait for; Close disconnects.
    Close();
}

void CNamedPipe::Close() {
    zep3::detail::CloseChannel(m_hPipe);
    m_hPipe = nullptr;
}
