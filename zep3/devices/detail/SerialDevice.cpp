#include <zep3/devices/CommConstants.h>
#include <zep3/devices/detail/SerialDevice.h>
#include <zep3/platform/LastError.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zep3::detail {

ModemLines::~ModemLines() = default;

namespace {

// The lines as the terminal driver gives them. Drivers without interrupt
// counters (TIOCGICOUNT) get counters made from the changes of the status
// seen at each call.
class TerminalLines : public ModemLines {
public:
    explicit TerminalLines(int fd) : m_fd(fd) {}

    bool GetStatus(DWORD& status) override {
        int bits = 0;
        if (ioctl(m_fd, TIOCMGET, &bits) != 0) return false;
        status = (bits & TIOCM_CTS ? MS_CTS_ON : 0) | (bits & TIOCM_DSR ? MS_DSR_ON : 0) |
                 (bits & TIOCM_RI ? MS_RING_ON : 0) | (bits & TIOCM_CD ? MS_RLSD_ON : 0);
        return true;
    }

    bool Escape(DWORD code) override {
        int bit = code == SETDTR || code == CLRDTR ? TIOCM_DTR : TIOCM_RTS;
        if (code < SETRTS || code > CLRDTR) return false;
        return ioctl(m_fd, code == SETDTR || code == SETRTS ? TIOCMBIS : TIOCMBIC, &bit) == 0;
    }

    bool GetCounts(LineCounts& counts) override {
        serial_icounter_struct ic{};
        if (ioctl(m_fd, TIOCGICOUNT, &ic) == 0) {
            counts.cts = ic.cts;
            counts.dsr = ic.dsr;
            counts.ring = ic.rng;
            counts.rlsd = ic.dcd;
            counts.breaks = ic.brk;
            counts.errors = ic.frame + ic.overrun + ic.parity + ic.buf_overrun;
            return true;
        }
        DWORD status = 0;
        if (!GetStatus(status)) return false;
        const DWORD changed = m_hasStatus ? status ^ m_status : 0;
        m_synthesised.cts += (changed & MS_CTS_ON) != 0;
        m_synthesised.dsr += (changed & MS_DSR_ON) != 0;
        m_synthesised.rlsd += (changed & MS_RLSD_ON) != 0;
        m_synthesised.ring += (changed & MS_RING_ON) && !(status & MS_RING_ON);
        m_status = status;
        m_hasStatus = true;
        counts = m_synthesised;
        return true;
    }

private:
    int m_fd;
    DWORD m_status = 0;
    bool m_hasStatus = false;
    LineCounts m_synthesised;
};

std::mutex& FactoryLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

ModemLinesFactory& Factory() {
    static ModemLinesFactory* factory = new ModemLinesFactory;
    return *factory;
}

std::unique_ptr<ModemLines> MakeLines(int fd) {
    std::lock_guard<std::mutex> hold(FactoryLock());
    return Factory() ? Factory()(fd) : std::make_unique<TerminalLines>(fd);
}

DWORD OpenError(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case EIO: return ERROR_FILE_NOT_FOUND; // a device node without a port behind it
    case EBUSY:
    case EACCES:
    case EPERM:
    case EWOULDBLOCK: return ERROR_ACCESS_DENIED;
    default: return ZEP3ErrorFromErrno(err);
    }
}

// poll(2) that carries on after signals (the platform's thread suspension
// interrupts waits) with the time that is left.
int PollUntil(pollfd* fds, nfds_t count, const Deadline& deadline) {
    for (;;) {
        int n = poll(fds, count, deadline.RemainingMilliseconds());
        if (n >= 0 || errno != EINTR) return n;
    }
}

