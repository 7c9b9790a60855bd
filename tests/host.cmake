# Host tests: the harrowtally command line end to end, through the real loader, against the
# stand-in scanner library; and its pure parts (step reading, value printing, member table).
include(${CMAKE_CURRENT_LIST_DIR}/loader.cmake)

if(TARGET harrowtally)
  # A child that exits with 1, optionally after losing memory: the sanitizer's status must differ.
  add_executable(exit_one ${CMAKE_CURRENT_SOURCE_DIR}/host/child/exit_one.cpp)

  file(GLOB host_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/host/*.cpp)
  add_executable(harrowtally_host_tests ${host_test_sources} ${CMAKE_CURRENT_SOURCE_DIR}/support/run_process.cpp)
  target_include_directories(harrowtally_host_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(harrowtally_host_tests PRIVATE
    HARROWTALLY_EXE="$<TARGET_FILE:harrowtally>"
    EXIT_ONE="$<TARGET_FILE:exit_one>"
    TEST_LIBRARY="$<TARGET_FILE:test_scanner_library>"
    TEST_LIBRARY_INCOMPLETE="$<TARGET_FILE:test_scanner_library_incomplete>"
    TEST_NOT_A_LIBRARY="${not_a_library}")
  add_dependencies(harrowtally_host_tests harrowtally exit_one test_scanner_library test_scanner_library_incomplete)
  target_link_libraries(harrowtally_host_tests PRIVATE harrowtally_host GTest::gtest GTest::gtest_main util)
  gtest_discover_tests(harrowtally_host_tests DISCOVERY_TIMEOUT 60)
endif()
