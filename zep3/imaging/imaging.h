#pragma once
// Images: the image container and its conversions, BMP and JPEG files,
// perspective correction and the editable shapes (trackers).
#include <zep3/imaging/BmpFile.h>
#include <zep3/imaging/ColorValue24.h>
#include <zep3/imaging/ColorValueHSV.h>
#include <zep3/imaging/HandleTracker.h>
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/MPoint.h>
#include <zep3/imaging/Jpeg.h>
#include <zep3/imaging/JpegFile.h>
#include <zep3/imaging/LineTracker.h>
#include <zep3/imaging/ParallelTracker.h>
#include <zep3/imaging/PerspectiveCorrection.h>
#include <zep3/imaging/PerspectiveTracker.h>
#include <zep3/imaging/PolygonTracker.h>
#include <zep3/imaging/RectangleTracker.h>
#include <zep3/imaging/SystemTime.h>
