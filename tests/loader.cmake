# Loader tests: the real library loader against small libraries that this build makes. The host
# tests use the same libraries and include this file first.
include_guard(GLOBAL)
set(loader_dir ${CMAKE_CURRENT_SOURCE_DIR}/loader)

# A complete stand-in scanner library, and one that lacks a function.
add_library(test_scanner_library SHARED ${loader_dir}/lib/test_scanner_library.cpp)
set_target_properties(test_scanner_library PROPERTIES CXX_VISIBILITY_PRESET hidden PREFIX "" OUTPUT_NAME
  test_scanner_library)
add_library(test_scanner_library_incomplete SHARED ${loader_dir}/lib/test_scanner_library.cpp)
target_compile_definitions(test_scanner_library_incomplete PRIVATE OMIT_SW_VERSION)
set_target_properties(test_scanner_library_incomplete PROPERTIES CXX_VISIBILITY_PRESET hidden PREFIX "")

# A file with the library's name that is not a library.
set(not_a_library ${CMAKE_CURRENT_BINARY_DIR}/not_a_library/libcsp2a.so)
file(WRITE ${not_a_library} "This is a text file, not a shared library.\n")

# Loads the library by its default name and search; the tests run copies of it in folders of their own.
add_executable(library_probe ${loader_dir}/probe/library_probe.cpp)
target_link_libraries(library_probe PRIVATE harrowtally_core)

file(GLOB loader_test_sources CONFIGURE_DEPENDS ${loader_dir}/*.cpp)
# Gives a test program the paths of the libraries above, and builds them before it.
function(use_test_libraries target)
  target_compile_definitions(${target} PRIVATE
    TEST_LIBRARY="$<TARGET_FILE:test_scanner_library>"
    TEST_LIBRARY_INCOMPLETE="$<TARGET_FILE:test_scanner_library_incomplete>"
    TEST_NOT_A_LIBRARY="${not_a_library}")
  add_dependencies(${target} test_scanner_library test_scanner_library_incomplete)
endfunction()

add_executable(harrowtally_loader_tests ${loader_test_sources})
target_compile_definitions(harrowtally_loader_tests PRIVATE LIBRARY_PROBE="$<TARGET_FILE:library_probe>")
use_test_libraries(harrowtally_loader_tests)
add_dependencies(harrowtally_loader_tests library_probe)
target_link_libraries(harrowtally_loader_tests PRIVATE harrowtally_core harrowtally_run_process GTest::gtest
  GTest::gtest_main)
gtest_discover_tests(harrowtally_loader_tests DISCOVERY_TIMEOUT 60)
