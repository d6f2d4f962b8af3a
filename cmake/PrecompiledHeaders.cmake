# Nearly every file includes <windows.h> and a few standard headers, which
# take most of its compile time. They are compiled once per build, by an
# owner target that defines no macros of its own, and reused by the other
# C++ targets:
#   qrx_precompile_headers(<owner> <header>...)   the owner and its headers
#   qrx_reuse_precompiled_headers(<directory> <owner> [LINKING <regex>])
#       every target defined in <directory> and below that has no precompiled
#       headers yet, nor DISABLE_PRECOMPILE_HEADERS set, reuses the owner's;
#       with LINKING, only those that link a library whose name matches (the
#       owner's headers may need that library's include folders)
function(qrx_precompile_headers owner)
  target_precompile_headers(${owner} PRIVATE ${ARGN})
  qrx_quiet_precompiled_header_warnings(${owner})
endfunction()

function(qrx_reuse_precompiled_headers directory owner)
  cmake_parse_arguments(R "" "LINKING" "" ${ARGN})
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(own ${target} PRECOMPILE_HEADERS)
    get_target_property(reused ${target} PRECOMPILE_HEADERS_REUSE_FROM)
    get_target_property(disabled ${target} DISABLE_PRECOMPILE_HEADERS)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    set(links_required TRUE)
    if(R_LINKING)
      list(FILTER libraries INCLUDE REGEX "${R_LINKING}")
      set(links_required "${libraries}")
    endif()
    if(type MATCHES "LIBRARY|EXECUTABLE" AND NOT type STREQUAL "INTERFACE_LIBRARY"
       AND NOT own AND NOT reused AND NOT disabled AND links_required)
      target_precompile_headers(${target} REUSE_FROM ${owner})
      qrx_quiet_precompiled_header_warnings(${target})
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    qrx_reuse_precompiled_headers(${subdirectory} ${owner} ${ARGN})
  endforeach()
endfunction()

# With the headers precompiled, GCC 12 no longer sees that mingw's wmemcpy,
# inlined into std::wstring's copies, is a system header's, and reports
# bounds warnings there that are none.
function(qrx_quiet_precompiled_header_warnings target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-array-bounds -Wno-stringop-overread>)
endfunction()
