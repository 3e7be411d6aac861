# Installing vorn and packaging it: the shared library with its versioned
# name, the static archive, the header, a pkg-config file, a CMake package
# (find_package(vorn) gives vorn::vorn and vorn::vorn_static) and a .deb.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS vorn vorn_static EXPORT vornTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/vorn.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The reference manual, vorn(3), made from the header's own comments.
find_program(VORN_AWK NAMES awk mawk gawk REQUIRED)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/vorn.3
  COMMAND ${VORN_AWK} -v version=${PROJECT_VERSION} -f ${PROJECT_SOURCE_DIR}/tools/header_to_man.awk
          ${PROJECT_SOURCE_DIR}/include/vorn.h > ${PROJECT_BINARY_DIR}/vorn.3
  DEPENDS ${PROJECT_SOURCE_DIR}/include/vorn.h ${PROJECT_SOURCE_DIR}/tools/header_to_man.awk VERBATIM)
add_custom_target(vorn_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/vorn.3)
install(FILES ${PROJECT_BINARY_DIR}/vorn.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)

set(vorn_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/vorn)
install(EXPORT vornTargets NAMESPACE vorn:: DESTINATION ${vorn_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vornConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vornConfig.cmake INSTALL_DESTINATION ${vorn_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vornConfig.cmake ${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  DESTINATION ${vorn_cmake_dir})

# The pkg-config file names the prefix the tree is installed to, which is
# known only when installing (`cmake --install --prefix`, the .deb's /usr):
# the prefix is filled in then, everything else now.
set(vorn_static_libs "-lstdc++ -lm")
foreach(lib ${CMAKE_DL_LIBS})
  string(APPEND vorn_static_libs " -l${lib}")
endforeach()
set(vorn_pc_prefix "@CMAKE_INSTALL_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/vorn.pc.in ${PROJECT_BINARY_DIR}/vorn.pc.unprefixed @ONLY)
install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/vorn.pc.unprefixed\" \"${PROJECT_BINARY_DIR}/vorn.pc\" @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/vorn.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# `cpack -G DEB` in the build folder: one package, the runtime and the
# development files.  mimalloc is loaded at run time, so no tool sees it.
if(PROJECT_SOURCE_DIR STREQUAL CMAKE_SOURCE_DIR)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME vorn)
  set(CPACK_PACKAGE_VENDOR vorn)
  set(CPACK_PACKAGE_CONTACT "vorn developers <vorn@localhost>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "run-time library of a small dynamically typed language")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmimalloc2.0")
  include(CPack)
endif()
