# qrx_deliverable(<target> <file name>): puts a shared library or program
# under its shipped file name into the deliverables folder.
function(qrx_deliverable target file_name)
  get_filename_component(base ${file_name} NAME_WE)
  get_filename_component(ext ${file_name} EXT)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${base}
    SUFFIX ${ext}
    RUNTIME_OUTPUT_DIRECTORY ${QRX_DELIVERABLES_DIR})
endfunction()
