#pragma once
// The state behind a CDC.
#include <zep3/platform/DC.h>
#include <zep3/platform/detail/GdiData.h>
#include <zep3/platform/detail/Raster.h>

#include <vector>

struct CDC::Impl {
    // What SaveDC keeps.
    struct State {
        zep3::detail::Ref<zep3::detail::PenData> pen;
        zep3::detail::Ref<zep3::detail::BrushData> brush;
        zep3::detail::Ref<zep3::detail::FontData> font;
        zep3::detail::Ref<zep3::detail::PaletteData> palette;
        zep3::detail::Ref<zep3::detail::BitmapData> bitmap;
        COLORREF textColor = 0;
        COLORREF bkColor = 0xFFFFFF;
        int bkMode = OPAQUE;
        int rop2 = R2_COPYPEN;
        int polyFillMode = ALTERNATE;
        int stretchMode = BLACKONWHITE;
        UINT textAlign = TA_LEFT | TA_TOP;
        COLORADJUSTMENT colorAdjust{sizeof(COLORADJUSTMENT), 0, 0, 10000, 10000, 10000, 0, 10000, 0, 0, 0, 0};
        POINT pos{0, 0};
        POINT viewportOrg{0, 0};
        POINT windowOrg{0, 0};
        bool clipped = false;
        RECT clip{0, 0, 0, 0};  // device coordinates
    };

    CDC* owner = nullptr;
    bool created = false;
    CPixelSurface* attached = nullptr;
    // A window's DC: where its device point (0, 0) lies on the surface, and
    // the part of the surface it may touch (the window's visible area, or
    // the update region of a paint). Not part of SaveDC, and untouched by
    // SelectClipRgn, as the system region of a Windows DC.
    POINT origin{0, 0};
    bool bounded = false;
    RECT bounds{0, 0, 0, 0};
    State state;
    std::vector<State> saved;
    // Position in the current pen's dash pattern; it runs on across LineTo
    // calls and restarts at MoveTo, as a polyline's does.
    int styleStep = 0;

    // Drawing target in device coordinates; surface null when there is none.
    zep3::detail::Target GetTarget() const;
    CPixelSurface* Surface() const;
    int DX(int x) const { return x - state.windowOrg.x + state.viewportOrg.x + origin.x; }
    int DY(int y) const { return y - state.windowOrg.y + state.viewportOrg.y + origin.y; }
    POINT ToDevice(POINT p) const { return POINT{DX(p.x), DY(p.y)}; }

    // Pen drawing in device coordinates.
    void PenLine(const zep3::detail::Target& t, POINT a, POINT b);
    bool PenVisible() const { return state.pen && state.pen->style != PS_NULL; }
    int PenWidth() const { return state.pen && state.pen->width > 1 ? state.pen->width : 1; }
    DWORD PenPixelValue() const { return CPixelSurface::ToPixel(state.pen ? state.pen->color : 0); }
    bool BrushVisible() const { return state.brush && state.brush->style != BS_NULL; }
    DWORD BrushPixelValue() const { return CPixelSurface::ToPixel(state.brush ? state.brush->color : 0xFFFFFF); }
};

namespace zep3::detail {
// The DC's data for a handle (null for unknown handles).
CDC::Impl* DCFromHandle(HDC hdc);
// Makes dc a window's DC on its surface: device (0, 0) at `origin` and
// drawing limited to `bounds` (surface coordinates). The DC must be created.
void SetDeviceArea(CDC* dc, POINT origin, const RECT& bounds);
}  // namespace zep3::detail
