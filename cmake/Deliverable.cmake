# qrx_deliverable(<target> <file name>): puts a shared library or program
# under its shipped file name into the deliverables folder, signed when the
# build signs (cmake/Signing.cmake).
function(qrx_deliverable target file_name)
  get_filename_component(base ${file_name} NAME_WE)
  get_filename_component(ext ${file_name} EXT)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${base}
    SUFFIX ${ext}
    RUNTIME_OUTPUT_DIRECTORY ${QRX_DELIVERABLES_DIR})
  qrx_sign(${target})
endfunction()

# qrx_stdcall_suffix(<variable> <argument bytes>): the decoration the x86
# toolchain gives a stdcall function's name ("@8"), for the .def files, whose
# export names --kill-at strips again; empty on x64, where there is none.
function(qrx_stdcall_suffix variable argument_bytes)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(${variable} "@${argument_bytes}" PARENT_SCOPE)
  else()
    set(${variable} "" PARENT_SCOPE)
  endif()
endfunction()
