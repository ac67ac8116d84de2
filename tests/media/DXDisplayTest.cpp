// Display surfaces: the conversion blits against conversions written here,
// surfaces over an image's own pixels, the blits onto the back surface, text,
// and Present shown in a window: headless on the offscreen video driver, and
// on a real X server (Xvfb) read back from a screenshot taken with xwd.
#include "../platform/XvfbServer.h"

#include <zep3/media/detail/DXVideo.h>
#include <zep3/platform/detail/HeadlessDisplay.h>
#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>

namespace {

using xvfbtest::ScopedEnv;

void Randomise(CImageBuffer& image, unsigned seed) {
    std::mt19937 random(seed);
    const int bytes = image.GetSize().cx * image.GetSize().cy * image.GetPixelSize();
    for (int i = 0; i < bytes; ++i) image.GetPixelBuffer()[i] = BYTE(random());
}

CImageBuffer Image(int width, int height, int bits, unsigned seed) {
    CImageBuffer image(CSize(width, height), bits, 0);
    Randomise(image, seed);
    return image;
}

// The 32-bit pixel at (x, y) of a surface, as its four bytes in memory order.
const BYTE* Pixel(CDXSurface& surface, int x, int y, int bytes = 4) {
    DDSURFACEDESC2* d = surface.GetSurfaceDesc();
    return static_cast<const BYTE*>(d->lpSurface) + ptrdiff_t(y) * d->lPitch + x * bytes;
}

COLORREF Colour(const BYTE* p) { return RGB(p[2], p[1], p[0]); }

// A shown window of width x height with a windowed display of its size in it.
struct Shown {
    CWnd window;
    CDXDisplay display;
    Shown(int width, int height) {
        EXPECT_TRUE(window.CreateEx(0, nullptr, "Ekran", WS_VISIBLE, CRect(0, 0, width, height), nullptr, 0));
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg); // the first paint, before ours
        EXPECT_EQ(display.CreateWindowedDisplay(window.m_hWnd, DWORD(width), DWORD(height)), 0);
    }
};

// The frame every present test shows: red on the left half, a 24-bit image
// on the right, one grey 8-bit band across it.
struct Frame {
    static constexpr int W = 64, H = 48;
    CImageBuffer colour = Image(W / 2, H, 24, 7);
    CImageBuffer grey{CSize(W, 8), 8, 0};
    Frame() {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < W; ++x) grey.GetPixelBuffer()[y * W + x] = BYTE(x * 4);
    }
    void Draw(CDXDisplay& display) {
        CDXSurface *picture = nullptr, *band = nullptr;
        ASSERT_EQ(display.CreateClientSurface(&picture, &colour), 0);
        ASSERT_EQ(display.CreateClientSurface(&band, &grey), 0);
        EXPECT_EQ(display.Clear(0xFF0000), 0); // red as a 32-bit pixel
        EXPECT_EQ(display.BltFast(W / 2, 0, picture, nullptr), 0);
        EXPECT_EQ(display.BltFast(0, 20, band, nullptr), 0);
        delete picture;
        delete band;
    }
    COLORREF Expected(int x, int y) const {
        if (y >= 20 && y < 28) return RGB(x * 4, x * 4, x * 4);
        if (x < W / 2) return RGB(255, 0, 0);
        const BYTE* p = colour.GetPixelBuffer() + (y * (W / 2) + x - W / 2) * 3;
        return RGB(p[2], p[1], p[0]);
    }
    // Pixels of `shown` (read by `at`) that differ from the frame.
    template <typename At> int Wrong(At at) const {
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) wrong += at(x, y) != Expected(x, y);
        return wrong;
    }
};

class DXDisplayTest : public ::testing::Test {
protected:
    // Headless: no X server, SDL chooses by itself.
    ScopedEnv m_display{"DISPLAY", nullptr};
    ScopedEnv m_driver{"SDL_VIDEODRIVER", nullptr};
};

