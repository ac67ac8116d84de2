# Subsystems in dependency order; each may have zep3/<name>/sources.cmake,
# tests/<name>/CMakeLists.txt and bench/<name>.cmake.
set(ZEP3_SUBSYSTEMS platform crypto foundation imaging markup net devices media modules controls system db)

# zep3_sources(<files relative to the subsystem folder>...) — used inside sources.cmake.
macro(zep3_sources)
  get_filename_component(_zep3_dir ${CMAKE_CURRENT_LIST_FILE} DIRECTORY)
  foreach(_f ${ARGN})
    list(APPEND ZEP3_SOURCES ${_zep3_dir}/${_f})
  endforeach()
endmacro()

# zep3_add_test_suite(<name> SOURCES ... [LIBS ...]): one GoogleTest executable per subsystem.
function(zep3_add_test_suite name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(test_${name} ${T_SOURCES})
  target_link_libraries(test_${name} PRIVATE ZEP3::zep3 zep3_testsupport GTest::gtest_main ${T_LIBS})
  # One variable only: a list would be split apart on its way through test
  # discovery. The reference-data folder is compiled into the test support.
  gtest_discover_tests(test_${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "TZ=Europe/Warsaw"
    DISCOVERY_TIMEOUT 60)
endfunction()

# zep3_add_bench(<name> SOURCES ... [LIBS ...]): one Google Benchmark program.
function(zep3_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(bench_${name} ${B_SOURCES})
  target_link_libraries(bench_${name} PRIVATE ZEP3::zep3 benchmark::benchmark ${B_LIBS})
  # bench/support: helpers shared by the benchmark programs.
  target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench)
endfunction()

# zep3_add_fuzz_replay(<suite> <fuzz target>...): compiles fuzz/<target>.cpp
# into test_<suite> with its entry renamed zep3fuzz_<target>, so that the
# suite replays the inputs kept under tests/data/fuzz/<target>/ through the
# target's own code (see tests/support/FuzzReplay.h).
function(zep3_add_fuzz_replay suite)
  foreach(t ${ARGN})
    set(src ${PROJECT_SOURCE_DIR}/fuzz/${t}.cpp)
    target_sources(test_${suite} PRIVATE ${src})
    set_source_files_properties(${src} PROPERTIES COMPILE_DEFINITIONS "LLVMFuzzerTestOneInput=zep3fuzz_${t}")
  endforeach()
  target_include_directories(test_${suite} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
  target_compile_definitions(test_${suite} PRIVATE ZEP3_FUZZ_REPLAY)
endfunction()
