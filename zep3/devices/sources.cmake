zep3_sources(
  AIORange.cpp
  AnalogIO.cpp
  BulkUSBDevice.cpp
  DigitalIO.cpp
  FSKmessage.cpp
  Grabber.cpp
  LibUSBDevice.cpp
  SerialPort.cpp
  SerialPortLine.cpp
  detail/LibUsbBinding.cpp
  detail/PluginModule.cpp
  detail/SerialAnalogIO.cpp
  detail/SerialBaud.cpp
  detail/SerialDevice.cpp
  detail/UsbStream.cpp
  detail/Usbfs.cpp
  detail/V4L2Capture.cpp
  detail/VfWGrabber.cpp
)
# Capture: V4L2 through libv4l2, which converts the device's formats.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_V4L2 REQUIRED IMPORTED_TARGET libv4l2)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_V4L2)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE libv4l2)

# USB devices: CLibUSBDevice loads libzep3usb.so at run time, the libusb 0.1
# interface over libusb-1.0, built and installed beside the library.
pkg_check_modules(ZEP3_LIBUSB REQUIRED IMPORTED_TARGET libusb-1.0)
add_library(zep3usb MODULE ${CMAKE_CURRENT_LIST_DIR}/usbshim/Zep3Usb.cpp)
set_target_properties(zep3usb PROPERTIES CXX_VISIBILITY_PRESET hidden)
target_include_directories(zep3usb PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(zep3usb PRIVATE PkgConfig::ZEP3_LIBUSB)
install(TARGETS zep3usb LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
