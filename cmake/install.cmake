# cmake --install: the library (libmorphel.so.1, and the development link
# libmorphel.so), the public headers under include/morphel, the CMake package
# (find_package(Morphel) gives the target Morphel::morphel), morphel.pc and the
# README. Components: runtime (the library, the README), development (the
# rest) and python (the Python package, for the Debian package only).
include(CMakePackageConfigHelpers)

set(MORPHEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Morphel)

install(TARGETS morphel EXPORT MorphelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(DIRECTORY include/morphel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(EXPORT MorphelTargets NAMESPACE Morphel:: DESTINATION ${MORPHEL_CMAKE_DIR}
        COMPONENT development)

configure_package_config_file(cmake/MorphelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/MorphelConfig.cmake INSTALL_DESTINATION ${MORPHEL_CMAKE_DIR})
# Compatible within a major version of the release; the binary interface
# itself is the soname's.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/MorphelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/MorphelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/MorphelConfigVersion.cmake
        DESTINATION ${MORPHEL_CMAKE_DIR} COMPONENT development)

# morphel.pc is written when installing, for the prefix installed into (which
# cmake --install --prefix and CPack may change after configuring).
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(MORPHEL_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(MORPHEL_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
install(CODE "
  set(PROJECT_VERSION ${PROJECT_VERSION})
  set(MORPHEL_PC_LIBDIR [==[${MORPHEL_PC_LIBDIR}]==])
  set(MORPHEL_PC_INCLUDEDIR [==[${MORPHEL_PC_INCLUDEDIR}]==])
  set(MORPHEL_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/cmake/morphel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/morphel.pc @ONLY)"
  COMPONENT development)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/morphel.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

# The Python package as its build made it (modules, stubs, the compiled calls;
# the library comes from the runtime component) where Debian's python3 looks.
install(DIRECTORY ${MORPHEL_PYTHON_BUILT}/morphel DESTINATION lib/python3/dist-packages
        COMPONENT python EXCLUDE_FROM_ALL
        PATTERN "libmorphel.so*" EXCLUDE PATTERN "__pycache__" EXCLUDE)
# CPack strips the targets it knows; the compiled calls come from setup.py.
install(CODE "
  file(GLOB _modules \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/python3/dist-packages/morphel/_fast*.so\")
  foreach(_module \${_modules})
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded \${_module})
  endforeach()" COMPONENT python EXCLUDE_FROM_ALL)
