# The support libraries (ZRString, ZRLog, ZRCoreXml) are built alike: a DLL
# named for the library it stands for, its header in include/, the rest in
# src/, and an export macro generated here rather than written by hand.
include(GenerateExportHeader)

# korvane_support_library(<name> PREFIX <P> HEADER <header> SOURCES <file>...)
#   <name>      target, Korvane::<name> alias and output name (suffix 64 on
#               64-bit Windows)
#   PREFIX      <P>_API is the export macro, defined as an export while
#               <P>_EXPORTS is, that is while the library itself is built
#   HEADER      the exported header in include/; the macro comes from the
#               generated <header stem>Export.h beside it in the package
#   SOURCES     the sources, relative to the library's folder
function(korvane_support_library name)
  cmake_parse_arguments(L "" "PREFIX;HEADER" "SOURCES" ${ARGN})
  if(NOT L_PREFIX OR NOT L_HEADER OR NOT L_SOURCES)
    message(FATAL_ERROR "korvane_support_library(${name}): PREFIX, HEADER and SOURCES are required")
  endif()
  add_library(${name} SHARED ${L_SOURCES})
  add_library(Korvane::${name} ALIAS ${name})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${name}${KORVANE_SUPPORT_SUFFIX}
    DEFINE_SYMBOL ${L_PREFIX}_EXPORTS)
  korvane_library_names(${name})

  get_filename_component(_stem ${L_HEADER} NAME_WE)
  set(_generated ${CMAKE_CURRENT_BINARY_DIR}/include)
  generate_export_header(${name}
    BASE_NAME ${L_PREFIX}
    EXPORT_MACRO_NAME ${L_PREFIX}_API
    EXPORT_FILE_NAME ${_generated}/${_stem}Export.h)
  # Installed with the target (KorvaneInstall.cmake) to include/korvane.
  set_target_properties(${name} PROPERTIES PUBLIC_HEADER
    "${CMAKE_CURRENT_SOURCE_DIR}/include/${L_HEADER};${_generated}/${_stem}Export.h")
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${_generated}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/korvane>)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE $<BUILD_INTERFACE:KvUtf>)
  # The Windows types of the headers, on other systems.
  if(NOT WIN32)
    target_link_libraries(${name} PUBLIC KvWin32)
  endif()
endfunction()
