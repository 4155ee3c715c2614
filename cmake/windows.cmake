# The Windows in-process server morphel.dll, cross-built with mingw-w64 from
# the same sources as the Linux library. The platform's own automation values,
# error information, code pages and registry replace the stand-in layer in
# src/platform. Included from the top-level CMakeLists.txt when WIN32.

file(GLOB_RECURSE MORPHEL_SOURCES CONFIGURE_DEPENDS src/*.cpp)
list(FILTER MORPHEL_SOURCES EXCLUDE REGEX "/src/platform/")

# Static libgd and what it needs, from the prefix the toolchain file names.
set(_deps "${MORPHEL_WIN_DEPS_DIR}")
foreach(lib gd png16 jpeg freetype)
  find_library(MORPHEL_LIB_${lib} NAMES lib${lib}.a PATHS "${_deps}/lib" NO_DEFAULT_PATH REQUIRED)
endforeach()
set(MORPHEL_GD_LIBRARIES ${MORPHEL_LIB_gd} ${MORPHEL_LIB_freetype} ${MORPHEL_LIB_png16}
    ${MORPHEL_LIB_jpeg})
if(ZLIB_LIBRARY)
  list(APPEND MORPHEL_GD_LIBRARIES ${ZLIB_LIBRARY})
else()
  list(APPEND MORPHEL_GD_LIBRARIES z)
endif()

# The interface description comes from the operation table: the generator is
# a host program, built here with the build machine's compiler.
set(MORPHEL_IDL ${CMAKE_CURRENT_BINARY_DIR}/morphel.idl)
set(MORPHEL_TLB ${CMAKE_CURRENT_BINARY_DIR}/morphel.tlb)
find_program(MORPHEL_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
add_custom_command(OUTPUT ${MORPHEL_IDL}
  COMMAND ${MORPHEL_HOST_CXX} -std=c++20 -I${PROJECT_SOURCE_DIR}/include
          ${PROJECT_SOURCE_DIR}/tools/gen_idl.cpp -o ${CMAKE_CURRENT_BINARY_DIR}/gen_idl_host
  COMMAND ${CMAKE_CURRENT_BINARY_DIR}/gen_idl_host > ${MORPHEL_IDL}
  DEPENDS tools/gen_idl.cpp include/morphel/operations.h include/morphel/morphel.h
  VERBATIM)

# widl needs the platform's IDL files (from the mingw-w64 sources) and Wine's
# stdole2.tlb, whose 64-bit copy serves the 32-bit type library as well: the
# 32-bit DLL builds without 32-bit Wine.
set(MORPHEL_IDL_INCLUDE "${MORPHEL_WIN_IDL_DIR}" CACHE PATH "system IDL files")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_widl_win --win64)
else()
  set(_widl_win --win32)
endif()
if(NOT MORPHEL_WIDL_LIB_DIR)
  message(FATAL_ERROR "Wine's stdole2.tlb not found (run tools/windows/setup-deps.sh)")
endif()
add_custom_command(OUTPUT ${MORPHEL_TLB}
  COMMAND ${MORPHEL_WIDL} ${_widl_win} -t -I${MORPHEL_IDL_INCLUDE} -L${MORPHEL_WIDL_LIB_DIR}
          -o ${MORPHEL_TLB} ${MORPHEL_IDL}
  DEPENDS ${MORPHEL_IDL}
  VERBATIM)
add_custom_target(morphel_tlb DEPENDS ${MORPHEL_TLB})

# The 32-bit build computes in SSE2 registers like the 64-bit builds: on the
# x87 unit intermediate results keep extra precision, so a pixel's brightness
# (and with it the grey it becomes) could differ from the other builds.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-msse2;-mfpmath=sse>")
endif()

enable_language(RC)
set(MORPHEL_RC ${PROJECT_SOURCE_DIR}/src/host/windows/morphel.rc)
set_source_files_properties(${MORPHEL_RC} PROPERTIES
  OBJECT_DEPENDS "${MORPHEL_TLB};${PROJECT_SOURCE_DIR}/src/host/windows/morphel.rgs")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_CURRENT_BINARY_DIR} -I${PROJECT_SOURCE_DIR}/src/host/windows")

add_library(morphel SHARED ${MORPHEL_SOURCES} ${MORPHEL_RC}
            ${PROJECT_SOURCE_DIR}/src/host/windows/morphel.def)
add_dependencies(morphel morphel_tlb)
set_target_properties(morphel PROPERTIES PREFIX "" OUTPUT_NAME morphel)
target_include_directories(morphel PRIVATE include src "${_deps}/include")
target_compile_definitions(morphel PRIVATE NONDLL BGDWIN32 UNICODE _UNICODE
                                           _WIN32_WINNT=0x0601)
target_link_libraries(morphel PRIVATE ${MORPHEL_GD_LIBRARIES} ole32 oleaut32 advapi32 uuid
                                      user32 kernel32)
target_link_options(morphel PRIVATE -Wl,--kill-at)
# 32-bit: the entry points are __stdcall (DllGetClassObject@12 ...); the
# module-definition file names them undecorated, which the linker matches.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(morphel PRIVATE -Wl,--enable-stdcall-fixup)
endif()

if(BUILD_TESTING AND EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
