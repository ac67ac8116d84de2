#include "DevicesTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace devicestest {

PtyPair::PtyPair() {
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "openpty: " << errno;
        return;
    }
    m_path = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
    if (m_master >= 0) close(m_master);
    if (m_slave >= 0) close(m_slave);
}

void PtyPair::Send(const std::string& bytes) const {
    size_t sent = 0;
    zep3test::waitFor([&] {
        const ssize_t n = write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) sent += size_t(n);
        return sent == bytes.size();
    });
    ASSERT_EQ(sent, bytes.size());
}

std::string PtyPair::Receive(size_t size) const {
    std::string got;
    char buffer[4096];
    zep3test::waitFor([&] {
        const ssize_t n = read(m_master, buffer, std::min(sizeof buffer, size - got.size()));
        if (n > 0) got.append(buffer, size_t(n));
        return got.size() >= size;
    });
    return got;
}

int PtyPair::Queued() const {
    int queued = 0;
    ioctl(m_slave, FIONREAD, &queued);
    return queued;
}

void PtyPair::HangUp() {
    close(m_master);
    m_master = -1;
}

ComAlias::ComAlias(int n, const std::string& path) : m_n(n) {
    setenv(("ZEP3_COM" + std::to_string(n)).c_str(), path.c_str(), 1);
}

ComAlias::~ComAlias() { unsetenv(("ZEP3_COM" + std::to_string(m_n)).c_str()); }

class FakeLines::Lines : public zep3::detail::ModemLines {
public:
    explicit Lines(FakeLines& owner) : m_owner(owner) {}
    bool GetStatus(DWORD& status) override {
        std::lock_guard<std::mutex> hold(m_owner.m_lock);
        status = m_owner.m_status;
        return !m_owner.m_broken;
    }
    bool Escape(DWORD code) override {
        std::lock_guard<std::mutex> hold(m_owner.m_lock);
        m_owner.m_escapes += std::to_string(code) + " ";
        return !m_owner.m_broken;
    }
    bool GetCounts(zep3::detail::LineCounts& counts) override {
        std::lock_guard<std::mutex> hold(m_owner.m_lock);
        counts = m_owner.m_counts;
        return !m_owner.m_broken;
    }

private:
    FakeLines& m_owner;
};

FakeLines::FakeLines() {
    zep3::detail::SetModemLinesFactory([this](int) { return std::make_unique<Lines>(*this); });
}

FakeLines::~FakeLines() { zep3::detail::SetModemLinesFactory(nullptr); }

void FakeLines::Set(DWORD line, bool on) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (bool(m_status & line) == on) return;
    m_status ^= line;
    ++(line == MS_CTS_ON ? m_counts.cts : line == MS_DSR_ON ? m_counts.dsr : m_counts.rlsd);
}

void FakeLines::Ring() {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_counts.ring;
}

void FakeLines::Break() {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_counts.breaks;
}

std::string FakeLines::Escapes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_escapes;
}

void FakeLines::SetBroken(bool broken) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_broken = broken;
}

} // namespace devicestest
