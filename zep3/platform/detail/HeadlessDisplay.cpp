#include <zep3/platform/detail/HeadlessDisplay.h>
#include <zep3/platform/detail/Posix.h>

#include <algorithm>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>

namespace zep3::detail {

// One open window: what it shows and the input waiting for it. The eventfd
// is readable exactly while events wait (both change under the lock).
struct HeadlessEntry {
    HeadlessDisplay::Shown shown;
    std::deque<DisplayEvent> events;
    UniqueFd wake{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
};

struct HeadlessDisplay::State {
    std::mutex lock;
    int screenWidth, screenHeight;
    std::vector<std::shared_ptr<HeadlessEntry>> windows;
};

namespace {

// Shares the display's state, so a window may outlive the display object.
class HeadlessWindow : public DisplayWindow {
public:
    HeadlessWindow(std::shared_ptr<HeadlessDisplay::State> state, std::shared_ptr<HeadlessEntry> entry)
        : m_state(std::move(state)), m_entry(std::move(entry)) {}
    ~HeadlessWindow() override {
        std::lock_guard<std::mutex> hold(m_state->lock);
        auto& list = m_state->windows;
        list.erase(std::remove(list.begin(), list.end(), m_entry), list.end());
    }

    void SetTitle(const char* title) override {
        std::lock_guard<std::mutex> hold(m_state->lock);
        m_entry->shown.title = title ? title : "";
    }

    void Resize(int width, int height) override {
        std::lock_guard<std::mutex> hold(m_state->lock);
        m_entry->shown.width = width;
        m_entry->shown.height = height;
    }

    bool Present(const CPixelSurface& surface, const RECT* area) override {
        std::lock_guard<std::mutex> hold(m_state->lock);
        CopyPresented(m_entry->shown.frame, surface, area);
        ++m_entry->shown.presents;
        return true;
    }

    int EventDescriptor() const override { return m_entry->wake.Get(); }

    bool NextEvent(DisplayEvent* event) override {
        std::lock_guard<std::mutex> hold(m_state->lock);
        if (m_entry->events.empty()) return false;
        *event = m_entry->events.front();
        m_entry->events.pop_front();
        if (m_entry->events.empty()) {
            uint64_t count;
            ReadAll(m_entry->wake.Get(), &count, sizeof count);
        }
        return true;
    }

private:
    std::shared_ptr<HeadlessDisplay::State> m_state;
    std::shared_ptr<HeadlessEntry> m_entry;
};

} // namespace

HeadlessDisplay::HeadlessDisplay(int screenWidth, int screenHeight) : m_state(std::make_shared<State>()) {
    m_state->screenWidth = screenWidth;
    m_state->screenHeight = screenHeight;
}

HeadlessDisplay::~HeadlessDisplay() = default;

bool HeadlessDisplay::GetScreenSize(int* width, int* height) {
    if (width) *width = m_state->screenWidth;
    if (height) *height = m_state->screenHeight;
    return true;
}

std::unique_ptr<DisplayWindow> HeadlessDisplay::OpenWindow(int width, int height, const char* title) {
    auto entry = std::make_shared<HeadlessEntry>();
    if (width <= 0 || height <= 0 || !entry->wake.IsOpen()) return nullptr;
    entry->shown = Shown{title ? title : "", width, height, CPixelSurface(width, height), 0};
    {
        std::lock_guard<std::mutex> hold(m_state->lock);
        m_state->windows.push_back(entry);
    }
    return std::make_unique<HeadlessWindow>(m_state, entry);
}

std::vector<HeadlessDisplay::Shown> HeadlessDisplay::Windows() const {
    std::lock_guard<std::mutex> hold(m_state->lock);
    std::vector<Shown> out;
    for (const auto& entry : m_state->windows) out.push_back(entry->shown);
    return out;
}

bool HeadlessDisplay::Feed(size_t index, const DisplayEvent& event) {
    std::lock_guard<std::mutex> hold(m_state->lock);
    if (index >= m_state->windows.size()) return false;
    HeadlessEntry& entry = *m_state->windows[index];
    entry.events.push_back(event);
    const uint64_t one = 1;
    return WriteAll(entry.wake.Get(), &one, sizeof one);
}

} // namespace zep3::detail
