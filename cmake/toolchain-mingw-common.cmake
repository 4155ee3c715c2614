# Shared part of the MinGW-w64 cross toolchains (Debian's mingw-w64 packages).
# Included by toolchain-mingw-x86_64.cmake and toolchain-mingw-i686.cmake after
# they have set MORPHEL_MINGW_TRIPLET, MORPHEL_MINGW_ARCH and
# CMAKE_SYSTEM_PROCESSOR.
#
# Static dependencies (libgd, libpng, libjpeg, FreeType) are looked up in
#   MORPHEL_WIN_DEPS_DIR            (cache variable), else
#   $ENV{MORPHEL_WIN_DEPS_DIR}      (environment), else
#   <build>/deps/<arch>, <build> being $ENV{MORPHEL_WIN_BUILD} or
#   <repo>/build/windows, as for tools/windows/setup-deps.sh.
# MORPHEL_WIN_IDL_DIR names <build>/idl, MORPHEL_WIDL the widl program and
# MORPHEL_WIDL_LIB_DIR the folder of Wine's stdole2.tlb (widl -L).
# Everything is linked statically: the binaries need no DLL beyond the system's.

set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model brings std::thread and std::mutex (winpthreads,
# linked statically below); fall back to the default alternative otherwise.
find_program(MORPHEL_MINGW_CC
  NAMES ${MORPHEL_MINGW_TRIPLET}-gcc-posix ${MORPHEL_MINGW_TRIPLET}-gcc REQUIRED)
find_program(MORPHEL_MINGW_CXX
  NAMES ${MORPHEL_MINGW_TRIPLET}-g++-posix ${MORPHEL_MINGW_TRIPLET}-g++ REQUIRED)
find_program(MORPHEL_MINGW_RC NAMES ${MORPHEL_MINGW_TRIPLET}-windres REQUIRED)
set(CMAKE_C_COMPILER "${MORPHEL_MINGW_CC}")
set(CMAKE_CXX_COMPILER "${MORPHEL_MINGW_CXX}")
set(CMAKE_RC_COMPILER "${MORPHEL_MINGW_RC}")
find_program(MORPHEL_WIDL NAMES ${MORPHEL_MINGW_TRIPLET}-widl widl)

# Where tools/windows/setup-deps.sh put its results: $ENV{MORPHEL_WIN_BUILD}
# as for that script, else <repo>/build/windows.
if(DEFINED ENV{MORPHEL_WIN_BUILD})
  set(_morphel_win_build "$ENV{MORPHEL_WIN_BUILD}")
else()
  get_filename_component(_morphel_win_build "${CMAKE_CURRENT_LIST_DIR}/../build/windows" ABSOLUTE)
endif()
if(NOT MORPHEL_WIN_DEPS_DIR)
  if(DEFINED ENV{MORPHEL_WIN_DEPS_DIR})
    set(MORPHEL_WIN_DEPS_DIR "$ENV{MORPHEL_WIN_DEPS_DIR}")
  else()
    set(MORPHEL_WIN_DEPS_DIR "${_morphel_win_build}/deps/${MORPHEL_MINGW_ARCH}")
  endif()
endif()
set(MORPHEL_WIN_DEPS_DIR "${MORPHEL_WIN_DEPS_DIR}" CACHE PATH
  "Prefix holding the static Windows dependencies (include/, lib/)")
# The system IDL files (oaidl.idl, ocidl.idl ...) for widl.
set(MORPHEL_WIN_IDL_DIR "${_morphel_win_build}/idl" CACHE PATH "System IDL files for widl")
# try_compile() projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MORPHEL_WIN_DEPS_DIR)

set(CMAKE_FIND_ROOT_PATH "${MORPHEL_WIN_DEPS_DIR}" "/usr/${MORPHEL_MINGW_TRIPLET}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# widl's -L folder for importlib("stdole2.tlb"): Wine's 64-bit copy serves
# 32-bit type libraries (--win32) as well, and is there without 32-bit Wine.
find_path(MORPHEL_WIDL_LIB_DIR stdole2.tlb NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows
        /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)

# Debian ships zlib for MinGW both as libz.a and as the import library
# libz.dll.a, and CMake prefers the latter: pin the static archive.
if(EXISTS "/usr/${MORPHEL_MINGW_TRIPLET}/lib/libz.a")
  set(ZLIB_LIBRARY "/usr/${MORPHEL_MINGW_TRIPLET}/lib/libz.a" CACHE FILEPATH "static zlib")
  set(ZLIB_INCLUDE_DIR "/usr/${MORPHEL_MINGW_TRIPLET}/include" CACHE PATH "zlib headers")
endif()

set(_morphel_static_flags "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_morphel_static_flags}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_morphel_static_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_morphel_static_flags}")

# Lets ctest and try_run() start the cross-built programs under Wine.
# The caller provides WINEPREFIX (see tools/windows/smoke.sh).
if(MORPHEL_MINGW_ARCH STREQUAL "x86_64")
  find_program(MORPHEL_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
find_program(MORPHEL_WINE NAMES wine)
if(MORPHEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${MORPHEL_WINE}")
endif()
