#include <zep3/net/detail/LocalChannel.h>
#include <zep3/platform/LastError.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <unordered_map>

namespace zep3::detail {

namespace {

bool FailWithErrno() { return FailChannelCall(ZEP3ErrorFromErrno(errno)); }

// A folder that must be ours alone: made when missing, refused when it is a
// link, another user's or open to others.
bool OwnFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return FailWithErrno();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return FailWithErrno();
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 022))
        return FailChannelCall(ERROR_ACCESS_DENIED);
    return true;
}

std::string BaseFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/zep3";
    return "/tmp/zep3-" + std::to_string(geteuid());
}

bool EqualsNoCase(const std::string& a, const char* b) {
    return a.size() == std::strlen(b) && strncasecmp(a.c_str(), b, a.size()) == 0;
}

flock WholeFileLock(short type) {
    flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

} // namespace

bool ChannelFolder(const char* name, const char* kind, std::string& folder) {
    const std::string text = name ? name : "";
    if (text.compare(0, 2, "\\\\") != 0) return FailChannelCall(ERROR_INVALID_NAME);
    const size_t serverEnd = text.find('\\', 2), kindEnd = text.find('\\', serverEnd + 1);
    if (serverEnd == std::string::npos || kindEnd == std::string::npos)
        return FailChannelCall(ERROR_INVALID_NAME);
    if (text.compare(2, serverEnd - 2, ".") != 0) return FailChannelCall(ERROR_BAD_NETPATH);
    if (!EqualsNoCase(text.substr(serverEnd + 1, kindEnd - serverEnd - 1), kind))
        return FailChannelCall(ERROR_INVALID_NAME);
    std::string leaf = text.substr(kindEnd + 1);
    if (leaf.empty() || leaf == "." || leaf == ".." || leaf.size() > 256 ||
        leaf.find('/') != std::string::npos || leaf.find('\0') != std::string::npos)
        return FailChannelCall(ERROR_INVALID_NAME);
    for (char& c : leaf)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    const std::string base = BaseFolder(), kindFolder = base + "/" + kind;
    folder = kindFolder + "/" + leaf;
    if (SocketPathIn(folder).size() >= sizeof(sockaddr_un::sun_path))
        return FailChannelCall(ERROR_FILENAME_EXCED_RANGE);
    return OwnFolder(base) && OwnFolder(kindFolder);
}

