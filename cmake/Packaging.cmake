# Debian packages (make package): CPack's DEB generator, one package per
# install component:
#   runtime  libzep3-<major>  the library (with its SONAME) and its encoder module
#   dev      libzep3-dev      headers, the unversioned link, pkg-config file, CMake package
#   station  zep3-station     the camera station, its client and the test-pattern plug-in
# Included before any install rule: what names no component is the runtime's;
# the top-level list moves the development files to "dev". The CPack part runs
# again at the end of the top-level list, once the subsystems have named their
# private pkg-config modules.
if(NOT ZEP3_PACKAGING_FINISH)
  set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME runtime)
  set(ZEP3_PACKAGING_FINISH ${CMAKE_CURRENT_LIST_FILE})
  # The call's arguments are expanded when it runs.
  cmake_language(DEFER CALL include ${ZEP3_PACKAGING_FINISH})
  return()
endif()

# pkg-config --cflags zep3 needs the private modules' .pc files: the
# development package depends on the Debian packages that hold them.
set(_zep3_dev_depends)
foreach(_module IN LISTS ZEP3_PC_REQUIRES_PRIVATE)
  execute_process(COMMAND pkg-config --variable=pcfiledir ${_module}
    OUTPUT_VARIABLE _dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND dpkg -S ${_dir}/${_module}.pc OUTPUT_VARIABLE _owner ERROR_QUIET)
  string(REGEX MATCH "^[^:]+" _package "${_owner}")
  if(_package)
    list(APPEND _zep3_dev_depends ${_package})
  else()
    message(STATUS "Packaging: no Debian package holds ${_module}.pc; libzep3-dev will not depend on it")
  endif()
endforeach()
list(REMOVE_DUPLICATES _zep3_dev_depends)
list(JOIN _zep3_dev_depends ", " CPACK_DEBIAN_DEV_PACKAGE_DEPENDS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zep3)
set(CPACK_PACKAGE_VENDOR "ZEP3")
set(CPACK_PACKAGE_CONTACT "ZEP3 maintainers <zep3@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime dev station)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzep3-${PROJECT_VERSION_MAJOR})
# The library's own dependencies from its linked libraries, and a shlibs
# file so that programs built against it depend on this package.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzep3-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_STATION_PACKAGE_NAME zep3-station)
set(CPACK_DEBIAN_STATION_PACKAGE_SECTION video)
set(CPACK_DEBIAN_STATION_PACKAGE_DEPENDS "libc6, libstdc++6")

include(CPack)
cpack_add_component(runtime DISPLAY_NAME "ZEP3 library"
  DESCRIPTION "The ZEP3 class library for video-surveillance and telephony applications")
cpack_add_component(dev DISPLAY_NAME "ZEP3 development files" DEPENDS runtime
  DESCRIPTION "Headers, pkg-config file and CMake package of the ZEP3 class library")
cpack_add_component(station DISPLAY_NAME "ZEP3 camera station" DEPENDS runtime
  DESCRIPTION "A camera station built on ZEP3: test-pattern grabber, zone analysis, MJPG recording, remote control")
