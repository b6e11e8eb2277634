# Installs the package files of tavo2wav's two libraries: the CMake package
# config (find_package(tavo2wav) gives tavo2wav::zeltra and tavo2wav::kemra)
# and the pkg-config files libzeltra.pc and libkemra.pc.  Included once, after
# the targets kemra and zeltra exist.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Versions of the libraries as their version strings state them
# (src/zeltra/reader.cpp, src/kemra/version.cpp).
set(TAVO_ZELTRA_VERSION 1.71)
set(TAVO_KEMRA_VERSION 0.52)

set(TAVO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tavo2wav)
set(TAVO_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(EXPORT tavo2wavTargets
  NAMESPACE tavo2wav::
  DESTINATION ${TAVO_CMAKE_DIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/tavo2wavConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/tavo2wavConfig.cmake
  INSTALL_DESTINATION ${TAVO_CMAKE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/package/tavo2wavConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/tavo2wavConfig.cmake
  ${PROJECT_BINARY_DIR}/package/tavo2wavConfigVersion.cmake
  DESTINATION ${TAVO_CMAKE_DIR})

# pkg-config files locate the prefix relative to themselves.
file(RELATIVE_PATH TAVO_PC_TO_PREFIX /prefix/${TAVO_PC_DIR} /prefix)
# libkemra.h declares strlcpy/strlcat only where the C library lacks them;
# users must see the same answer the library was built with.
set(TAVO_KEMRA_PC_DEFINES "")
if(KEMRA_LIBC_HAS_STRLCPY)
  string(APPEND TAVO_KEMRA_PC_DEFINES " -DKEMRA_LIBC_HAS_STRLCPY=1")
endif()
if(KEMRA_LIBC_HAS_STRLCAT)
  string(APPEND TAVO_KEMRA_PC_DEFINES " -DKEMRA_LIBC_HAS_STRLCAT=1")
endif()
foreach(pc libzeltra libkemra)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${PROJECT_BINARY_DIR}/package/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/${pc}.pc DESTINATION ${TAVO_PC_DIR})
endforeach()
