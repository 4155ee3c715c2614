# Cross-build for 32-bit Windows with Debian's mingw-w64:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake ...
set(MORPHEL_MINGW_TRIPLET i686-w64-mingw32)
set(MORPHEL_MINGW_ARCH i686)
set(CMAKE_SYSTEM_PROCESSOR X86)
include("${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake")
