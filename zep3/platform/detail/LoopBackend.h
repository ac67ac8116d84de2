#pragma once
// What a thread's message loop waits on: a wake-up that any thread can
// trigger, and file descriptors watched for readiness. The loop logic is
// written against this interface; LoopBackendEpoll.cpp implements it with
// epoll and an eventfd.
#include <zep3/platform/WinTypes.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace zep3::detail {

struct ReadyFd {
    uint64_t key;  // as given to Watch
    DWORD events;  // CFdNotifier event bits
};

class LoopBackend {
public:
    virtual ~LoopBackend() = default;
    virtual bool IsValid() const = 0;
    // Any thread: ends the owner's current or next Wait.
    virtual void Wake() = 0;
    // Owner thread: waits up to timeoutMs (negative: no limit) for a wake-up
    // or, when watchFds, a ready descriptor. A wake-up is consumed. The ready
    // descriptors are appended to `ready`.
    virtual void Wait(int timeoutMs, bool watchFds, std::vector<ReadyFd>& ready) = 0;
    // Starts or changes watching fd; events 0 pauses it. Callers serialise
    // Watch and Unwatch of one backend.
    virtual bool Watch(int fd, uint64_t key, DWORD events) = 0;
    virtual void Unwatch(int fd) = 0;
    // A descriptor that polls readable while Wait would return at once (a
    // wake-up or a ready descriptor), for waits that add descriptors of their own.
    virtual int PollFd() const = 0;
};

std::unique_ptr<LoopBackend> CreateLoopBackend();

} // namespace zep3::detail
