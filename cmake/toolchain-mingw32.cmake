# Cross build for 32-bit x86 Windows with Debian's MinGW-w64.
#
# The -posix compilers are the ones whose libstdc++ has std::thread and std::mutex. libgcc,
# libstdc++ and winpthreads are linked statically, so the DLL and any executable import
# nothing but system DLLs and need no MinGW runtime beside them.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ORVEX_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${ORVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVEX_MINGW_TRIPLET})
# Programs run on the build machine; libraries, headers and packages come from the target.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
