#include <zep3/platform/PixelSurface.h>
#include <zep3/platform/detail/DisplayBackend.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zep3::detail {
namespace {

std::atomic<DisplayBackend*> g_installed{nullptr};

bool HeadlessAsked() {
    const char* headless = std::getenv("ZEP3_HEADLESS");
    return headless && *headless && std::strcmp(headless, "0") != 0;
}

} // namespace

DisplayBackend* CurrentDisplay() {
    if (DisplayBackend* installed = g_installed.load(std::memory_order_acquire)) return installed;
    return HeadlessAsked() ? nullptr : X11Display();
}

void SetDisplayBackend(DisplayBackend* backend) { g_installed.store(backend, std::memory_order_release); }

CRect CopyPresented(CPixelSurface& kept, const CPixelSurface& from, const RECT* area) {
    const int w = from.GetWidth(), h = from.GetHeight();
    if (!area || w != kept.GetWidth() || h != kept.GetHeight()) {
        kept = from;
        return CRect(0, 0, w, h);
    }
    CRect part;
    if (!part.IntersectRect(*area, CRect(0, 0, w, h))) return CRect();
    for (int y = part.top; y < part.bottom; ++y)
        std::memcpy(kept.GetRow(y) + part.left, from.GetRow(y) + part.left, size_t(part.Width()) * sizeof(DWORD));
    return part;
}

} // namespace zep3::detail