TEST_F(DXDisplayTest, ConversionBlitsMatchReferenceForEveryPixel) {
    Shown shown(8, 8);
    CDXDisplay& display = shown.display;
    const int w = 37, h = 23; // odd sizes: rows without 4-byte alignment
    CImageBuffer in16 = Image(w, h, 16, 1), in24 = Image(w, h, 24, 2), in8 = Image(w, h, 8, 3), out8 = Image(w, h, 8, 4);
    CDXSurface *from16 = nullptr, *from24 = nullptr, *from8 = nullptr, *to8 = nullptr, *to32 = nullptr;
    for (auto [surface, image] : {std::pair{&from16, &in16}, {&from24, &in24}, {&from8, &in8}, {&to8, &out8}})
        ASSERT_EQ(display.CreateClientSurface(surface, image), 0);
    ASSERT_EQ(display.CreateSurface(&to32, w, h), 0);

    // 5-5-5 words: each channel times 8, the fourth byte left as it was.
    for (int y = 0; y < h; ++y) std::memset(const_cast<BYTE*>(Pixel(*to32, 0, y)), 0xA5, size_t(w) * 4);
    ASSERT_EQ(to32->BltFrom16To32(from16), 0);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const BYTE* s = in16.GetPixelBuffer() + (y * w + x) * 2;
            const unsigned word = s[0] | s[1] << 8;
            const BYTE* d = Pixel(*to32, x, y);
            wrong += d[0] != (word & 31) * 8 || d[1] != (word >> 5 & 31) * 8 || d[2] != (word >> 10 & 31) * 8 ||
                     d[3] != 0xA5;
        }
    EXPECT_EQ(wrong, 0);

    // 24-bit pixels: blue, green, red into the first three bytes; the same
    // through the device contexts. The same format twice is refused.
    for (bool direct : {true, false}) {
        for (int y = 0; y < h; ++y) std::memset(const_cast<BYTE*>(Pixel(*to32, 0, y)), 0, size_t(w) * 4);
        ASSERT_EQ(direct ? to32->BltFrom24To32(from24) : to32->BltFrom(from24), 0);
        wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) wrong += std::memcmp(Pixel(*to32, x, y), in24.GetPixelBuffer() + (y * w + x) * 3, 3) != 0;
        EXPECT_EQ(wrong, 0) << direct;
    }
    EXPECT_EQ(to8->BltFrom(from8), -1);

    // 8-bit rows copied; shown through the grey palette when blitted onto the back surface.
    ASSERT_EQ(to8->BltFrom8To8(from8), 0);
    EXPECT_EQ(std::memcmp(in8.GetPixelBuffer(), out8.GetPixelBuffer(), size_t(w) * h), 0);
    CDXSurface back;
    ASSERT_EQ(back.Create(display.GetBackBufferSurface()), 0);
    EXPECT_EQ(display.Blt(nullptr, from8, nullptr), 0); // 37 x 23 stretched over 8 x 8
    RECT one{5, 7, 6, 8};
    EXPECT_EQ(display.BltFast(0, 0, from8, &one), 0);
    const BYTE g = in8.GetPixelBuffer()[7 * w + 5];
    EXPECT_EQ(Colour(Pixel(back, 0, 0)), RGB(g, g, g));

    // Mismatched sizes and formats: -1, and both surfaces are free again afterwards.
    CImageBuffer small = Image(w - 1, h, 24, 5);
    CDXSurface* fromSmall = nullptr;
    ASSERT_EQ(display.CreateClientSurface(&fromSmall, &small), 0);
    EXPECT_TRUE(to32->BltFrom24To32(fromSmall) == -1 && to32->BltFrom24To32(from16) == -1 &&
                to8->BltFrom8To8(from24) == -1);
    EXPECT_EQ(to32->BltFrom24To32(from24), 0);
    for (CDXSurface* s : {from16, from24, from8, to8, to32, fromSmall}) delete s;
}

