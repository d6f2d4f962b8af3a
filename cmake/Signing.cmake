# Authenticode signatures on everything we ship, made with Debian's
# osslsigncode when the build is given a code-signing certificate:
#   QRX_SIGN_PFX            the certificate with its key, a PKCS#12 (.pfx) file
#   QRX_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional)
# Both are CMake options whose defaults are the environment variables of the
# same names. The PFX file's password is read from the environment variable
# QRX_SIGN_PASSWORD while the build runs, so that it is never stored in the
# build tree. Without a certificate nothing is signed.
set(QRX_SIGN_PFX "$ENV{QRX_SIGN_PFX}" CACHE FILEPATH "Code-signing certificate (PKCS#12) for the shipped files and packages")
set(QRX_SIGN_TIMESTAMP_URL "$ENV{QRX_SIGN_TIMESTAMP_URL}" CACHE STRING "RFC 3161 timestamp server for the signatures")

set(QRX_SIGN_COMMAND "")
if(QRX_SIGN_PFX)
  get_filename_component(pfx "${QRX_SIGN_PFX}" ABSOLUTE)
  if(NOT EXISTS "${pfx}")
    message(FATAL_ERROR "QRX_SIGN_PFX names ${pfx}, which does not exist")
  endif()
  find_program(QRX_OSSLSIGNCODE osslsigncode)
  if(NOT QRX_OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode is missing: run tools/setup.sh")
  endif()
  set(QRX_SIGN_COMMAND ${PROJECT_SOURCE_DIR}/tools/sign.sh --pfx ${pfx})
  if(QRX_SIGN_TIMESTAMP_URL)
    list(APPEND QRX_SIGN_COMMAND --timestamp ${QRX_SIGN_TIMESTAMP_URL})
  endif()
  message(STATUS "Signing the shipped files and the packages with ${pfx}")
endif()

# qrx_sign(<target>): signs the target's file each time it is linked; call it
# in the folder that defines the target.
function(qrx_sign target)
  if(QRX_SIGN_COMMAND)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${QRX_SIGN_COMMAND} $<TARGET_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
