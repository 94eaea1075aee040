# Cross-build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686),
# its posix thread model (GoogleTest needs std::mutex).
# Programs are linked statically so Stampo.exe runs on a bare Windows, and
# tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# "-static" alone does not keep a library's DLL out: a find module that
# finds its import library (libz.dll.a) links the DLL. Libraries are found
# as their static archives instead (zlib: libz.a); the release check
# (tests/release_check.sh) reads the imports of Stampo.exe to be sure.
set(ZLIB_USE_STATIC_LIBS ON)
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
