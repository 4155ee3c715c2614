# Cross-build for 64-bit Windows with Debian's mingw-w64:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake ...
set(MORPHEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(MORPHEL_MINGW_ARCH x86_64)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake")
