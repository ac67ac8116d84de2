#pragma once
// What named pipes and mailslots share on Linux: where their names live,
// who owns a name, the handles the applications hold, and blocking waits
// that a Close from another thread ends.
//
// "\\.\pipe\NAME" and "\\.\mailslot\NAME" are Unix sockets in a folder per
// name, $XDG_RUNTIME_DIR/zep3/<kind>/<name>/ (without XDG_RUNTIME_DIR:
// /tmp/zep3-<uid>/, which must be the user's own). Names ignore case, as on
// Windows, so the folder takes the lower-case name. Beside the socket ("s")
// lies the owner's lock file ("lock"): its owner holds an open-file-
// description write lock on it for as long as the name is in use, so that a
// name left behind by a process that died is taken over, and a client can
// tell a busy name from a stale one.
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>
#include <zep3/platform/detail/Posix.h>

#include <atomic>
#include <memory>
#include <string>

namespace zep3::detail {

// The folder of a local channel name of the kind ("pipe" or "mailslot").
// False with the last error set: ERROR_BAD_NETPATH for a name on another
// machine, ERROR_INVALID_NAME for anything but "\\.\<kind>\NAME",
// ERROR_FILENAME_EXCED_RANGE when the socket's path would be too long.
ZEP3_TEST_API bool ChannelFolder(const char* name, const char* kind, std::string& folder);
inline std::string SocketPathIn(const std::string& folder) { return folder + "/s"; }
inline std::string LockPathIn(const std::string& folder) { return folder + "/lock"; }

// Ownership of a channel name: Claim creates the folder and takes the lock
// (a stale socket is removed); false with ERROR_ALREADY_EXISTS when another
// object or process holds the name. Release (and the destructor) removes the
// socket, the lock and the folder.
class ChannelClaim {
public:
    ChannelClaim() = default;
    ~ChannelClaim() { Release(); }
    ChannelClaim(const ChannelClaim&) = delete;
    ChannelClaim& operator=(const ChannelClaim&) = delete;

    // note: a short text for clients, kept in the lock file (ReadClaimNote).
    bool Claim(const std::string& folder, const std::string& note = std::string());
    void Release();
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    UniqueFd m_lock;
};

// Whether a live owner holds the name's lock.
bool IsClaimed(const std::string& folder);
// The text the owner left in its lock file; empty when there is none.
std::string ReadClaimNote(const std::string& folder);

// A Unix socket of the type connected to the path, non-blocking and
// close-on-exec; -1 with errno set.
int ConnectUnixSocket(const std::string& path, int type);

// An object behind a pipe or mailslot handle. Close ends it for every
// holder of the handle and wakes the waits under way on it.
class Channel {
public:
    Channel();
    virtual ~Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Ends the channel: called once, when its handle is closed.
    virtual void Shutdown();
    bool IsClosing() const { return m_closing; }

    // Waits until fd is ready for events (POLLIN, POLLOUT), the deadline
    // passes or the channel is closed: 1 ready, 0 time-out, -1 closed (last
    // error ERROR_OPERATION_ABORTED) or failed.
    int Wait(int fd, short events, const Deadline& deadline) const;

private:
    std::atomic<bool> m_closing{false};
    UniqueFd m_wake; // an eventfd that Shutdown signals
};

// The handle table. Each object that holds a handle counts as a holder:
// AddChannel gives the first, HoldChannel adds one, DropChannel removes one
// and shuts the channel down with the last; CloseChannel shuts it down for
// all at once. Handles are never reused.
HANDLE AddChannel(std::shared_ptr<Channel> channel);
void SetLastErrorInvalidHandle();
// The channel of an open handle; null (last error ERROR_INVALID_HANDLE) otherwise.
std::shared_ptr<Channel> FindChannel(HANDLE handle);
template <class T> std::shared_ptr<T> FindChannelAs(HANDLE handle) {
    auto found = std::dynamic_pointer_cast<T>(FindChannel(handle));
    if (!found) SetLastErrorInvalidHandle();
    return found;
}
void HoldChannel(HANDLE handle);
void DropChannel(HANDLE handle);
bool CloseChannel(HANDLE handle);

// Sets the last error from errno, mapping the socket errors to the pipe ones.
void SetLastErrorFromSocket(int err);
// Sets the last error and returns false, for the failure paths.
bool FailChannelCall(DWORD error);

} // namespace zep3::detail
