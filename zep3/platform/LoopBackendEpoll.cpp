#include <zep3/platform/FdNotifier.h>
#include <zep3/platform/detail/LoopBackend.h>
#include <zep3/platform/detail/Posix.h>

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unordered_map>

namespace zep3::detail {
namespace {

const uint64_t kWakeKey = 0;

uint32_t ToEpoll(DWORD events) {
    uint32_t e = 0;
    if (events & CFdNotifier::Read) e |= EPOLLIN | EPOLLRDHUP;
    if (events & CFdNotifier::Write) e |= EPOLLOUT;
    return e;
}

DWORD FromEpoll(uint32_t e) {
    DWORD events = 0;
    if (e & (EPOLLIN | EPOLLPRI)) events |= CFdNotifier::Read;
    if (e & EPOLLOUT) events |= CFdNotifier::Write;
    if (e & EPOLLERR) events |= CFdNotifier::Error;
    if (e & (EPOLLHUP | EPOLLRDHUP)) events |= CFdNotifier::HangUp;
    return events;
}

class EpollBackend : public LoopBackend {
public:
    EpollBackend() : m_epoll(epoll_create1(EPOLL_CLOEXEC)), m_wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (IsValid()) {
            struct epoll_event ev = {};
            ev.events = EPOLLIN;
            ev.data.u64 = kWakeKey;
            epoll_ctl(m_epoll.Get(), EPOLL_CTL_ADD, m_wake.Get(), &ev);
        }
    }

    bool IsValid() const override { return m_epoll.IsOpen() && m_wake.IsOpen(); }

    void Wake() override {
        uint64_t one = 1;
        WriteAll(m_wake.Get(), &one, sizeof one);
    }

    void Wait(int timeoutMs, bool watchFds, std::vector<ReadyFd>& ready) override {
        if (!watchFds) {
            struct pollfd p = {m_wake.Get(), POLLIN, 0};
            if (poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs) > 0) Drain();
            return;
        }
        struct epoll_event events[32];
        int n = epoll_wait(m_epoll.Get(), events, 32, timeoutMs < 0 ? -1 : timeoutMs);
        for (int i = 0; i < n; ++i) {
            if (events[i].data.u64 == kWakeKey) Drain();
            else ready.push_back({events[i].data.u64, FromEpoll(events[i].events)});
        }
    }

    bool Watch(int fd, uint64_t key, DWORD events) override {
        auto it = m_watched.find(fd);
        if (events == 0) {
            // epoll always reports errors and hang-ups; a paused descriptor
            // leaves the set so that they cannot spin the loop.
            if (it != m_watched.end()) {
                epoll_ctl(m_epoll.Get(), EPOLL_CTL_DEL, fd, nullptr);
                m_watched.erase(it);
            }
            return true;
        }
        struct epoll_event ev = {};
        ev.events = ToEpoll(events);
        ev.data.u64 = key;
        bool added = it != m_watched.end();
        if (epoll_ctl(m_epoll.Get(), added ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &ev) != 0) return false;
        m_watched[fd] = key;
        return true;
    }

    void Unwatch(int fd) override { Watch(fd, 0, 0); }

    int PollFd() const override { return m_epoll.Get(); }

private:
    void Drain() {
        uint64_t count;
        ReadAll(m_wake.Get(), &count, sizeof count);
    }

    UniqueFd m_epoll;
    UniqueFd m_wake; // an eventfd: any thread's Wake ends the owner's Wait
    std::unordered_map<int, uint64_t> m_watched;
};

} // namespace

std::unique_ptr<LoopBackend> CreateLoopBackend() { return std::make_unique<EpollBackend>(); }

} // namespace zep3::detail
