# The Windows packages' registry rows as the installer reads them (formatted strings).
add_executable(harrowtally_packaging_tests packaging/wxs_registry_test.cpp)
target_link_libraries(harrowtally_packaging_tests PRIVATE harrowtally_wxs_rows GTest::gtest GTest::gtest_main)
gtest_discover_tests(harrowtally_packaging_tests DISCOVERY_TIMEOUT 60)
