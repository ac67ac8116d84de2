// CSoundIn records through ALSA for real: each test writes an ALSA
// configuration whose default capture device is the file plugin reading
// samples the test wrote (a regular file, or a pipe the test feeds so that
// it decides how far the device gets).
#include "support/TestSupport.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using zep3test::TempDir;

namespace {

// Makes `pcm` ALSA's default device, after the system's own configuration.
void UseAlsaDefault(const TempDir& dir, const std::string& pcm) {
    const std::string conf = dir.file("asound.conf");
    zep3test::writeFile(conf, "</usr/share/alsa/alsa.conf>\npcm.!default {\n" + pcm + "}\n");
    setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
}

// Makes ALSA's default capture device read raw samples from `infile`.
void UseAlsaInput(const TempDir& dir, const std::string& infile) {
    UseAlsaDefault(dir, "  type file\n  slave.pcm \"null\"\n  file \"/dev/null\"\n  infile \"" + infile +
                            "\"\n  format \"raw\"\n");
}

// 16-bit samples that never repeat within the test's lengths.
std::string Samples(int count) {
    std::string bytes(size_t(count) * 2, '\0');
    for (int i = 0; i < count; ++i) {
        const unsigned v = (unsigned(i) * 37u + 11u) & 0xFFFFu;
        bytes[2 * i] = char(v & 0xFF);
        bytes[2 * i + 1] = char(v >> 8);
    }
    return bytes;
}

// Writes `count` samples to a file that ALSA's default capture device reads; returns them.
std::string UseAlsaSamples(const TempDir& dir, int count) {
    const std::string input = Samples(count);
    EXPECT_TRUE(zep3test::writeFile(dir.file("in.raw"), input));
    UseAlsaInput(dir, dir.file("in.raw"));
    return input;
}

// Registered threads whose name ends in `name`.
int RegisteredThreads(const char* name) {
    const std::string all = zep3test::registeredThreadNames(), key = std::string(name) + ";";
    int count = 0;
    for (size_t at = all.find(key); at != std::string::npos; at = all.find(key, at + 1)) ++count;
    return count;
}

class Recorder : public CSoundIn {
public:
    struct Buffer {
        DWORD_PTR index;
        std::string data;
        bool onSoundInThread;
    };

    bool WaitForBuffers(size_t count) {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_arrived.wait_for(hold, std::chrono::seconds(20), [&] { return m_buffers.size() >= count; });
    }
    std::vector<Buffer> Buffers() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_buffers;
    }
    const WAVEFORMATEX& Format() const { return m_Format; }
    int opens = 0, closes = 0;

protected:
    void OnData(WAVEHDR* header) override {
        EXPECT_TRUE(header->dwFlags & WHDR_DONE);
        EXPECT_EQ(m_WaveHeaders[INT_PTR(header->dwUser)], header);
        CSingleLock lock(&CThreadManager::m_CriticalSection, true);
        SThreadInfo* info = nullptr;
        const bool named = CThreadManager::m_ThreadInfoMap.Lookup(GetCurrentThreadId(), info) &&
                           std::string(info->m_Name).find("SoundIn") != std::string::npos;
        std::lock_guard<std::mutex> hold(m_lock);
        m_buffers.push_back({header->dwUser, std::string(header->lpData, header->dwBytesRecorded), named});
        m_arrived.notify_all();
    }
    void OnOpen() override { ++opens; }
    void OnClose() override { ++closes; }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<Buffer> m_buffers;
};

// The writing end of a pipe that the capture device reads; closed first, so
// that a device waiting for more sound sees the end and can be closed.
struct PipeFeed {
    int fd = -1;
    ~PipeFeed() { Close(); }
    void Close() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    bool Drained() const {
        int waiting = -1;
        return ioctl(fd, FIONREAD, &waiting) == 0 && waiting == 0;
    }
};

} // namespace

TEST(SoundIn, RecordsTheSamplesInOrderIntoAlternatingBuffers) {
    TempDir dir;
    const std::string input = UseAlsaSamples(dir, 64000);
    Recorder recorder;
    ASSERT_EQ(0u, recorder.Open(1, 8000, 16, WAVE_FORMAT_PCM));
    EXPECT_EQ(1, RegisteredThreads(":SoundIn"));
    ASSERT_EQ(0u, recorder.CreateBuffers(800, true));
    ASSERT_EQ(0u, recorder.Record());
    EXPECT_EQ(1, recorder.opens);
    ASSERT_TRUE(recorder.WaitForBuffers(20));
    recorder.Stop();
    recorder.Close();
    EXPECT_EQ(1, recorder.closes);
    EXPECT_EQ(0, RegisteredThreads(":SoundIn") + RegisteredThreads(":WaveIn"));

    const std::vector<Recorder::Buffer> buffers = recorder.Buffers();
    std::string recorded;
    for (size_t i = 0; i < buffers.size(); ++i) {
        EXPECT_EQ(i % 2, buffers[i].index) << i;
        EXPECT_TRUE(buffers[i].onSoundInThread);
        EXPECT_TRUE(i + 1 == buffers.size() || buffers[i].data.size() == 1600u) << i;
        recorded += buffers[i].data;
    }
    EXPECT_TRUE(recorded == input.substr(0, recorded.size())) << "the samples arrive whole and in order";
}

