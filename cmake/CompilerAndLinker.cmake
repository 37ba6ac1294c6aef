# Every compiler and linker setting of the project, in one place.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

# Put every DLL and executable in one folder so Windows finds the DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)

add_compile_definitions(UNICODE _UNICODE)

if(MSVC)
  add_compile_options(/W4 /WX /utf-8 /EHsc)
  add_compile_definitions(_CRT_SECURE_NO_WARNINGS)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Werror)
endif()

if(MINGW)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # The DLLs and programs need nothing but Windows' own DLLs: the GCC runtime
  # (libgcc, libstdc++, winpthread) goes into each of them. -static makes the
  # linker take libpthread.a, not the import library of libwinpthread-1.dll;
  # Windows' own libraries are import libraries either way. No
  # --whole-archive: it would bring winpthread's version resource along.
  add_link_options(-static -static-libgcc -static-libstdc++)
elseif(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(KORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Names a DLL as the library it stands for: ZRString.dll, not libZRString.dll.
# Elsewhere the usual versioned names: libZRString.so.1.1 with the SONAME
# libZRString.so.1 (1.0 and 1 for revision 1.0), so installed versions can
# sit side by side.
function(korvane_library_names target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES PREFIX "" IMPORT_PREFIX "")
  else()
    set_target_properties(${target} PROPERTIES
      VERSION ${KORVANE_VERSION} SOVERSION ${KORVANE_VERSION_MAJOR})
  endif()
endfunction()

# An installed tree is relocatable: each library finds the others beside it,
# the tool finds them in ../lib.
if(UNIX AND NOT APPLE)
  set(CMAKE_INSTALL_RPATH "$ORIGIN;$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
endif()
