# Windows builds (MinGW-w64): the DLL, the command-line host and the Windows
# tests. Everything is linked statically against libgcc, libstdc++ and
# winpthreads so that the DLL needs only system DLLs on a clean Windows.
enable_language(RC)
set(VEZIVOD_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

configure_file(${CMAKE_SOURCE_DIR}/src/host/version.rc.in ${CMAKE_BINARY_DIR}/version.rc @ONLY)

add_library(VEZIVOD SHARED
  $<TARGET_OBJECTS:vezivod_core_obj>
  ${VEZIVOD_WIN_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/host/VEZIVOD.def
  ${CMAKE_BINARY_DIR}/version.rc)
target_include_directories(VEZIVOD PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(VEZIVOD PRIVATE ${VEZIVOD_WARNINGS})
target_link_options(VEZIVOD PRIVATE ${VEZIVOD_STATIC_RUNTIME})
target_link_libraries(VEZIVOD PRIVATE user32 advapi32)
set_target_properties(VEZIVOD PROPERTIES PREFIX "" OUTPUT_NAME VEZIVOD IMPORT_PREFIX "" )

target_link_options(vezivod PRIVATE ${VEZIVOD_STATIC_RUNTIME})

file(GLOB VEZIVOD_QVHOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/qvhost/*.cpp)
add_executable(qvhost ${VEZIVOD_QVHOST_SOURCES})
target_include_directories(qvhost PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(qvhost PRIVATE ${VEZIVOD_WARNINGS})
target_link_options(qvhost PRIVATE ${VEZIVOD_STATIC_RUNTIME})

# GoogleTest from Debian's sources, cross-built for the Windows tests.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB VEZIVOD_WINTEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
add_executable(win_tests ${VEZIVOD_WINTEST_SOURCES})
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(win_tests PRIVATE vezivod_core gtest user32 advapi32 version)
target_compile_options(win_tests PRIVATE ${VEZIVOD_WARNINGS})
target_link_options(win_tests PRIVATE ${VEZIVOD_STATIC_RUNTIME})
add_dependencies(win_tests VEZIVOD qvhost vezivod)

# Each Windows test runs in a process of its own under the emulator that the
# preset names (Wine); the DLL is found beside the test program.
include(GoogleTest)
gtest_discover_tests(win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     TEST_FILTER "-SystemActionsReboot.*"
                     PROPERTIES TIMEOUT 120)
# The log-off test runs its child in a prefix of its own, made on first use:
# that may take many minutes on a busy machine.
target_compile_definitions(win_tests PRIVATE VEZIVOD_WINE_RUNNER="${CMAKE_CROSSCOMPILING_EMULATOR}")
gtest_discover_tests(win_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     TEST_FILTER "SystemActionsReboot.*"
                     PROPERTIES TIMEOUT 1100 ENVIRONMENT VEZIVOD_WINE_TIMEOUT=1080)
add_test(NAME qvhost_script
         COMMAND ${CMAKE_SOURCE_DIR}/tests/tool/test-qvhost
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:qvhost>)
