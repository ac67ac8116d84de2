#pragma once
// A display back end that shows nothing: it keeps, for every window it
// opened, what was presented last, and takes input as a user at a screen
// would give it. The input reaches the window through the same path as a
// real display's (an event descriptor the window's loop watches), so tests
// drive the whole window painting without a server.
#include <zep3/platform/PixelSurface.h>
#include <zep3/platform/detail/DisplayBackend.h>

#include <memory>
#include <string>
#include <vector>

namespace zep3::detail {

class ZEP3_TEST_API HeadlessDisplay : public DisplayBackend {
public:
    explicit HeadlessDisplay(int screenWidth = 1024, int screenHeight = 768);
    ~HeadlessDisplay() override;
    HeadlessDisplay(const HeadlessDisplay&) = delete;
    HeadlessDisplay& operator=(const HeadlessDisplay&) = delete;

    bool GetScreenSize(int* width, int* height) override;
    std::unique_ptr<DisplayWindow> OpenWindow(int width, int height, const char* title) override;

    // A shown window as the display has it.
    struct Shown {
        std::string title;
        int width = 0, height = 0;
        CPixelSurface frame; // what was presented (the part never presented is black)
        int presents = 0;
    };
    // The windows open now, oldest first.
    std::vector<Shown> Windows() const;
    // Feeds an event to the index-th open window; false when there is none.
    // Any thread: the window's own thread takes it from its loop.
    bool Feed(size_t index, const DisplayEvent& event);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace zep3::detail