bool ChannelClaim::Claim(const std::string& folder, const std::string& note) {
    Release();
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return FailWithErrno();
        UniqueFd lock(open(LockPathIn(folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!lock.IsOpen()) {
            if (errno == ENOENT) continue; // the folder went away meanwhile
            return FailWithErrno();
        }
        flock whole = WholeFileLock(F_WRLCK);
        if (fcntl(lock.Get(), F_OFD_SETLK, &whole) != 0) {
            if (errno == EAGAIN || errno == EACCES) return FailChannelCall(ERROR_ALREADY_EXISTS);
            return FailWithErrno();
        }
        // The previous owner may have removed the file between our open and
        // our lock: then the lock guards nothing and we start again.
        if (!IsSameFile(lock.Get(), LockPathIn(folder))) continue;
        unlink(SocketPathIn(folder).c_str()); // left by an owner that died
        if (ftruncate(lock.Get(), 0) != 0 || !WriteAll(lock.Get(), note.data(), note.size()))
            return FailWithErrno();
        m_folder = folder;
        m_lock = std::move(lock);
        return true;
    }
    return FailChannelCall(ERROR_ACCESS_DENIED);
}

void ChannelClaim::Release() {
    if (!m_lock.IsOpen()) return;
    unlink(SocketPathIn(m_folder).c_str());
    unlink(LockPathIn(m_folder).c_str());
    rmdir(m_folder.c_str());
    m_lock.Reset();
    m_folder.clear();
}

bool IsClaimed(const std::string& folder) {
    UniqueFd lock(open(LockPathIn(folder).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    flock probe = WholeFileLock(F_WRLCK);
    return lock.IsOpen() && fcntl(lock.Get(), F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

std::string ReadClaimNote(const std::string& folder) {
    std::string note;
    return ReadWholeFile(LockPathIn(folder), note) ? note : std::string();
}

int ConnectUnixSocket(const std::string& path, int type) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(socket(AF_UNIX, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.IsOpen() || connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return -1;
    return fd.Release();
}

// ---- channels and their handles ----

Channel::Channel() : m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void Channel::Shutdown() {
    m_closing = true;
    const uint64_t one = 1;
    if (m_wake.IsOpen()) WriteAll(m_wake.Get(), &one, sizeof one);
}

int Channel::Wait(int fd, short events, const Deadline& deadline) const {
    pollfd watched[2] = {{fd, events, 0}, {m_wake.Get(), POLLIN, 0}};
    for (;;) {
        if (m_closing) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return -1;
        }
        const int n = poll(watched, 2, deadline.RemainingMilliseconds());
        if (n < 0 && errno != EINTR) {
            FailWithErrno();
            return -1;
        }
        if (n == 0) return 0;
        if (n > 0 && watched[0].revents && !m_closing) return 1;
    }
}

namespace {

struct HandleEntry {
    std::shared_ptr<Channel> channel;
    int holders;
};

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, HandleEntry> entries;
    uintptr_t next = 1;
};

HandleTable& Handles() {
    static HandleTable* table = new HandleTable; // lives until the very end
    return *table;
}

} // namespace

HANDLE AddChannel(std::shared_ptr<Channel> channel) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    // Multiples of four like the system's handles, in a range of their own.
    const uintptr_t key = (uintptr_t(0x5A) << 24) + table.next++ * 4;
    table.entries.emplace(key, HandleEntry{std::move(channel), 1});
    return reinterpret_cast<HANDLE>(key);
}

std::shared_ptr<Channel> FindChannel(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.entries.find(reinterpret_cast<uintptr_t>(handle));
    return it == table.entries.end() ? nullptr : it->second.channel;
}

void HoldChannel(HANDLE handle) {
    HandleTable& table = Handles();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.entries.find(reinterpret_cast<uintptr_t>(handle));
    if (it != table.entries.end()) ++it->second.holders;
}

void DropChannel(HANDLE handle) {
    std::shared_ptr<Channel> last;
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> hold(table.lock);
        auto it = table.entries.find(reinterpret_cast<uintptr_t>(handle));
        if (it == table.entries.end() || --it->second.holders > 0) return;
        last = std::move(it->second.channel);
        table.entries.erase(it);
    }
    last->Shutdown();
}

bool CloseChannel(HANDLE handle) {
    std::shared_ptr<Channel> closed;
    {
        HandleTable& table = Handles();
        std::lock_guard<std::mutex> hold(table.lock);
        auto it = table.entries.find(reinterpret_cast<uintptr_t>(handle));
        if (it == table.entries.end()) return FailChannelCall(ERROR_INVALID_HANDLE);
        closed = std::move(it->second.channel);
        table.entries.erase(it);
    }
    closed->Shutdown();
    return true;
}

void SetLastErrorInvalidHandle() { SetLastError(ERROR_INVALID_HANDLE); }

bool FailChannelCall(DWORD error) {
    SetLastError(error);
    return false;
}

void SetLastErrorFromSocket(int err) {
    switch (err) {
    case EPIPE:
    case ECONNRESET:
        SetLastError(ERROR_NO_DATA);
        break;
    case ENOTCONN:
        SetLastError(ERROR_PIPE_NOT_CONNECTED);
        break;
    case ENOENT:
    case ECONNREFUSED:
        SetLastError(ERROR_FILE_NOT_FOUND);
        break;
    default:
        SetLastError(ZEP3ErrorFromErrno(err));
    }
}

} // namespace zep3::detail
