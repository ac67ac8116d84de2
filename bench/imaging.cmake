# Image conversions against OpenCV, the JPEG classes against TurboJPEG; both
# peers are benchmark-only (scripts/deps/bench/imaging.txt).
find_package(OpenCV REQUIRED COMPONENTS core imgproc)
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
zep3_add_bench(imaging SOURCES imaging/ImagingBench.cpp LIBS ${OpenCV_LIBS} PkgConfig::BENCH_TURBOJPEG)
target_include_directories(bench_imaging SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
# Perspective correction against cv::remap on the same map.
zep3_add_bench(perspective SOURCES imaging/PerspectiveBench.cpp LIBS ${OpenCV_LIBS})
target_include_directories(bench_perspective SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
# Run-length regions: thresholding and labelling against OpenCV's.
zep3_add_bench(rlc SOURCES imaging/RLCBench.cpp LIBS ${OpenCV_LIBS})
target_include_directories(bench_rlc SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
