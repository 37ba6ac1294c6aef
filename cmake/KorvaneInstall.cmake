# Install rules and the relocatable CMake package:
#   find_package(Korvane CONFIG REQUIRED) -> Korvane::Korvane
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_targets Korvane ZRString ZRLog ZRCoreXml)
if(NOT WIN32)
  list(APPEND _targets KvWin32)
endif()

install(TARGETS ${_targets} EXPORT KorvaneTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  # The support libraries' headers and their generated export macros.
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane)

install(FILES
    ${PROJECT_SOURCE_DIR}/include/Korvane.h
    ${PROJECT_SOURCE_DIR}/include/KorvaneChecksum.h
    ${PROJECT_BINARY_DIR}/include/KorvaneRevision.h
    ${PROJECT_BINARY_DIR}/include/KorvaneExport.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane)
if(NOT WIN32)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/lib/Win32/include/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane/win32)
  install(FILES ${PROJECT_BINARY_DIR}/lib/Win32/include/KvWin32Export.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane/win32)
endif()

install(EXPORT KorvaneTargets NAMESPACE Korvane::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake
  VERSION ${KORVANE_FILE_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake
    ${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)
