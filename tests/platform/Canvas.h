#pragma once
// A memory device context over a white bitmap, and pixel queries for the
// drawing tests.
#include <zep3/zep3.h>

#include <algorithm>
#include <string>

struct Canvas {
    CDC dc;
    CBitmap bitmap;
    CBitmap* previous = nullptr;
    CPixelSurface* surface = nullptr;

    Canvas(int w, int h, COLORREF background = RGB(255, 255, 255)) {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&dc, w, h);
        previous = dc.SelectObject(&bitmap);
        surface = bitmap.GetSurface();
        surface->Fill(background);
    }
    ~Canvas() { dc.SelectObject(previous); }

    COLORREF At(int x, int y) const { return surface->GetPixel(x, y); }
    int Count(COLORREF c) const {
        int n = 0;
        for (int y = 0; y < surface->GetHeight(); ++y)
            for (int x = 0; x < surface->GetWidth(); ++x) n += At(x, y) == c;
        return n;
    }
    // Bounding box of the pixels that differ from `background`; empty when none.
    CRect Ink(COLORREF background = RGB(255, 255, 255)) const {
        int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
        for (int y = 0; y < surface->GetHeight(); ++y)
            for (int x = 0; x < surface->GetWidth(); ++x)
                if (At(x, y) != background) {
                    l = std::min(l, x); t = std::min(t, y); r = std::max(r, x + 1); b = std::max(b, y + 1);
                }
        return l == INT32_MAX ? CRect() : CRect(l, t, r, b);
    }
    // One character per pixel: '.' for white, '#' for black, '?' otherwise; for failure messages.
    std::string Dump() const {
        std::string s;
        for (int y = 0; y < surface->GetHeight(); ++y) {
            for (int x = 0; x < surface->GetWidth(); ++x)
                s += At(x, y) == RGB(255, 255, 255) ? '.' : At(x, y) == 0 ? '#' : '?';
            s += '\n';
        }
        return s;
    }
};