TEST_F(DXDisplayTest, ClientSurfaceIsTheImagesMemory) {
    Shown shown(4, 4);
    CImageBuffer image(CSize(320, 240), 24, 16); // padding is not part of the surface's rows
    std::memset(image.GetPixelBuffer(), 0, 240 * (960 + 16));
    CDXSurface* surface = nullptr;
    ASSERT_EQ(shown.display.CreateClientSurface(&surface, &image), 0);
    EXPECT_EQ(surface->GetSurfaceDesc()->lPitch, 960);
    EXPECT_EQ(surface->GetSurfaceDesc()->lpSurface, image.GetPixelBuffer());

    // A change in the image is in the surface at once: blit it and read it back.
    BYTE* p = image.GetPixelBuffer() + 100 * 960 + 50 * 3;
    p[0] = 10, p[1] = 20, p[2] = 30;
    RECT one{50, 100, 51, 101};
    ASSERT_EQ(shown.display.BltFast(1, 2, surface, &one), 0);
    CDXSurface back;
    ASSERT_EQ(back.Create(shown.display.GetBackBufferSurface()), 0);
    EXPECT_EQ(Colour(Pixel(back, 1, 2)), RGB(30, 20, 10));

    // A copy holds a reference of its own: the surface outlives the original object.
    CDXSurface copy(*surface);
    delete surface;
    p[0] = 40;
    ASSERT_EQ(shown.display.BltFast(3, 2, &copy, &one), 0);
    EXPECT_EQ(Colour(Pixel(back, 3, 2)), RGB(30, 20, 40));
}

TEST_F(DXDisplayTest, ResultsWithoutDisplayAndForBadArguments) {
    CDXDisplay none;
    CDXSurface* surface = new CDXSurface;
    EXPECT_TRUE(none.Present() == E_POINTER && none.Clear(0) == E_POINTER);
    EXPECT_EQ(none.CreateSurface(&surface, 8, 8), E_POINTER);
    EXPECT_EQ(surface, nullptr); // the old object was deleted
    EXPECT_EQ(none.CreateWindowedDisplay(nullptr, 8, 8), E_FAIL);

    // No screen here: windowed works, full screen fails and says why.
    Shown shown(16, 16);
    EXPECT_STREQ(zep3::detail::DXVideoDriver(), "offscreen");
    CDXDisplay full;
    EXPECT_EQ(full.CreateFullScreenDisplay(shown.window.m_hWnd, 640, 480, 32, nullptr), E_FAIL);
    EXPECT_NE(full.GetError().Find("screen"), -1) << (const char*)full.GetError();

    CDXSurface* small = nullptr;
    ASSERT_EQ(shown.display.CreateSurface(&small, 4, 4), 0);
    RECT outside{0, 0, 5, 4}, inverted{3, 0, 1, 4};
    EXPECT_EQ(shown.display.Blt(nullptr, static_cast<CDXSurface*>(nullptr), nullptr), E_INVALIDARG);
    for (HRESULT result : {shown.display.Blt(nullptr, small, &outside), shown.display.Blt(&inverted, small, nullptr),
                           shown.display.BltFast(13, 0, small, nullptr)})
        EXPECT_EQ(result, DDERR_INVALIDRECT);
    EXPECT_EQ(shown.display.BltFast(12, 12, small, nullptr), 0) << "the last place it fits";
    EXPECT_EQ(shown.display.CreateSurface(&small, 0, 4), E_INVALIDARG);

    // Copies hold references of their own: the original goes, the copy still presents.
    CDXDisplay copy(shown.display);
    shown.display.DestroyObjects();
    EXPECT_EQ(copy.Present(), 0);
}

TEST_F(DXDisplayTest, TextThroughTheSurfacesDeviceContext) {
    Shown shown(8, 8);
    LOGFONT lf = {};
    lf.lfHeight = -20;
    std::strcpy(lf.lfFaceName, "Arial");
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    CDXSurface* text = nullptr;
    char hello[] = "Alarm 7";
    ASSERT_EQ(shown.display.CreateSurfaceFromText(&text, font, hello, RGB(0, 0, 255), RGB(255, 255, 255)), 0);
    CClientDC screen(nullptr);
    screen.SelectObject(&font);
    EXPECT_EQ(text->GetSize(), screen.GetTextExtent(hello, 7));
    int counts[2] = {}; // background (blue) and glyph (white) pixels
    const CSize size = text->GetSize();
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            const COLORREF c = Colour(Pixel(*text, x, y));
            counts[c == RGB(255, 255, 255)] += c == RGB(0, 0, 255) || c == RGB(255, 255, 255);
        }
    EXPECT_GT(counts[0], size.cx * size.cy / 2);
    EXPECT_GT(counts[1], 20);
    delete text;
}

