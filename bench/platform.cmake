zep3_add_bench(drawing SOURCES drawing.cpp)
# CLogFile::Add against a plain write(2) of the same bytes to an open file.
zep3_add_bench(logfile SOURCES LogFileBench.cpp)
