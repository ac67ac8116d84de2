zep3_add_bench(drawing SOURCES DrawingBench.cpp)
# CLogFile::Add against a plain write(2) of the same bytes to an open file.
zep3_add_bench(logfile SOURCES LogFileBench.cpp)
# Posting and dispatching one million messages between two threads.
zep3_add_bench(messages SOURCES MessagesBench.cpp)
