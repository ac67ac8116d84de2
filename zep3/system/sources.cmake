zep3_sources(
  NetworkAdapter.cpp
  Ras.cpp
  detail/IpHelper.cpp
  detail/RasBackend.cpp
  detail/RasPhonebookDouble.cpp
  detail/RasPppd.cpp
)

# NetworkManager's DHCP requests over D-Bus through sd-bus.
pkg_check_modules(ZEP3_SDBUS REQUIRED IMPORTED_TARGET libsystemd)
list(APPEND ZEP3_PRIVATE_LIBS PkgConfig::ZEP3_SDBUS)
list(APPEND ZEP3_PC_REQUIRES_PRIVATE libsystemd)
