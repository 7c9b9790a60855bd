# Host tests: the harrowtally command line end to end, through the real loader, against the
# stand-in scanner library; and its pure parts (step reading, value printing, member table).
include(${CMAKE_CURRENT_LIST_DIR}/loader.cmake)

if(TARGET harrowtally)
  # A child that exits with 1, optionally after losing memory: the sanitizer's status must differ.
  add_executable(exit_one ${CMAKE_CURRENT_SOURCE_DIR}/host/child/exit_one.cpp)

  file(GLOB host_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/host/*.cpp)
  # The scripted library gives the host's pure parts a real download to work on.
  list(APPEND host_test_sources ${CMAKE_CURRENT_SOURCE_DIR}/support/scripted_csp2.cpp)
  add_executable(harrowtally_host_tests ${host_test_sources})
  target_compile_definitions(harrowtally_host_tests PRIVATE
    HARROWTALLY_EXE="$<TARGET_FILE:harrowtally>"
    EXIT_ONE="$<TARGET_FILE:exit_one>")
  use_test_libraries(harrowtally_host_tests)
  add_dependencies(harrowtally_host_tests harrowtally exit_one)
  target_link_libraries(harrowtally_host_tests PRIVATE harrowtally_host harrowtally_run_process GTest::gtest
    GTest::gtest_main)
  gtest_discover_tests(harrowtally_host_tests DISCOVERY_TIMEOUT 60)
endif()
