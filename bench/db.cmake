# The peer: the same query through the client library's C interface, linked
# directly. The benchmark starts its own server, as the tests do.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZEP3_BENCH_MARIADB REQUIRED IMPORTED_TARGET libmariadb)
zep3_add_bench(db SOURCES db/MySQLBench.cpp LIBS PkgConfig::ZEP3_BENCH_MARIADB)
target_include_directories(bench_db PRIVATE ${PROJECT_SOURCE_DIR}/tests)
