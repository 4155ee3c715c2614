# The Python package as pip takes it: python/ copied under <build>/python, with
# the type stubs generated from the operation table and (from builds a Python
# process can load) the library beside the modules. Nothing is written into the
# source tree. `pip install <build>/python` installs it; the target
# morphel_wheel builds <build>/dist/morphel-<version>-py3-none-<platform>.whl
# offline, tagged for this platform since it carries libmorphel.so.

# Debian's interpreter, whose setuptools, wheel and pip build the package.
find_program(MORPHEL_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)

add_executable(morphel_gen_pyi tools/gen_pyi.cpp)
target_include_directories(morphel_gen_pyi PRIVATE include)

set(MORPHEL_PYTHON_STAGE ${CMAKE_CURRENT_BINARY_DIR}/python)
set(_python_source ${CMAKE_CURRENT_SOURCE_DIR}/python)
file(GLOB_RECURSE _python_files CONFIGURE_DEPENDS RELATIVE ${_python_source} ${_python_source}/*)
list(FILTER _python_files EXCLUDE REGEX
     "(^|/)__pycache__/|^build/|^dist/|\\.egg-info/|^tests/|^morphel/(_operations\\.pyi|libmorphel\\.so.*)$")
set(_staged)
foreach(file ${_python_files})
  add_custom_command(OUTPUT ${MORPHEL_PYTHON_STAGE}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${_python_source}/${file} ${MORPHEL_PYTHON_STAGE}/${file}
    DEPENDS ${_python_source}/${file} VERBATIM)
  list(APPEND _staged ${MORPHEL_PYTHON_STAGE}/${file})
endforeach()

add_custom_command(OUTPUT ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi
  COMMAND morphel_gen_pyi > ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi
  DEPENDS morphel_gen_pyi VERBATIM)
list(APPEND _staged ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi)

# The wheel's platform tag (linux_x86_64): the package is pure Python, but the
# library it carries is not.
if(MORPHEL_DEBIAN_PYTHON)
  execute_process(COMMAND ${MORPHEL_DEBIAN_PYTHON} -c "import sysconfig; print(sysconfig.get_platform())"
                  OUTPUT_VARIABLE _platform OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "[-.]" "_" MORPHEL_WHEEL_PLATFORM "${_platform}")
  file(GENERATE OUTPUT ${MORPHEL_PYTHON_STAGE}/setup.cfg
       CONTENT "[bdist_wheel]\nplat_name = ${MORPHEL_WHEEL_PLATFORM}\n")
endif()

get_directory_property(_compile_options COMPILE_OPTIONS)
if(NOT "${_compile_options}" MATCHES "-fsanitize")
  add_custom_command(OUTPUT ${MORPHEL_PYTHON_STAGE}/morphel/libmorphel.so
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:morphel> ${MORPHEL_PYTHON_STAGE}/morphel/libmorphel.so
    DEPENDS morphel VERBATIM)
  list(APPEND _staged ${MORPHEL_PYTHON_STAGE}/morphel/libmorphel.so)
endif()
add_custom_target(morphel_python_package ALL DEPENDS ${_staged})

if(MORPHEL_DEBIAN_PYTHON)
  set(_dist ${CMAKE_CURRENT_BINARY_DIR}/dist)
  add_custom_target(morphel_wheel
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_dist} ${MORPHEL_PYTHON_STAGE}/build
    COMMAND ${MORPHEL_DEBIAN_PYTHON} -m pip wheel -q --no-index --no-build-isolation --no-deps
            -w ${_dist} ${MORPHEL_PYTHON_STAGE}
    DEPENDS morphel_python_package
    COMMENT "Building the Python wheel in ${_dist}" VERBATIM)
endif()
