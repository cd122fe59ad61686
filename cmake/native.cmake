# Native build: unit tests (and benchmarks) of the platform-independent core.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB VEZIVOD_UNIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${VEZIVOD_UNIT_SOURCES})
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(unit_tests PRIVATE vezivod_core GTest::gtest_main)
target_compile_options(unit_tests PRIVATE ${VEZIVOD_WARNINGS})
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

add_test(NAME vezivod_tool
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tool/test-vezivod $<TARGET_FILE:vezivod>)
add_test(NAME clean_startup_tool COMMAND ${CMAKE_SOURCE_DIR}/tests/tool/test-clean-startup $<TARGET_FILE:vezivod>)

if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()

option(VEZIVOD_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(VEZIVOD_FUZZ)
  add_subdirectory(tests/fuzz)
endif()
