# The configuration store against inih (a plain INI reader) and an
# unordered_map -> sort -> fwrite floor.
find_package(PkgConfig REQUIRED)
pkg_check_modules(INIH REQUIRED IMPORTED_TARGET inih)
zep3_add_bench(foundation SOURCES IniFileBench.cpp LIBS PkgConfig::INIH)
