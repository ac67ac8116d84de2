zep3_add_bench(drawing SOURCES ${CMAKE_CURRENT_LIST_DIR}/drawing.cpp)
