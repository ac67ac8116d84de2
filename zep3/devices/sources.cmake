zep3_sources(
  AIORange.cpp
  AnalogIO.cpp
  DigitalIO.cpp
  FSKmessage.cpp
  Grabber.cpp
  SerialPort.cpp
  SerialPortLine.cpp
  detail/PluginModule.cpp
  detail/SerialAnalogIO.cpp
  detail/SerialBaud.cpp
  detail/SerialDevice.cpp
  detail/V4L2Capture.cpp
  detail/VfWGrabber.cpp
)
# USB devices

# Capture: V4L2 through libv4l2, which converts the device's formats.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_V4L2 REQUIRED IMPORTED_TARGET libv4l2)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_V4L2)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE libv4l2)
