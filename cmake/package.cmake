# Debian packages made by the build (cpack -G DEB in a build configured with
# CMAKE_INSTALL_PREFIX=/usr, as tools/package-check.sh does):
#   libmorphel1     the library (runtime component), Depends from dpkg-shlibdeps
#   libmorphel-dev  headers, the development link, CMake and pkg-config files
#   python3-morphel the Python package for Debian's python3, on libmorphel1
# CPack's DEB generator rather than a debian/ folder: the packages are cut from
# the install rules above, so the two cannot drift apart, and the build makes
# them without a second description of the files or debhelper.
set(CPACK_PACKAGE_NAME morphel)
set(CPACK_PACKAGE_VENDOR "Morphel developers")
set(CPACK_PACKAGE_CONTACT "Morphel developers <morphel@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development python)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(_deb_version "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(_what "Morphel is an image component that script hosts load in-process to create,
load, draw on, transform and save raster images: one class, Images, with a
dual automation interface IImages of 75 operations called by name. Drawing
and text go through libgd; images are read and written as PNG, JPEG, WBMP,
GIF and BMP, through files, byte strings and variant arrays.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmorphel${MORPHEL_INTERFACE_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The dynamic linker's cache is refreshed by dpkg's ldconfig trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "image component with an automation interface - library\n${_what}\n.\nThis package holds the shared library libmorphel.so.1.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libmorphel-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (= ${_deb_version})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "image component with an automation interface - development files\n${_what}\n.\nThis package holds the headers, the CMake package Morphel and morphel.pc.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-morphel)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# With its compiled calls the package is built for this architecture and this
# Python version (its module's name says which), as Debian's own extension
# packages are; without them it is pure Python.
if(MORPHEL_PYTHON_COMPILED)
  string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)$" "\\1.\\2" _py ${MORPHEL_PYTHON_VERSION})
  math(EXPR _py_next "${CMAKE_MATCH_2} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${_py}~), python3 (<< ${CMAKE_MATCH_1}.${_py_next}), ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (>= ${_deb_version})")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3:any, ${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME} (>= ${_deb_version})")
endif()
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "image component with an automation interface - Python 3 package\n${_what}\n.\nThis package holds the Python 3 package morphel, which calls the\noperations by name.")

# Each package's own documentation folder holds its Debian change log.
set(_changelog ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian)
string(TIMESTAMP _date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${_changelog} "morphel (${_deb_version}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}, packaged by the project's own build.

 -- ${CPACK_PACKAGE_CONTACT}  ${_date}
")
execute_process(COMMAND gzip -9nf ${_changelog})
foreach(component runtime development python)
  string(TOUPPER ${component} _upper)
  install(FILES ${_changelog}.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${_upper}_PACKAGE_NAME}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
