# AVI files and video codecs: our own RIFF reader and writer, the codec
# registry over TurboJPEG (MJPG) and libavcodec with libswscale.
zep3_sources(
  AVIEdit.cpp
  AVIFile.cpp
  Codec.cpp
  detail/AviRiff.cpp
  detail/CodecRegistry.cpp
  detail/LavcCodec.cpp
  detail/MjpegCodec.cpp
)
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_AVCODEC REQUIRED IMPORTED_TARGET libavcodec libavutil libswscale libturbojpeg)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_AVCODEC)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE libavcodec libavutil libswscale libturbojpeg)

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
pkg_check_modules(ZEP3_ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(ZEP3_GSTREAMER REQUIRED IMPORTED_TARGET gstreamer-1.0)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_ALSA PkgConfig::ZEP3_GSTREAMER)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE alsa gstreamer-1.0)
include(${CMAKE_CURRENT_LIST_DIR}/detail/lame/module.cmake)
