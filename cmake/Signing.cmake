# Authenticode signing of the programs in dist/: KVZ_SIGN_CERT with KVZ_SIGN_KEY (PEM files), or
# KVZ_SIGN_PKCS12 with KVZ_SIGN_PASSWORD_FILE; KVZ_SIGN_TIMESTAMP_URL optional (RFC 3161).
#   kvz_sign_arguments(<out>)  the options of KVZ_SIGN_SCRIPT for them; empty when unsigned
# Run as a script (cmake -DKVZ_SIGN_...=... -P Signing.cmake) it only checks the options.

function(kvz_check_signing_options)
  set(_pem FALSE)
  if(KVZ_SIGN_CERT OR KVZ_SIGN_KEY)
    set(_pem TRUE)
  endif()
  if(_pem AND (KVZ_SIGN_PKCS12 OR KVZ_SIGN_PASSWORD_FILE))
    message(FATAL_ERROR "Signing: set either KVZ_SIGN_CERT and KVZ_SIGN_KEY (PEM) or "
                        "KVZ_SIGN_PKCS12 and KVZ_SIGN_PASSWORD_FILE, not both kinds")
  endif()
  if(KVZ_SIGN_CERT AND NOT KVZ_SIGN_KEY)
    message(FATAL_ERROR "Signing: KVZ_SIGN_CERT is set but KVZ_SIGN_KEY is not "
                        "(the certificate's private key, PEM)")
  endif()
  if(KVZ_SIGN_KEY AND NOT KVZ_SIGN_CERT)
    message(FATAL_ERROR "Signing: KVZ_SIGN_KEY is set but KVZ_SIGN_CERT is not "
                        "(the code-signing certificate, PEM)")
  endif()
  if(KVZ_SIGN_PKCS12 AND NOT KVZ_SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "Signing: KVZ_SIGN_PKCS12 is set but KVZ_SIGN_PASSWORD_FILE is not "
                        "(a file holding the PKCS#12 file's password)")
  endif()
  if(KVZ_SIGN_PASSWORD_FILE AND NOT KVZ_SIGN_PKCS12)
    message(FATAL_ERROR "Signing: KVZ_SIGN_PASSWORD_FILE is set but KVZ_SIGN_PKCS12 is not")
  endif()
  if(KVZ_SIGN_TIMESTAMP_URL AND NOT KVZ_SIGN_CERT AND NOT KVZ_SIGN_PKCS12)
    message(FATAL_ERROR "Signing: KVZ_SIGN_TIMESTAMP_URL is set but no certificate "
                        "(KVZ_SIGN_CERT or KVZ_SIGN_PKCS12)")
  endif()
  foreach(_v KVZ_SIGN_CERT KVZ_SIGN_KEY KVZ_SIGN_PKCS12 KVZ_SIGN_PASSWORD_FILE)
    if(${_v} AND (NOT EXISTS "${${_v}}" OR IS_DIRECTORY "${${_v}}"))
      message(FATAL_ERROR "Signing: ${_v} names no file: ${${_v}}")
    endif()
  endforeach()
  # osslsigncode would ask for the key's passphrase on the terminal and stall the build.
  if(KVZ_SIGN_KEY)
    file(STRINGS "${KVZ_SIGN_KEY}" _encrypted LIMIT_COUNT 1 REGEX "ENCRYPTED")
    if(_encrypted)
      message(FATAL_ERROR "Signing: KVZ_SIGN_KEY is encrypted; give an unencrypted key, or "
                          "KVZ_SIGN_PKCS12 with KVZ_SIGN_PASSWORD_FILE")
    endif()
  endif()
  if(KVZ_SIGN_CERT OR KVZ_SIGN_PKCS12)
    find_program(KVZ_OSSLSIGNCODE osslsigncode)
    if(NOT KVZ_OSSLSIGNCODE)
      message(FATAL_ERROR "Signing: osslsigncode not found (Debian package osslsigncode)")
    endif()
  endif()
endfunction()

function(kvz_sign_arguments out)
  set(_args "")
  if(KVZ_SIGN_CERT)
    list(APPEND _args --cert "${KVZ_SIGN_CERT}" --key "${KVZ_SIGN_KEY}")
  elseif(KVZ_SIGN_PKCS12)
    list(APPEND _args --pkcs12 "${KVZ_SIGN_PKCS12}" --password-file "${KVZ_SIGN_PASSWORD_FILE}")
  endif()
  if(_args AND KVZ_SIGN_TIMESTAMP_URL)
    list(APPEND _args --timestamp "${KVZ_SIGN_TIMESTAMP_URL}")
  endif()
  set(${out} "${_args}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  kvz_check_signing_options()
  message("Signing options accepted")
  return()
endif()

set(KVZ_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign.sh CACHE INTERNAL "Signs programs in place")

set(KVZ_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM); needs KVZ_SIGN_KEY")
set(KVZ_SIGN_KEY "" CACHE FILEPATH "Private key of KVZ_SIGN_CERT (PEM, unencrypted)")
set(KVZ_SIGN_PKCS12 "" CACHE FILEPATH
    "Code-signing certificate and key as PKCS#12; needs KVZ_SIGN_PASSWORD_FILE")
set(KVZ_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of KVZ_SIGN_PKCS12")
set(KVZ_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures")
kvz_check_signing_options()
