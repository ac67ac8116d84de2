# AVI recording and playback with MJPG against FFmpeg's own MJPEG codec
# through libavcodec, with its colour conversion (libswscale).
find_package(PkgConfig REQUIRED)
pkg_check_modules(BENCH_AVCODEC REQUIRED IMPORTED_TARGET libavcodec libavutil libswscale)
zep3_add_bench(avi SOURCES media/AviBench.cpp LIBS PkgConfig::BENCH_AVCODEC)

# MP3 encoding through CLameMP3 against the lame command-line encoder
# (scripts/deps/bench/sound.txt); both use libmp3lame.
zep3_add_bench(mp3 SOURCES media/Mp3Bench.cpp)
add_dependencies(bench_mp3 zep3mp3)
target_compile_definitions(bench_mp3 PRIVATE ZEP3_MP3_MODULE="$<TARGET_FILE:zep3mp3>")
