# The 32-bit Windows build: the camera library, the virtual camera driver and its control
# library, the platform library, and the test suites, which run under Wine.
#
# Included from the top-level CMakeLists.txt when the target is Windows, before the libraries
# and the tests are added.

# Every program and DLL lands in one folder, so that a test program finds the DLLs it imports
# beside itself, as Windows looks for them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# std::thread of the -posix toolchain; tests name it as on Linux.
find_package(Threads REQUIRED)

add_subdirectory(${PROJECT_SOURCE_DIR}/virtual_camera/windows ${CMAKE_BINARY_DIR}/virtual_camera)
add_subdirectory(${PROJECT_SOURCE_DIR}/platform_lib/win32 ${CMAKE_BINARY_DIR}/platform_lib)

if(ORVEX_BUILD_TESTS)
  # Debian ships GoogleTest as sources for other targets; build them with this toolchain.
  set(ORVEX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${ORVEX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its own sources are not ours to keep free of warnings. Its build names the targets
  # GTest::gtest and so on, as the installed package would.
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()

  # Test programs run under Wine, in the prefix that scripts/wine-run.sh prepares. Test cases are
  # listed when ctest runs rather than when they are built, so building needs no Wine.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh)
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
