#include <zep3/imaging/ColorValueHSV.h>

#include <algorithm>
#include <cmath>

void RGBtoHSV(CColorValue24* in, CColorValueHSV* out) {
    if (!in || !out) return;
    const int r = in->m_Red, g = in->m_Green, b = in->m_Blue;
    const int v = std::max({r, g, b});
    *out = CColorValueHSV(0, 0, static_cast<BYTE>(v));
    if (v == 0) return;
    const int delta = v - std::min({r, g, b});
    const int s = (v / 2 + 255 * delta) / v;
    if (s == 0) return;
    out->m_Saturation = static_cast<BYTE>(s);
    // Sectors in 1/6 circles of 256 steps; red's sector starts at 256 so
    // that the numerator stays positive, and wraps through the low byte.
    int offset, d;
    if (r == v) {
        offset = 1536;
        d = g - b;
    } else if (g == v) {
        offset = 512;
        d = b - r;
    } else {
        offset = 1024;
        d = r - g;
    }
    out->m_Hue = static_cast<BYTE>(((offset + 3) * delta + 256 * d) / (6 * delta));
}

void HSVtoRGB(CColorValueHSV* in, CColorValue24* out) {
    if (!in || !out) return;
    const double k = 1.0 / 255.0;
    const double s = in->m_Saturation * k;
    const double v = in->m_Value * k;
    double r, g, b;
    if (s == 0) {
        r = g = b = v;
    } else {
        const double h = in->m_Hue * k * 6;
        const int i = static_cast<int>(std::floor(h));
        const double f = h - i;
        const double p = v * (1 - s);
        const double q = v * (1 - s * f);
        const double t = v * (1 - s * (1 - f));
        switch (i) {
        case 0: r = v; g = t; b = p; break;
        case 1: r = q; g = v; b = p; break;
        case 2: r = p; g = v; b = t; break;
        case 3: r = p; g = q; b = v; break;
        case 4: r = t; g = p; b = v; break;
        default: r = v; g = p; b = q; break;
        }
    }
    out->m_Red = static_cast<BYTE>(r * 255);
    out->m_Green = static_cast<BYTE>(g * 255);
    out->m_Blue = static_cast<BYTE>(b * 255);
}
