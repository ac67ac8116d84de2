#include <zep3/media/detail/MciDevice.h>

#include <zep3/platform/Messages.h>
#include <zep3/platform/detail/Posix.h>

#include <gst/gst.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace zep3::detail {
namespace {

const GstClockTime kStateTimeout = 10 * GST_SECOND;

bool GStreamerReady() {
    static const bool ready = gst_init_check(nullptr, nullptr, nullptr) != FALSE;
    return ready;
}

bool Headless() {
    const char* headless = getenv("ZEP3_HEADLESS");
    return headless && std::strcmp(headless, "1") == 0;
}

// An element we hold a reference to (never floating).
GstElement* MakeElement(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    return element ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr;
}

// The automatic sink of the kind when it can start, else a sink that drops
// what it gets at the pace of the stream's clock.
GstElement* OutputSink(const char* automatic, bool usable) {
    if (usable) {
        if (GstElement* sink = MakeElement(automatic)) {
            const bool starts = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
            gst_element_set_state(sink, GST_STATE_NULL);
            if (starts) return sink;
            gst_object_unref(sink);
        }
    }
    GstElement* sink = MakeElement("fakesink");
    if (sink) g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

struct Player {
    MCIDEVICEID id = 0;
    GstElement* playbin = nullptr;
    std::mutex commandLock; // one command at a time; held across GStreamer calls
    std::mutex stateLock;   // the fields below; never held across GStreamer calls
    DWORD mode = MCI_MODE_STOP;
    HWND notify = nullptr; // a play request waiting for its notice
    bool failed = false;

    // Under stateLock: ends the waiting play request with `how`.
    void EndRequest(WPARAM how) {
        if (notify) PostMessage(notify, MM_MCINOTIFY, how, static_cast<LPARAM>(id));
        notify = nullptr;
    }
    void Finish(DWORD newMode, WPARAM how) {
        std::lock_guard<std::mutex> hold(stateLock);
        mode = newMode;
        EndRequest(how);
    }
    bool WaitForState() {
        return gst_element_get_state(playbin, nullptr, nullptr, kStateTimeout) != GST_STATE_CHANGE_FAILURE;
    }
    bool SetState(GstState state) {
        return gst_element_set_state(playbin, state) != GST_STATE_CHANGE_FAILURE && WaitForState();
    }
    // A flushing, frame-exact seek; to < 0 clears the range end.
    bool Seek(int from, int to) {
        return gst_element_seek(playbin, 1.0, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                                gint64(from) * GST_MSECOND, GST_SEEK_TYPE_SET,
                                to < 0 ? gint64(GST_CLOCK_TIME_NONE) : gint64(to) * GST_MSECOND) &&
               WaitForState();
    }
    bool Query(bool length, DWORD* ms) {
        gint64 ns = 0;
        const bool ok = length ? gst_element_query_duration(playbin, GST_FORMAT_TIME, &ns)
                               : gst_element_query_position(playbin, GST_FORMAT_TIME, &ns);
        if (!ok || ns < 0) return false;
        *ms = static_cast<DWORD>(ns / GST_MSECOND);
        return true;
    }
};

// Runs on whichever thread posts: the end of the stream and errors end the
// play request; everything else is dropped (nothing reads the bus).
GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
    Player* player = static_cast<Player*>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        std::lock_guard<std::mutex> hold(player->stateLock);
        if (player->mode == MCI_MODE_PLAY) player->mode = MCI_MODE_STOP;
        player->EndRequest(MCI_NOTIFY_SUCCESSFUL);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        std::lock_guard<std::mutex> hold(player->stateLock);
        player->failed = true;
        player->mode = MCI_MODE_STOP;
        player->EndRequest(MCI_NOTIFY_FAILURE);
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void Destroy(Player& player) {
    gst_element_set_state(player.playbin, GST_STATE_NULL);
    GstBus* bus = gst_element_get_bus(player.playbin);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    gst_object_unref(player.playbin);
}

std::mutex g_tableLock;
MCIDEVICEID g_nextId = 1;
std::map<MCIDEVICEID, std::shared_ptr<Player>>& Table() {
    static auto* table = new std::map<MCIDEVICEID, std::shared_ptr<Player>>;
    return *table;
}

std::shared_ptr<Player> Find(MCIDEVICEID id) {
    std::lock_guard<std::mutex> hold(g_tableLock);
    auto it = Table().find(id);
    return it == Table().end() ? nullptr : it->second;
}

// Runs command on the open player `id` with its command lock held.
template <class F> DWORD WithPlayer(MCIDEVICEID id, F command) {
    std::shared_ptr<Player> player = Find(id);
    if (!player) return MCIERR_INVALID_DEVICE_ID;
    std::lock_guard<std::mutex> hold(player->commandLock);
    return command(*player);
}

} // namespace

DWORD mciOpen(const char* file, MCIDEVICEID* id) {
    if (!id) return MCIERR_HARDWARE;
    *id = 0;
    struct stat st;
    if (!file || stat(file, &st) != 0 || !S_ISREG(st.st_mode)) return MCIERR_FILE_NOT_FOUND;
    if (!GStreamerReady()) return MCIERR_CANNOT_LOAD_DRIVER;
    gchar* uri = gst_filename_to_uri(file, nullptr);
    GstElement* playbin = uri ? MakeElement("playbin") : nullptr;
    if (!playbin) {
        g_free(uri);
        return MCIERR_CANNOT_LOAD_DRIVER;
    }
    const char* display = getenv("DISPLAY");
    GstElement* audio = OutputSink("autoaudiosink", !Headless());
    GstElement* video = OutputSink("autovideosink", !Headless() && display && *display);
    g_object_set(playbin, "uri", uri, "audio-sink", audio, "video-sink", video, nullptr);
    for (GstElement* sink : {audio, video})
        if (sink) gst_object_unref(sink);
    g_free(uri);

    auto player = std::make_shared<Player>();
    player->playbin = playbin;
    GstBus* bus = gst_element_get_bus(playbin);
    gst_bus_set_sync_handler(bus, OnBusMessage, player.get(), nullptr);
    gst_object_unref(bus);
    if (!player->SetState(GST_STATE_PAUSED) || player->failed) {
        Destroy(*player);
        return MCIERR_INVALID_FILE;
    }
    std::lock_guard<std::mutex> hold(g_tableLock);
    player->id = g_nextId++;
    Table()[player->id] = player;
    *id = player->id;
    return 0;
}

DWORD mciClose(MCIDEVICEID id) {
    std::shared_ptr<Player> player;
    {
        std::lock_guard<std::mutex> hold(g_tableLock);
        auto it = Table().find(id);
        if (it == Table().end()) return MCIERR_INVALID_DEVICE_ID;
        player = it->second;
        Table().erase(it);
    }
    std::lock_guard<std::mutex> hold(player->commandLock);
    player->Finish(MCI_MODE_STOP, MCI_NOTIFY_ABORTED);
    Destroy(*player);
    return 0;
}

// The player is paused while the new range is set up, so that the range
// cannot end before its request is armed.
DWORD mciPlay(MCIDEVICEID id, HWND notify, int from, int to) {
    return WithPlayer(id, [&](Player& p) -> DWORD {
        DWORD length = 0, position = 0;
        if (!p.Query(true, &length)) return MCIERR_DEVICE_NOT_READY;
        if (from < 0 && !p.Query(false, &position)) return MCIERR_DEVICE_NOT_READY;
        const int start = from < 0 ? static_cast<int>(position) : from;
        if (start > static_cast<int>(length) || to > static_cast<int>(length) || (to >= 0 && start > to))
            return MCIERR_OUTOFRANGE;
        if (!p.SetState(GST_STATE_PAUSED)) return MCIERR_HARDWARE;
        p.Finish(MCI_MODE_STOP, MCI_NOTIFY_SUPERSEDED);
        if (!p.Seek(start, to)) return MCIERR_HARDWARE;
        {
            std::lock_guard<std::mutex> hold(p.stateLock);
            p.mode = MCI_MODE_PLAY;
            p.notify = notify;
        }
        if (gst_element_set_state(p.playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            p.Finish(MCI_MODE_STOP, MCI_NOTIFY_FAILURE);
            return MCIERR_HARDWARE;
        }
        return 0;
    });
}

DWORD mciStop(MCIDEVICEID id) {
    return WithPlayer(id, [](Player& p) -> DWORD {
        const bool ok = p.SetState(GST_STATE_PAUSED);
        p.Finish(MCI_MODE_STOP, MCI_NOTIFY_ABORTED);
        return ok ? 0 : MCIERR_HARDWARE;
    });
}

DWORD mciPause(MCIDEVICEID id) {
    return WithPlayer(id, [](Player& p) -> DWORD {
        if (!p.SetState(GST_STATE_PAUSED)) return MCIERR_HARDWARE;
        std::lock_guard<std::mutex> hold(p.stateLock);
        if (p.mode == MCI_MODE_PLAY) p.mode = MCI_MODE_PAUSE;
        return 0;
    });
}

DWORD mciResume(MCIDEVICEID id) {
    return WithPlayer(id, [](Player& p) -> DWORD {
        {
            std::lock_guard<std::mutex> hold(p.stateLock);
            if (p.mode != MCI_MODE_PAUSE) return 0;
            p.mode = MCI_MODE_PLAY;
        }
        return p.SetState(GST_STATE_PLAYING) ? 0 : MCIERR_HARDWARE;
    });
}

DWORD mciSeek(MCIDEVICEID id, int ms) {
    return WithPlayer(id, [ms](Player& p) -> DWORD {
        DWORD length = 0;
        if (!p.Query(true, &length)) return MCIERR_DEVICE_NOT_READY;
        if (ms < 0 || ms > static_cast<int>(length)) return MCIERR_OUTOFRANGE;
        const bool paused = p.SetState(GST_STATE_PAUSED);
        p.Finish(MCI_MODE_STOP, MCI_NOTIFY_ABORTED);
        return paused && p.Seek(ms, -1) ? 0 : MCIERR_HARDWARE;
    });
}

DWORD mciSetTimeFormatMS(MCIDEVICEID id) {
    return WithPlayer(id, [](Player&) -> DWORD { return 0; });
}

DWORD mciGetLength(MCIDEVICEID id, DWORD* ms) {
    return WithPlayer(id, [ms](Player& p) -> DWORD {
        if (!p.WaitForState()) return MCIERR_HARDWARE;
        return ms && p.Query(true, ms) ? 0 : MCIERR_DEVICE_NOT_READY;
    });
}

DWORD mciGetPosition(MCIDEVICEID id, DWORD* ms) {
    return WithPlayer(id, [ms](Player& p) -> DWORD {
        if (!p.WaitForState()) return MCIERR_HARDWARE;
        return ms && p.Query(false, ms) ? 0 : MCIERR_DEVICE_NOT_READY;
    });
}

DWORD mciGetMode(MCIDEVICEID id, DWORD* mode) {
    std::shared_ptr<Player> player = Find(id);
    if (!player) return MCIERR_INVALID_DEVICE_ID;
    if (!mode) return MCIERR_HARDWARE;
    std::lock_guard<std::mutex> hold(player->stateLock);
    *mode = player->mode;
    return 0;
}

bool mciGetErrorString(DWORD error, char* buffer, UINT size) {
    static const std::map<DWORD, const char*> texts = {
        {0, "The command was carried out."},
        {MCIERR_INVALID_DEVICE_ID, "The device is not open."},
        {MCIERR_HARDWARE, "The media player could not carry out the command."},
        {MCIERR_CANNOT_LOAD_DRIVER, "The media framework could not be started."},
        {MCIERR_FILE_NOT_FOUND, "The file was not found."},
        {MCIERR_DEVICE_NOT_READY, "The device is not ready."},
        {MCIERR_OUTOFRANGE, "The position lies outside the media."},
        {MCIERR_INVALID_FILE, "The file cannot be played: its format is unknown or it is damaged."},
    };
    auto it = texts.find(error);
    if (buffer && size) CopyText(buffer, size, it == texts.end() ? "" : it->second);
    return it != texts.end();
}

} // namespace zep3::detail
