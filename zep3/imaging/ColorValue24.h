#pragma once
/// @struct CColorValue24
/// One 24-bit pixel, in the byte order of the image buffer's
/// colour mode 1 (blue, green, red).
#include <zep3/platform/WinTypes.h>

struct CColorValue24 {
    BYTE m_Blue;
    BYTE m_Green;
    BYTE m_Red;
};
static_assert(sizeof(CColorValue24) == 3, "CColorValue24 is 3 bytes");
