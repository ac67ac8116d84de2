#pragma once
/// @file
/// Images: the image container and its conversions, BMP and JPEG files and
/// display bitmaps, run-length regions with segmentation and contours,
/// perspective correction, the editable shapes (trackers) and the measuring
/// helpers (robust averages, line stepping, part layout, neuron).
#include <zep3/imaging/BmpFile.h>
#include <zep3/imaging/ColorValue24.h>
#include <zep3/imaging/ColorValueHSV.h>
#include <zep3/imaging/Contour.h>
#include <zep3/imaging/DIB.h>
#include <zep3/imaging/Divider.h>
#include <zep3/imaging/DravolinBitmap.h>
#include <zep3/imaging/HandleTracker.h>
#include <zep3/imaging/ImageBuffer.h>
#include <zep3/imaging/Jpeg.h>
#include <zep3/imaging/JpegFile.h>
#include <zep3/imaging/LineDDA.h>
#include <zep3/imaging/LineTracker.h>
#include <zep3/imaging/MPoint.h>
#include <zep3/imaging/Neuron.h>
#include <zep3/imaging/ParallelTracker.h>
#include <zep3/imaging/PerspectiveCorrection.h>
#include <zep3/imaging/PerspectiveTracker.h>
#include <zep3/imaging/PolygonTracker.h>
#include <zep3/imaging/RLC.h>
#include <zep3/imaging/RectangleTracker.h>
#include <zep3/imaging/RobustAverage.h>
#include <zep3/imaging/SegObject.h>
#include <zep3/imaging/SystemTime.h>
