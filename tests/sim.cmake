# The simulated scanner library, loaded as the component loads it: by file, through dlopen.
if(TARGET csp2a)
  file(GLOB sim_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/sim/*.cpp)
  add_executable(harrowtally_sim_tests ${sim_test_sources})
  target_include_directories(harrowtally_sim_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR})
  target_compile_definitions(harrowtally_sim_tests PRIVATE
    HARROWTALLY_SIM_LIBRARY="$<TARGET_FILE:csp2a>"
    HARROWTALLY_SIM_EXAMPLE="${PROJECT_SOURCE_DIR}/sim/example-device.txt")
  target_link_libraries(harrowtally_sim_tests PRIVATE GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  add_dependencies(harrowtally_sim_tests csp2a)
  gtest_discover_tests(harrowtally_sim_tests DISCOVERY_TIMEOUT 60)
endif()
