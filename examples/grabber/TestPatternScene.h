#pragma once
// The scene of the test-pattern camera, as a function of the frame number so
// that anyone can tell what a frame must show: a grey checkerboard of 16-pixel
// squares (levels 64 and 96), the frame number in the first 32 pixels of the
// top row (bit n at x = n: white when set, black when not), and coloured
// rectangles, one eighth of the frame in each direction, that bounce off the
// edges, each at its own speed; a later object covers an earlier one.
#include <zep3/zep3.h>

namespace testpattern {

const int kSquare = 16;
const BYTE kDark = 64;
const BYTE kLight = 96;
const int kIndexBits = 32;
const int kMaxObjects = 8;

// The grey level of the background at (x, y).
inline BYTE BackgroundLevel(int x, int y) { return ((x / kSquare + y / kSquare) & 1) ? kLight : kDark; }

// Object k's colour as blue, green, red.
void ObjectColor(int k, BYTE bgr[3]);

// Object k's rectangle in frame `index` of a width x height frame.
CRect ObjectRect(int width, int height, int k, long index);

// Draws frame `index` into 24-bit pixels (rows top-down, no padding).
void RenderFrame(BYTE* pixels, int width, int height, int objectCount, long index);

} // namespace testpattern
