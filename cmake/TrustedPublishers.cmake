# KVZ_TRUSTED_PUBLISHERS: the publishers whose setup programs the installer starts elevated.
# Each entry is key:<64 hex digits> (SHA-256 of the signing certificate's DER
# SubjectPublicKeyInfo), name:<subject common name> or self (whoever signed Installer.exe).
# The installer reads the same list again (trust/PublisherPins.cpp); the two must agree.

# Sets <out> to why `pins` is malformed, or to the empty text.
function(kvz_check_trusted_publishers pins out)
  string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31
               127 _control)
  foreach(_entry IN LISTS pins)
    if(_entry STREQUAL "self")
      continue()
    elseif(_entry MATCHES "^key:(.*)$")
      string(LENGTH "${CMAKE_MATCH_1}" _length)
      if(_length EQUAL 64 AND CMAKE_MATCH_1 MATCHES "^[0-9a-fA-F]+$")
        continue()
      endif()
      set(_why "a key is 64 hexadecimal digits (SHA-256 of the DER SubjectPublicKeyInfo)")
    elseif(_entry MATCHES "^name:(.+)$")
      if(NOT CMAKE_MATCH_1 MATCHES "[${_control}]")
        continue()
      endif()
      set(_why "a name is a non-empty common name without control characters")
    else()
      set(_why "an entry is key:<64 hex digits>, name:<common name> or self")
    endif()
    set(${out} "malformed entry \"${_entry}\": ${_why}" PARENT_SCOPE)
    return()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# Fails the configure on a malformed list; otherwise sets <out> to the list as the body of a C
# string literal.
function(kvz_trusted_publishers_literal pins out)
  kvz_check_trusted_publishers("${pins}" _error)
  if(_error)
    message(FATAL_ERROR "KVZ_TRUSTED_PUBLISHERS: ${_error}")
  endif()
  string(REPLACE "\\" "\\\\" _text "${pins}")
  string(REPLACE "\"" "\\\"" _text "${_text}")
  set(${out} "${_text}" PARENT_SCOPE)
endfunction()
