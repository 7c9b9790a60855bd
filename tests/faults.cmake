# Fault runs: every fault switch of the simulated scanner on every member that talks to the
# scanner, through the real loader, with the simulator's call journal checked for released ports.
if(TARGET csp2a)
  file(GLOB fault_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/faults/*.cpp)
  add_executable(harrowtally_fault_tests ${fault_test_sources})
  target_include_directories(harrowtally_fault_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(harrowtally_fault_tests PRIVATE
    HARROWTALLY_SIM_LIBRARY="$<TARGET_FILE:csp2a>"
    HARROWTALLY_SIM_DOC="${PROJECT_SOURCE_DIR}/docs/simulator.md")
  target_link_libraries(harrowtally_fault_tests PRIVATE harrowtally_core GTest::gtest GTest::gtest_main)
  add_dependencies(harrowtally_fault_tests csp2a)
  gtest_discover_tests(harrowtally_fault_tests DISCOVERY_TIMEOUT 60)
endif()
