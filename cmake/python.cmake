# The Python package as pip takes it: python/ copied under <build>/python, with
# the public headers its compiled calls include, the type stubs generated from
# the operation table with the operations' documentation (docs/operations) as
# docstrings, the same texts as a module for help(), and (from builds a Python
# process can load) the library beside the modules. Nothing is written into the
# source tree. `pip install <build>/python` installs it; the target
# morphel_python_built runs the package's own build (setup.py: the compiled
# calls where Python's headers are installed) into <build>/python-built, which
# the tests and the Debian package use; the target morphel_wheel builds
# <build>/dist/morphel-<version>-<tags>.whl offline, tagged for this platform
# since it carries libmorphel.so (and the compiled calls).

# Debian's interpreter, whose setuptools, wheel and pip build the package.
find_program(MORPHEL_DEBIAN_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)

add_executable(morphel_gen_pyi tools/gen_pyi.cpp)
target_include_directories(morphel_gen_pyi PRIVATE include)

set(MORPHEL_PYTHON_STAGE ${CMAKE_CURRENT_BINARY_DIR}/python)
set(_staged)
# stage_files(FROM FILE...): copies each FILE (relative to FROM) to the same
# place under the stage whenever it changes.
function(stage_files from)
  foreach(file ${ARGN})
    add_custom_command(OUTPUT ${MORPHEL_PYTHON_STAGE}/${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${from}/${file} ${MORPHEL_PYTHON_STAGE}/${file}
      DEPENDS ${from}/${file} VERBATIM)
    list(APPEND _staged ${MORPHEL_PYTHON_STAGE}/${file})
  endforeach()
  set(_staged ${_staged} PARENT_SCOPE)
endfunction()

set(_python_source ${CMAKE_CURRENT_SOURCE_DIR}/python)
file(GLOB_RECURSE _python_files CONFIGURE_DEPENDS RELATIVE ${_python_source} ${_python_source}/*)
list(FILTER _python_files EXCLUDE REGEX
     "(^|/)__pycache__/|^build/|^dist/|\\.egg-info/|^tests/|^morphel/(_operations\\.pyi|_docs\\.py|_fast.*\\.so|libmorphel\\.so.*)$")
stage_files(${_python_source} ${_python_files})
# The headers the compiled calls include travel with the staged package.
file(GLOB _headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/include/morphel/*.h)
stage_files(${CMAKE_CURRENT_SOURCE_DIR} ${_headers})

# The stubs and the documentation module; the build takes what documentation
# there is, the tests insist on all of it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB MORPHEL_DOC_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/operations/*.md)
add_custom_command(OUTPUT ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi ${MORPHEL_PYTHON_STAGE}/morphel/_docs.py
  COMMAND morphel_gen_pyi > ${CMAKE_CURRENT_BINARY_DIR}/operations-undocumented.pyi
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/tools/gen_reference.py --partial
          --stubs ${CMAKE_CURRENT_BINARY_DIR}/operations-undocumented.pyi
                  ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi
          --docs-module ${MORPHEL_PYTHON_STAGE}/morphel/_docs.py
  DEPENDS morphel_gen_pyi tools/gen_reference.py ${MORPHEL_DOC_SOURCES} VERBATIM)
list(APPEND _staged ${MORPHEL_PYTHON_STAGE}/morphel/_operations.pyi ${MORPHEL_PYTHON_STAGE}/morphel/_docs.py)

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

# The package's own build: modules, stubs and the compiled calls where Python's
# headers are installed.
set(MORPHEL_PYTHON_BUILT ${CMAKE_CURRENT_BINARY_DIR}/python-built)
if(MORPHEL_DEBIAN_PYTHON)
  add_custom_target(morphel_python_built ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MORPHEL_PYTHON_BUILT}-work
    COMMAND ${MORPHEL_DEBIAN_PYTHON} setup.py -q egg_info --egg-base ${MORPHEL_PYTHON_BUILT}-work
            build --build-base ${MORPHEL_PYTHON_BUILT}-work --build-lib ${MORPHEL_PYTHON_BUILT}
    WORKING_DIRECTORY ${MORPHEL_PYTHON_STAGE}
    COMMENT "Building the Python package and its compiled calls" VERBATIM)
  add_dependencies(morphel_python_built morphel_python_package)
  execute_process(COMMAND ${MORPHEL_DEBIAN_PYTHON} -c
    "import os, sysconfig; print(int(os.path.isfile(sysconfig.get_path('include') + '/Python.h')))"
    OUTPUT_VARIABLE MORPHEL_PYTHON_COMPILED OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${MORPHEL_DEBIAN_PYTHON} -c
    "import sys; print('%d.%d' % sys.version_info[:2])"
    OUTPUT_VARIABLE MORPHEL_PYTHON_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

if(MORPHEL_DEBIAN_PYTHON)
  set(_dist ${CMAKE_CURRENT_BINARY_DIR}/dist)
  add_custom_target(morphel_wheel
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${_dist} ${MORPHEL_PYTHON_STAGE}/build
    COMMAND ${MORPHEL_DEBIAN_PYTHON} -m pip wheel -q --no-index --no-build-isolation --no-deps
            -w ${_dist} ${MORPHEL_PYTHON_STAGE}
    DEPENDS morphel_python_package
    COMMENT "Building the Python wheel in ${_dist}" VERBATIM)
endif()
