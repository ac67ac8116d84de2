# The configuration store against inih (a plain INI reader) and an
# unordered_map -> sort -> fwrite floor.
find_package(PkgConfig REQUIRED)
pkg_check_modules(INIH REQUIRED IMPORTED_TARGET inih)
zep3_add_bench(foundation SOURCES foundation/IniFileBench.cpp LIBS PkgConfig::INIH)
# CLogFile::Add against the least a ring log must do per line.
zep3_add_bench(logfile SOURCES foundation/LogFileBench.cpp)
