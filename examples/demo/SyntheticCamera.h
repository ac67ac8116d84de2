#pragma once
// A stand-in for a frame grabber: renders a moving scene (a gradient with a
// disc and a bar that travel across it) into image buffers of one colour
// mode, stamped with the time of the grab and a frame counter as image tag.
#include <zep3/zep3.h>

class SyntheticCamera {
public:
    // colorMode: 0 grey, 1 BGR, 2 5-5-5 words.
    SyntheticCamera(int width, int height, int colorMode);
    // Fills `frame` (re-created only when its type differs) with the next
    // frame; false for an unknown colour mode.
    bool Grab(CImageBuffer& frame);

private:
    int m_Width;
    int m_Height;
    int m_ColorMode;
    int m_FrameCount = 0;
};
