// 24-bit 1080p frames converted into the back surface and presented, through
// CDXDisplay and CDXSurface against a plain SDL2 program doing the same: the
// frame blitted (converted) into a 32-bit back surface, that blitted onto
// the window's surface and the window updated. Both run on SDL's offscreen
// video driver, in the same run.
#include "support/BenchSupport.h"

#include <zep3/zep3.h>

#include <SDL.h>

#include <cstdlib>
#include <random>

namespace {

constexpr int W = 1920, H = 1080;
CImageBuffer g_frame(CSize(W, H), 24, 0);

void Ours(benchmark::State& state) {
    CWnd window;
    window.CreateEx(0, nullptr, "bench", WS_VISIBLE, CRect(0, 0, W, H), nullptr, 0);
    CDXDisplay display;
    CDXSurface *frame = nullptr, back;
    if (display.CreateWindowedDisplay(window.m_hWnd, W, H) != 0 || display.CreateClientSurface(&frame, &g_frame) != 0 ||
        back.Create(display.GetBackBufferSurface()) != 0) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        back.BltFrom24To32(frame);
        display.Present();
    }
    state.SetItemsProcessed(state.iterations());
    delete frame;
}

void PlainSdl(benchmark::State& state) {
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, W, H, 0);
    SDL_Surface* frame =
        SDL_CreateRGBSurfaceWithFormatFrom(g_frame.GetPixelBuffer(), W, H, 24, W * 3, SDL_PIXELFORMAT_BGR24);
    SDL_Surface* back = SDL_CreateRGBSurfaceWithFormat(0, W, H, 32, SDL_PIXELFORMAT_RGB888);
    SDL_Surface* screen = window ? SDL_GetWindowSurface(window) : nullptr;
    if (!frame || !back || !screen) {
        state.SkipWithError(SDL_GetError());
    } else {
        for (auto _ : state) {
            SDL_BlitSurface(frame, nullptr, back, nullptr);
            SDL_BlitSurface(back, nullptr, screen, nullptr);
            SDL_UpdateWindowSurface(window);
        }
        state.SetItemsProcessed(state.iterations());
    }
    SDL_FreeSurface(back);
    SDL_FreeSurface(frame);
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("ZEP3_HEADLESS", "1", 1);
    std::mt19937 random(1);
    for (int i = 0; i < W * H * 3; ++i) g_frame.GetPixelBuffer()[i] = BYTE(random());
    benchsupport::RunPairs(argc, argv, {{"DX 24-bit 1080p convert + present", Ours, "plain SDL2", PlainSdl}});
    return 0;
}