TEST_F(DXDisplayTest, PresentShowsTheFrameHeadless) {
    zep3::detail::HeadlessDisplay screen;
    zep3::detail::SetDisplayBackend(&screen);
    {
        Shown shown(Frame::W, Frame::H);
        EXPECT_STREQ(zep3::detail::DXVideoDriver(), "offscreen");
        Frame frame;
        frame.Draw(shown.display);
        ASSERT_EQ(shown.display.Present(), 0);
        const auto windows = screen.Windows();
        ASSERT_EQ(windows.size(), 1u);
        EXPECT_EQ(frame.Wrong([&](int x, int y) { return windows[0].frame.GetPixel(x, y); }), 0);
    }
    zep3::detail::SetDisplayBackend(nullptr);
}

TEST(DXDisplayX, PresentShowsTheFrameInXvfbScreenshot) {
    xvfbtest::Xvfb server;
    ASSERT_TRUE(server.Ready()) << "Xvfb did not start (package xvfb)";
    ScopedEnv display("DISPLAY", server.Name().c_str());
    ScopedEnv shownEnv("ZEP3_HEADLESS", nullptr);
    ScopedEnv driver("SDL_VIDEODRIVER", nullptr);
    zep3test::TempDir dir;
    // The screenshot of an X window (the root window for 0) as RGB bytes, through xwd and ImageMagick.
    auto screenshot = [&](unsigned long id, int w, int h) {
        const std::string xwd = dir.file("shot.xwd"), rgb = dir.file("shot.rgb");
        const std::string target = id ? "-id " + std::to_string(id) : std::string("-root");
        EXPECT_EQ(zep3test::runCommand("xwd -silent -display " + server.Name() + " " + target + " -out " + xwd), 0);
        EXPECT_EQ(zep3test::runCommand("convert " + xwd + " -crop " + std::to_string(w) + "x" + std::to_string(h) +
                                       "+0+0 -depth 8 rgb:" + rgb),
                  0);
        return zep3test::readFile(rgb);
    };
    auto at = [](const std::string& rgb, int w) {
        return [&rgb, w](int x, int y) {
            const size_t i = size_t(y * w + x) * 3;
            return i + 2 < rgb.size() ? RGB(BYTE(rgb[i]), BYTE(rgb[i + 1]), BYTE(rgb[i + 2])) : CLR_INVALID;
        };
    };
    {
        Shown shown(Frame::W, Frame::H);
        EXPECT_STREQ(zep3::detail::DXVideoDriver(), "x11");
        Frame frame;
        frame.Draw(shown.display);
        ASSERT_EQ(shown.display.Present(), 0);
        Display* x = XOpenDisplay(server.Name().c_str());
        ASSERT_NE(x, nullptr);
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &n);
        ASSERT_EQ(n, 1u);
        const Window id = children[0];
        XFree(children);
        XCloseDisplay(x);
        const std::string rgb = screenshot(id, Frame::W, Frame::H);
        ASSERT_EQ(rgb.size(), size_t(Frame::W * Frame::H * 3));
        EXPECT_EQ(frame.Wrong(at(rgb, Frame::W)), 0);
    }

    // Full screen on the server's one screen: an 8-bit mode through the grey palette.
    CWnd focus;
    ASSERT_TRUE(focus.CreateEx(0, nullptr, "focus", 0, CRect(0, 0, 10, 10), nullptr, 0));
    CDXDisplay full;
    ASSERT_EQ(full.CreateFullScreenDisplay(focus.m_hWnd, 640, 480, 8, focus.m_hWnd), 0) << (const char*)full.GetError();
    EXPECT_TRUE(full.IsFullScreen());
    CImageBuffer ramp(CSize(640, 480), 8, 0);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) ramp.GetPixelBuffer()[y * 640 + x] = BYTE(x / 3 + y / 4);
    CDXSurface *image = nullptr, *back = new CDXSurface;
    ASSERT_EQ(full.CreateClientSurface(&image, &ramp), 0);
    ASSERT_EQ(back->Create(full.GetBackBufferSurface()), 0);
    ASSERT_EQ(back->BltFrom8To8(image), 0);
    ASSERT_EQ(full.Present(), 0);
    const std::string rgb = screenshot(0, 640, 480);
    ASSERT_EQ(rgb.size(), size_t(640 * 480 * 3));
    int wrong = 0;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5) {
            const BYTE g = BYTE(x / 3 + y / 4);
            wrong += at(rgb, 640)(x, y) != RGB(g, g, g);
        }
    EXPECT_EQ(wrong, 0);
    delete image;
    delete back;
}

} // namespace
