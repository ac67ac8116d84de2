# AVI recording and playback with MJPG against FFmpeg's own MJPEG codec
# through libavcodec, with its colour conversion (libswscale).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_AVCODEC REQUIRED IMPORTED_TARGET libavcodec libavutil libswscale)
zep3_add_bench(avi SOURCES media/AviBench.cpp LIBS PkgConfig::BENCH_AVCODEC)
