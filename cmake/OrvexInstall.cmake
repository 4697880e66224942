# What `cmake --install` puts into a prefix, and the packages CPack makes of it.
#
# Linux:   lib/       libOrvexSdk_QX218.so, libOrvexVirtualCamera.so, libOrvexPlatform.so
#                     (each .so.MAJOR.MINOR with the SONAME .so.MAJOR), pkgconfig/*.pc,
#                     cmake/OrvexSdk/ (find_package(OrvexSdk): Orvex::Sdk, Orvex::VirtualCamera,
#                     Orvex::Platform), python3/dist-packages/orvex/
#          include/   OrvexSdk_QX218.h, orvex/*.h, orvex/orvex.hpp
#          bin/       orvex
#          share/doc/orvex-sdk/   html/ (the reference, when the docs target was built), examples/
# Windows: bin/OrvexSdk_QX218.dll, lib/libOrvexSdk_QX218.dll.a, include/ (the headers that
#          apply there), in a zip.
#
# Nothing installed points into the build tree: installed binaries carry no RUNPATH when the
# libraries go to a directory the system searches anyway, and one relative to their own place
# ($ORIGIN) otherwise, so that a prefix can be moved.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ORVEX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvexSdk
    CACHE STRING "Where the CMake package OrvexSdk goes, below the prefix")
set(ORVEX_INSTALL_PYTHONDIR lib/python3/dist-packages
    CACHE STRING "Where the Python package orvex goes, below the prefix (Debian's python3 path)")
set(ORVEX_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvex-sdk
    CACHE STRING "Where the reference and the examples go, below the prefix")

