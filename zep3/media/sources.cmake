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