speed_t SpeedConstant(unsigned int rate) {
    static const struct {
        unsigned int rate;
        speed_t speed;
    } table[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
                 {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
                 {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
                 {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
                 {576000, B576000}, {921600, B921600}, {1000000, B1000000}};
    for (const auto& entry : table)
        if (entry.rate == rate) return entry.speed;
    return B0;
}

tcflag_t ByteSizeFlag(BYTE size) {
    switch (size) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8; // the nearest the device can do
    }
}

tcflag_t ParityFlags(BYTE parity) {
    switch (parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
    }
}

constexpr DWORD kLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_BREAK | EV_ERR;

DWORD ChangedEvents(const LineCounts& before, const LineCounts& now) {
    return (now.cts != before.cts ? EV_CTS : 0) | (now.dsr != before.dsr ? EV_DSR : 0) |
           (now.rlsd != before.rlsd ? EV_RLSD : 0) | (now.ring != before.ring ? EV_RING : 0) |
           (now.breaks != before.breaks ? EV_BREAK : 0) | (now.errors != before.errors ? EV_ERR : 0);
}

} // namespace

void SetModemLinesFactory(ModemLinesFactory factory) {
    std::lock_guard<std::mutex> hold(FactoryLock());
    Factory() = std::move(factory);
}

std::string SerialDevicePath(const char* port) {
    std::string name = port ? port : "";
    std::string com = name.compare(0, 4, "\\\\.\\") == 0 ? name.substr(4) : name;
    if (com.size() > 3 && strncasecmp(com.c_str(), "COM", 3) == 0 &&
        std::all_of(com.begin() + 3, com.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const long n = std::strtol(com.c_str() + 3, nullptr, 10);
        if (n >= 1 && n <= INT_MAX) {
            const std::string variable = "ZEP3_COM" + std::to_string(n);
            const char* other = std::getenv(variable.c_str());
            if (other && *other) return other;
            return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return name;
}

// ---- WakeEvent ----

WakeEvent::WakeEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeEvent::Signal() const {
    const uint64_t one = 1;
    WriteAll(m_fd.Get(), &one, sizeof one);
}

void WakeEvent::Clear() const {
    uint64_t count;
    while (read(m_fd.Get(), &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool WakeEvent::Wait(int milliseconds) const {
    pollfd fd{m_fd.Get(), POLLIN, 0};
    return PollUntil(&fd, 1, Deadline::After(static_cast<DWORD>(milliseconds))) > 0;
}

// ---- SerialDevice ----

// A call in progress: Close waits until every one has left.
class SerialDevice::Call {
public:
    explicit Call(SerialDevice& device) : m_device(device) {
        std::lock_guard<std::mutex> hold(device.m_lock);
        m_entered = device.m_open;
        if (m_entered) ++device.m_calls;
    }
    ~Call() {
        if (!m_entered) return;
        std::lock_guard<std::mutex> hold(m_device.m_lock);
        if (--m_device.m_calls == 0) m_device.m_idle.notify_all();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    explicit operator bool() const { return m_entered; }

private:
    SerialDevice& m_device;
    bool m_entered;
};

std::shared_ptr<SerialDevice> SerialDevice::Open(const CString& port, const SerialSettings& settings) {
    const std::string path = SerialDevicePath(port);
    UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsOpen()) {
        SetLastError(OpenError(errno));
        return nullptr;
    }
    termios tio;
    if (tcgetattr(fd.Get(), &tio) != 0) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return nullptr;
    }
    // TIOCEXCL keeps other opens out, except root's; the lock covers root.
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        SetLastError(OpenError(errno));
        return nullptr;
    }
    ioctl(fd.Get(), TIOCEXCL);
    const DWORD openError = GetLastError();
    std::shared_ptr<SerialDevice> device(new SerialDevice(std::move(fd), settings));
    device->Configure();
    SetLastError(openError);
    return device;
}

SerialDevice::SerialDevice(UniqueFd fd, const SerialSettings& settings)
    : m_fd(std::move(fd)), m_settings(settings), m_lines(MakeLines(m_fd.Get())) {
    if (m_lines) m_lines->GetCounts(m_seenCounts);
}

SerialDevice::~SerialDevice() { Close(); }

bool MakeTermios(const SerialSettings& settings, termios& tio) {
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= CREAD | CLOCAL | ByteSizeFlag(settings.byteSize) | ParityFlags(settings.parity);
    if (settings.stopBits == ONE5STOPBITS || settings.stopBits == TWOSTOPBITS) tio.c_cflag |= CSTOPB;
    if (settings.rtsHandshake) tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    if (settings.xonXoff) tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    const speed_t speed = SpeedConstant(settings.baudRate);
    if (speed == B0) return false;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return true;
}

void SerialDevice::Configure() {
    const int fd = m_fd.Get();
    termios tio;
    if (tcgetattr(fd, &tio) != 0) return;
    const bool standardRate = MakeTermios(m_settings, tio);
    tcsetattr(fd, TCSANOW, &tio);
    if (!standardRate) SetCustomBaudRate(fd, m_settings.baudRate);
    // DTR control disabled, and RTS too unless it does the handshake.
    Escape(CLRDTR);
    if (!m_settings.rtsHandshake) Escape(CLRRTS);
}

void SerialDevice::Close() {
    std::unique_lock<std::mutex> hold(m_lock);
    if (!m_open) return;
    m_open = false;
    m_closed.Signal();
    m_idle.wait(hold, [this] { return m_calls == 0; });
    m_lines.reset();
    ioctl(m_fd.Get(), TIOCNXCL);
    m_fd.Reset(); // the flock goes with the descriptor
}

bool SerialDevice::IsOpen() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_open;
}

int SerialDevice::ReadQueued(void* buffer, int size) {
    Call call(*this);
    int queued = 0;
    if (!call || size <= 0 || ioctl(m_fd.Get(), FIONREAD, &queued) != 0 || queued <= 0) return 0;
    const ssize_t got = read(m_fd.Get(), buffer, static_cast<size_t>(std::min(queued, size)));
    if (got <= 0) return 0;
    std::lock_guard<std::mutex> hold(m_lock);
    m_seenQueued = std::max(0, queued - static_cast<int>(got));
    return static_cast<int>(got);
}

int SerialDevice::ReadWithin(void* buffer, int size, int milliseconds, const WakeEvent& wake) {
    Call call(*this);
    if (!call) return 0;
    pollfd fds[3] = {{m_fd.Get(), POLLIN, 0}, {m_closed.Fd(), POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
    if (PollUntil(fds, 3, Deadline::After(static_cast<DWORD>(milliseconds))) <= 0) return 0;
    if (fds[1].revents || fds[2].revents) return 0;
    const ssize_t got = read(m_fd.Get(), buffer, static_cast<size_t>(size));
    if (got > 0) return static_cast<int>(got);
    return got < 0 && (errno == EAGAIN || errno == EINTR) ? 0 : -1;
}

int SerialDevice::Write(const void* data, int size, const Deadline& deadline, const WakeEvent& wake) {
    Call call(*this);
    if (!call) return -1;
    const char* bytes = static_cast<const char*>(data);
    int written = 0;
    while (written < size) {
        const ssize_t n = write(m_fd.Get(), bytes + written, static_cast<size_t>(size - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return written ? written : -1;
        pollfd fds[3] = {{m_fd.Get(), POLLOUT, 0}, {m_closed.Fd(), POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
        if (PollUntil(fds, 3, deadline) <= 0 || fds[1].revents || fds[2].revents) break;
    }
    return written;
}

// The events that came since the last look (the caller holds a Call).
DWORD SerialDevice::CollectEvents(int& queued) {
    const DWORD mask = m_settings.eventMask;
    LineCounts counts;
    const bool haveCounts = (mask & kLineEvents) && m_lines && m_lines->GetCounts(counts);
    queued = 0;
    if (mask & EV_RXCHAR) ioctl(m_fd.Get(), FIONREAD, &queued);
    std::lock_guard<std::mutex> hold(m_lock);
    DWORD events = queued > m_seenQueued ? EV_RXCHAR : 0;
    m_seenQueued = queued;
    if (haveCounts) {
        events |= ChangedEvents(m_seenCounts, counts);
        m_seenCounts = counts;
    }
    return events & mask;
}

DWORD SerialDevice::WaitEvent(const WakeEvent& wake) {
    Call call(*this);
    if (!call) return 0;
    const DWORD mask = m_settings.eventMask;
    bool hungUp = false;
    for (;;) {
        int queued = 0;
        if (DWORD events = CollectEvents(queued)) return events;
        // The device wakes us for new input; the lines, input that waits
        // unread and a hung-up device are looked at every 10 ms.
        const bool watchInput = (mask & EV_RXCHAR) && queued == 0 && !hungUp;
        const bool tick = (mask & kLineEvents) || (mask & EV_RXCHAR && !watchInput);
        pollfd fds[3] = {{watchInput ? m_fd.Get() : -1, POLLIN, 0}, {m_closed.Fd(), POLLIN, 0}, {wake.Fd(), POLLIN, 0}};
        if (PollUntil(fds, 3, tick ? Deadline::After(10) : Deadline::Never()) < 0) return 0;
        if (fds[1].revents) return 0;
        if (fds[2].revents) {
            wake.Clear();
            return 0;
        }
        hungUp = hungUp || (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL));
    }
}

bool SerialDevice::GetModemStatus(DWORD& status) {
    Call call(*this);
    return call && m_lines && m_lines->GetStatus(status);
}

bool SerialDevice::Escape(DWORD code) {
    Call call(*this);
    return call && m_lines && m_lines->Escape(code);
}

} // namespace zep3::detail
