# The commands for people end to end: harrowtally with the simulated scanner library found beside it.
include(${CMAKE_CURRENT_LIST_DIR}/loader.cmake)

if(TARGET harrowtally AND TARGET csp2a)
  file(GLOB cli_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/cli/*.cpp)
  add_executable(harrowtally_cli_tests ${cli_test_sources})
  target_compile_definitions(harrowtally_cli_tests PRIVATE HARROWTALLY_EXE="$<TARGET_FILE:harrowtally>")
  add_dependencies(harrowtally_cli_tests harrowtally csp2a)
  use_test_libraries(harrowtally_cli_tests)
  target_link_libraries(harrowtally_cli_tests PRIVATE harrowtally_run_process GTest::gtest GTest::gtest_main)
  gtest_discover_tests(harrowtally_cli_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()