# --- the libraries ---
set(orvex_installed_libraries OrvexSdk_QX218)
if(NOT ORVEX_WINDOWS)
  list(APPEND orvex_installed_libraries OrvexVirtualCamera OrvexPlatform)
  # An application links the name without a version; the loader asks for the SONAME, which
  # changes with the major version only.
  set_target_properties(${orvex_installed_libraries} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
set_target_properties(OrvexSdk_QX218 PROPERTIES EXPORT_NAME Sdk)
add_library(Orvex::Sdk ALIAS OrvexSdk_QX218)
if(NOT ORVEX_WINDOWS)
  set_target_properties(OrvexVirtualCamera PROPERTIES EXPORT_NAME VirtualCamera)
  set_target_properties(OrvexPlatform PROPERTIES EXPORT_NAME Platform)
  add_library(Orvex::VirtualCamera ALIAS OrvexVirtualCamera)
  add_library(Orvex::Platform ALIAS OrvexPlatform)
  # The C++ interface and the frame messages of the preview need the message windows of
  # OrvexPlatform, so an application that links the camera library gets it too.
  target_link_libraries(OrvexSdk_QX218 INTERFACE $<INSTALL_INTERFACE:Orvex::Platform>)
else()
  # The C++ interface's message-only window.
  target_link_libraries(OrvexSdk_QX218 INTERFACE $<INSTALL_INTERFACE:user32>)
endif()

list(FIND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" orvex_system_libdir)
if(NOT ORVEX_WINDOWS AND orvex_system_libdir EQUAL -1)
  # The camera library finds its two companions beside it, the command finds all three.
  set_target_properties(${orvex_installed_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
  if(TARGET orvex)
    file(RELATIVE_PATH orvex_lib_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(orvex PROPERTIES INSTALL_RPATH "$ORIGIN/${orvex_lib_from_bin}")
  endif()
endif()

install(TARGETS ${orvex_installed_libraries} EXPORT OrvexSdkTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET orvex)
  install(TARGETS orvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# --- the headers: the virtual camera and OrvexPlatform exist on Linux only ---
install(FILES include/OrvexSdk_QX218.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/orvex/errors.h include/orvex/orvex.hpp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvex)
if(NOT ORVEX_WINDOWS)
  install(FILES include/orvex/virtual_camera.h include/orvex/platform.h
                include/orvex/platform_system.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvex)
endif()

# --- the CMake package ---
install(EXPORT OrvexSdkTargets NAMESPACE Orvex:: DESTINATION ${ORVEX_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/OrvexSdkConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/OrvexSdkConfig.cmake
  INSTALL_DESTINATION ${ORVEX_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OrvexSdkConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/OrvexSdkConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/OrvexSdkConfigVersion.cmake
        DESTINATION ${ORVEX_INSTALL_CMAKEDIR})

if(NOT ORVEX_WINDOWS)
  # --- pkg-config: in a prefix of its own the prefix is found from the file's place, so that
  # the prefix can move; in the system's it is written out, as pkg-config filters it there ---
  if(orvex_system_libdir EQUAL -1)
    file(RELATIVE_PATH orvex_pc_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
         ${CMAKE_INSTALL_PREFIX})
    string(REGEX REPLACE "/$" "" orvex_pc_prefix "\${pcfiledir}/${orvex_pc_prefix}")
  else()
    set(orvex_pc_prefix ${CMAKE_INSTALL_PREFIX})
  endif()
  foreach(pc orvex-sdk orvex-virtual-camera orvex-platform)
    configure_file(cmake/pkgconfig/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${pc}.pc
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  endforeach()

  # --- the Python package, told where the libraries are relative to itself ---
  install(DIRECTORY python/orvex DESTINATION ${ORVEX_INSTALL_PYTHONDIR}
          PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)
  file(RELATIVE_PATH orvex_lib_from_python
       ${CMAKE_INSTALL_PREFIX}/${ORVEX_INSTALL_PYTHONDIR}/orvex ${CMAKE_INSTALL_FULL_LIBDIR})
  string(REGEX REPLACE "/$" "" orvex_lib_from_python "${orvex_lib_from_python}")
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/python/_installed.py CONTENT
"\"\"\"Written by the installation: where the libraries are, relative to this package.\"\"\"

LIBRARY_DIR = \"${orvex_lib_from_python}\"
")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/python/_installed.py
          DESTINATION ${ORVEX_INSTALL_PYTHONDIR}/orvex)

  # --- the examples, with a project that builds them against the installed package ---
  install(FILES examples/snapshot.c examples/preview_x11.c examples/callback_loop.c
                examples/auto_exposure.c examples/unplug_recovery.c examples/opencv_view.cpp
          DESTINATION ${ORVEX_INSTALL_DOCDIR}/examples)
  install(FILES cmake/installed-examples/CMakeLists.txt
          DESTINATION ${ORVEX_INSTALL_DOCDIR}/examples)
  install(DIRECTORY examples/python/ DESTINATION ${ORVEX_INSTALL_DOCDIR}/examples/python
          FILES_MATCHING PATTERN "*.py")

  # --- the reference, when built (`cmake --build ... --target docs`) ---
  find_program(ORVEX_DOXYGEN doxygen)
  if(ORVEX_DOXYGEN)
    add_custom_target(docs
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-docs.sh ${CMAKE_CURRENT_BINARY_DIR}/docs
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      COMMENT "The reference documentation, into ${CMAKE_CURRENT_BINARY_DIR}/docs/html"
      VERBATIM)
  endif()
  install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/docs/html DESTINATION ${ORVEX_INSTALL_DOCDIR}
          OPTIONAL)
endif()

# --- packages: a Debian package on Linux, a zip on Windows ---
set(CPACK_PACKAGE_NAME orvex-sdk)
set(CPACK_PACKAGE_VENDOR Helvane)
set(CPACK_PACKAGE_CONTACT "OrvexSdk_QX218 maintainers <orvex-sdk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Support library of the QX218 USB camera, with its virtual camera and the orvex command")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(ORVEX_WINDOWS)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)       # libc6, libpng16-16, libx11-6, ... by dpkg-shlibdeps
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3, python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pkg-config, cmake, libpng-dev, libx11-dev")
  set(CPACK_PACKAGE_DESCRIPTION
      "The camera library (114 exported C functions), the virtual camera that stands in for the
camera's USB driver, OrvexPlatform (message windows and the headless screen), the public
headers with the C++ interface, pkg-config files, the CMake package OrvexSdk, the Python
package orvex, the reference documentation and the examples.")
endif()
include(CPack)
