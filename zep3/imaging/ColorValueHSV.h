#pragma once
/// @class CColorValueHSV
/// Hue, saturation and value, one byte each. The hue runs over
/// a full circle in 256 steps (0 red, about 85 green, about 171 blue).
/// RGBtoHSV and HSVtoRGB convert single colours; both accept null pointers and
/// then do nothing.
#include <zep3/imaging/ColorValue24.h>
#include <zep3/platform/Export.h>

class CColorValueHSV {
public:
    CColorValueHSV() = default;
    CColorValueHSV(BYTE hue, BYTE saturation, BYTE value) : m_Hue(hue), m_Saturation(saturation), m_Value(value) {}
    CColorValueHSV& operator=(const CColorValueHSV& other) = default;

    BYTE m_Hue = 0;
    BYTE m_Saturation = 0;
    BYTE m_Value = 0;
};
static_assert(sizeof(CColorValueHSV) == 3, "CColorValueHSV is 3 bytes");

/// @relates CColorValueHSV Integer conversion, the hue rounded to the nearest of its 256 steps.
ZEP3_API void RGBtoHSV(CColorValue24* in, CColorValueHSV* out);
/// @relates CColorValueHSV Double-precision conversion; each channel truncated toward zero.
ZEP3_API void HSVtoRGB(CColorValueHSV* in, CColorValue24* out);