TEST(SoundIn, StopHandsBackThePartlyFilledBufferOnceAndQueuesNothing) {
    TempDir dir;
    const std::string fifo = dir.file("in.fifo");
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    UseAlsaInput(dir, fifo);
    Recorder recorder;
    PipeFeed feed;
    feed.fd = open(fifo.c_str(), O_RDWR | O_CLOEXEC); // never blocks, keeps the pipe open
    ASSERT_GE(feed.fd, 0);
    ASSERT_EQ(0u, recorder.Open(1, 8000, 16, WAVE_FORMAT_PCM));
    ASSERT_EQ(0u, recorder.CreateBuffers(960, true)); // 1920 bytes
    ASSERT_EQ(0u, recorder.Record());

    // One full buffer and two thirds of the next, in one write (below PIPE_BUF: whole).
    const std::string input = Samples(960 + 640);
    ASSERT_EQ(ssize_t(input.size()), write(feed.fd, input.data(), input.size()));
    ASSERT_TRUE(recorder.WaitForBuffers(1));
    ASSERT_TRUE(zep3test::waitFor([&] { return feed.Drained(); }));
    recorder.Stop();
    ASSERT_TRUE(recorder.WaitForBuffers(2));
    feed.Close();
    recorder.Close();

    const std::vector<Recorder::Buffer> buffers = recorder.Buffers();
    ASSERT_EQ(2u, buffers.size()) << "the part arrives once and nothing is queued again";
    EXPECT_TRUE(buffers[0].index == 0 && buffers[0].data == input.substr(0, 1920));
    const std::string& part = buffers[1].data;
    EXPECT_TRUE(buffers[1].index == 1 && part.size() > 0 && part.size() < 1920u && part.size() % 2 == 0);
    EXPECT_TRUE(part == input.substr(1920, part.size()));
}

TEST(SoundIn, OneBufferWithoutLoopIsHandedOverOnce) {
    TempDir dir;
    const std::string input = UseAlsaSamples(dir, 4000);
    Recorder recorder;
    ASSERT_EQ(0u, recorder.Open(2, 44100, 8, WAVE_FORMAT_PCM));
    EXPECT_EQ(88200u, recorder.Format().nAvgBytesPerSec);
    ASSERT_EQ(0u, recorder.CreateBuffers(500, false));
    ASSERT_EQ(0u, recorder.Record());
    ASSERT_TRUE(recorder.WaitForBuffers(1));
    recorder.Stop();
    recorder.Close();
    const std::vector<Recorder::Buffer> buffers = recorder.Buffers();
    ASSERT_EQ(1u, buffers.size());
    EXPECT_TRUE(buffers[0].data == input.substr(0, 1000));
}

TEST(SoundIn, CloseWhileRecordingTakesTheBuffersBackFirst) {
    TempDir dir;
    UseAlsaSamples(dir, 400000);
    Recorder recorder;
    ASSERT_EQ(0u, recorder.Open(1, 8000, 16, WAVE_FORMAT_PCM));
    ASSERT_EQ(0u, recorder.CreateBuffers(100, true));
    ASSERT_EQ(0u, recorder.Record());
    ASSERT_TRUE(recorder.WaitForBuffers(3));
    recorder.Close(); // no Stop: the device must still let go before the buffers are freed
    EXPECT_EQ(1, recorder.closes);
    EXPECT_EQ(0, RegisteredThreads(":SoundIn"));
}

TEST(SoundIn, RefusedFormatsAndAMissingDevice) {
    TempDir dir;
    UseAlsaSamples(dir, 100);
    Recorder recorder;
    EXPECT_EQ(WAVERR_BADFORMAT, recorder.Open(1, 8000, 12, WAVE_FORMAT_PCM));
    EXPECT_EQ(unsigned(-1), recorder.CreateBuffers(800, true));
    EXPECT_EQ(1, RegisteredThreads(":SoundIn")) << "the worker runs until Close";
    EXPECT_EQ(WAVERR_BADFORMAT, recorder.Open(1, 8000, 16, 0x55));
    recorder.Close();
    EXPECT_EQ(0, RegisteredThreads(":SoundIn"));

    // Without an input device Open succeeds and opens nothing. (A fresh
    // folder: ALSA reloads a configuration by its path and stamp.)
    TempDir other;
    UseAlsaDefault(other, "  type hw\n  card 99\n");
    Recorder none;
    EXPECT_EQ(0u, none.Open(1, 8000, 16, WAVE_FORMAT_PCM));
    EXPECT_EQ(0, RegisteredThreads(":SoundIn"));
    EXPECT_EQ(unsigned(-1), none.CreateBuffers(800, true));
    EXPECT_NE(0u, none.Record());
    EXPECT_EQ(0, none.opens);
}
