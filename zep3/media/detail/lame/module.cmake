# libzep3mp3.so: the Blade-style MP3 encoder entry points over libmp3lame,
# a module beside libzep3.so that CLameMP3 loads at run time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_LAME REQUIRED IMPORTED_TARGET lame)
add_library(zep3mp3 MODULE ${CMAKE_CURRENT_LIST_DIR}/Zep3Mp3Module.cpp)
target_include_directories(zep3mp3 PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(zep3mp3 PRIVATE PkgConfig::ZEP3_LAME)
set_target_properties(zep3mp3 PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(NOT (ZEP3_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
  target_link_options(zep3mp3 PRIVATE -Wl,--no-undefined)
endif()
install(TARGETS zep3mp3 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
