zep3_sources(
  BmpFile.cpp
  ColorValueHSV.cpp
  Contour.cpp
  DIB.cpp
  Divider.cpp
  DravolinBitmap.cpp
  HandleTracker.cpp
  ImageBuffer.cpp
  ImageConvert.cpp
  Jpeg.cpp
  JpegFile.cpp
  LineDDA.cpp
  LineTracker.cpp
  Neuron.cpp
  ParallelTracker.cpp
  PerspectiveCorrection.cpp
  PerspectiveTracker.cpp
  PolygonTracker.cpp
  RectangleTracker.cpp
  RLC.cpp
  RLCAnalysis.cpp
  RobustAverage.cpp
  SegObject.cpp
  SystemTime.cpp
  detail/JpegCodec.cpp
)
# The pixel loops are written for the vectoriser, which -O2 runs only on
# loops without a remainder.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ImageConvert.cpp PROPERTIES COMPILE_OPTIONS -O3)

find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_LIBJPEG REQUIRED IMPORTED_TARGET libjpeg)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_LIBJPEG)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE libjpeg)
