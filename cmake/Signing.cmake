# Authenticode signing, off unless TAV_SIGN_PKCS12 names a PKCS#12 file. The
# password is never on a command line: TAV_SIGN_PASSWORD_ENV names the
# environment variable that holds it when the build runs (scripts/sign.sh).
set(TAV_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and key; empty: no signing")
set(TAV_SIGN_PASSWORD_ENV "" CACHE STRING "Name of the environment variable that holds the PKCS#12 password")
set(TAV_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp authority; empty: no time stamp")
set(TAV_SIGN_COMMAND)
if(WIN32 AND TAV_SIGN_PKCS12)
  find_program(TAV_OSSLSIGNCODE osslsigncode)
  if(NOT TAV_OSSLSIGNCODE)
    message(FATAL_ERROR "TAV_SIGN_PKCS12 is set but osslsigncode is not installed (scripts/install-deps.sh)")
  endif()
  get_filename_component(pkcs12 ${TAV_SIGN_PKCS12} ABSOLUTE)
  set(TAV_SIGN_COMMAND ${CMAKE_COMMAND} -E env TAV_SIGN_PKCS12=${pkcs12}
      TAV_SIGN_PASSWORD_ENV=${TAV_SIGN_PASSWORD_ENV} TAV_SIGN_TIMESTAMP_URL=${TAV_SIGN_TIMESTAMP_URL}
      bash ${CMAKE_SOURCE_DIR}/scripts/sign.sh)
  message(STATUS "Signing the Windows binaries with ${pkcs12}")
endif()
