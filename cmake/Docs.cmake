# The API reference (make docs): Doxygen over the installed headers, with the
# pages of docs/ beside it, written to <build>/docs/html. With the tests on,
# the "docs" test runs Doxygen again without output and fails while any
# public class or struct has no doc comment.
find_program(ZEP3_DOXYGEN doxygen)
if(NOT ZEP3_DOXYGEN)
  message(STATUS "Docs: doxygen not found (scripts/install-deps installs it); no docs target")
  return()
endif()

function(zep3_doxyfile file output html)
  set(ZEP3_DOCS_OUTPUT ${output})
  set(ZEP3_DOCS_HTML ${html})
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${file} @ONLY)
endfunction()

zep3_doxyfile(${PROJECT_BINARY_DIR}/docs/Doxyfile ${PROJECT_BINARY_DIR}/docs YES)
add_custom_target(docs
  COMMAND ${ZEP3_DOXYGEN} ${PROJECT_BINARY_DIR}/docs/Doxyfile
  COMMAND ${CMAKE_COMMAND} -E echo "API reference: ${PROJECT_BINARY_DIR}/docs/html/index.html (warnings: ${PROJECT_BINARY_DIR}/docs/warnings.log)"
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  VERBATIM)

if(ZEP3_BUILD_TESTS)
  zep3_doxyfile(${PROJECT_BINARY_DIR}/docs-check/Doxyfile ${PROJECT_BINARY_DIR}/docs-check NO)
  add_test(NAME docs.undocumented_classes
    COMMAND ${CMAKE_COMMAND} -DDOXYGEN=${ZEP3_DOXYGEN} -DDIR=${PROJECT_BINARY_DIR}/docs-check
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckDocs.cmake
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(docs.undocumented_classes PROPERTIES LABELS docs TIMEOUT 120)
endif()
