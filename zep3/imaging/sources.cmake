zep3_sources(
  ColorValueHSV.cpp
  ImageBuffer.cpp
  ImageConvert.cpp
  SystemTime.cpp
)
# The pixel loops are written for the vectoriser, which -O2 runs only on
# loops without a remainder.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/ImageConvert.cpp PROPERTIES COMPILE_OPTIONS -O3)
