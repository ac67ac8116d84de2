# Sound input, wave files, the MP3 encoder stream and media playback.
zep3_sources(
  LameMP3.cpp
  MCI.cpp
  MmioWaveFile.cpp
  SoundIn.cpp
  WaveFile.cpp
  WaveFileHeader.cpp
  detail/MciDevice.cpp
  detail/Mmio.cpp
  detail/WaveIn.cpp
)
# Wave input over ALSA, playback over GStreamer; the MP3 encoder is a module
# of its own (libzep3mp3.so), loaded at run time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(ZEP3_GSTREAMER REQUIRED IMPORTED_TARGET gstreamer-1.0)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_ALSA PkgConfig::ZEP3_GSTREAMER)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE alsa gstreamer-1.0)
include(${CMAKE_CURRENT_LIST_DIR}/detail/lame/module.cmake)
