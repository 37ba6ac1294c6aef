# Install rules, the relocatable CMake package and pkg-config files:
#   find_package(Korvane CONFIG REQUIRED) -> Korvane::Korvane, Korvane::KorvaneHost
#   pkg-config --cflags --libs korvane (or korvanehost)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(_targets Korvane KorvaneHost ZRString ZRLog ZRCoreXml)
if(NOT WIN32)
  list(APPEND _targets KvWin32)
endif()

install(TARGETS ${_targets} EXPORT KorvaneTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  # The support libraries' headers and their generated export macros.
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane)

install(FILES
    ${PROJECT_SOURCE_DIR}/include/Korvane.h
    ${PROJECT_SOURCE_DIR}/include/KorvaneHost.h
    ${PROJECT_BINARY_DIR}/include/KorvaneRevision.h
    ${PROJECT_BINARY_DIR}/include/KorvaneExport.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane)
if(NOT WIN32)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/lib/Win32/include/
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane/win32)
  install(FILES ${PROJECT_BINARY_DIR}/lib/Win32/include/KvWin32Export.h
    ${PROJECT_SOURCE_DIR}/lib/Win32/seam/kvfault.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvane/win32)
endif()

install(EXPORT KorvaneTargets NAMESPACE Korvane::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KorvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)
# A request for 1.0 is never served by 1.1 nor the reverse, and says why.
configure_file(${PROJECT_SOURCE_DIR}/cmake/KorvaneConfigVersion.cmake.in
  ${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake @ONLY)
install(FILES
    ${PROJECT_BINARY_DIR}/KorvaneConfig.cmake
    ${PROJECT_BINARY_DIR}/KorvaneConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Korvane)

# pkg-config files beside the CMake package, for hosts built otherwise. The
# prefix is reached from the file's own folder, so the tree can be moved.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _up /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" _up "${_up}")
  set(PC_PREFIX "\${pcfiledir}/${_up}")
endif()
# korvane_pkg_config(<file stem> <library target> <description> <requires> <cflags>)
function(korvane_pkg_config stem target description requires cflags)
  set(PC_NAME ${stem})
  set(PC_DESCRIPTION "${description}")
  set(PC_REQUIRES "${requires}")
  set(PC_CFLAGS "${cflags}")
  get_target_property(PC_LIB ${target} OUTPUT_NAME)
  if(NOT PC_LIB)
    set(PC_LIB ${target})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/KorvanePkgConfig.pc.in
    ${PROJECT_BINARY_DIR}/pkgconfig/${stem}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${stem}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()

set(_inc "-I\${includedir}/korvane")
if(WIN32)
  set(_layer "")
else()
  set(_layer " kvwin32")
  korvane_pkg_config(kvwin32 KvWin32 "Korvane's Win32 layer (Windows types and calls)" ""
    "-I\${includedir}/korvane/win32")
endif()
korvane_pkg_config(zrstring ZRString "Korvane's string library (CZRString)" "${_layer}" "${_inc}")
korvane_pkg_config(zrlog ZRLog "Korvane's trace library (ZRLog.h)" "zrstring${_layer}" "${_inc}")
korvane_pkg_config(zrcorexml ZRCoreXml "Korvane's XML library (ZRXml.h)" "zrstring${_layer}" "${_inc}")
# Korvane.h holds CZRStrings (FDesc) and names IZRXml, whose header is in the
# same folder; every text is wide, so UNICODE comes with the flags.
korvane_pkg_config(korvane Korvane "Verifies the files of a burned disc against their sources"
  "zrstring${_layer}" "${_inc} -DUNICODE -D_UNICODE")
# The flat C interface needs nothing but its own header and library.
korvane_pkg_config(korvanehost KorvaneHost "Korvane's verifier behind flat C calls (KorvaneHost.h)" "" "${_inc}")
