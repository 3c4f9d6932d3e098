# Tests that run Windows programs under Wine, in a prefix owned by the build tree.
#
#   kvz_add_wine_test(NAME <name> COMMAND <target or path> [args...]
#                     [VERSION win7|win81|win10|vista] [LANG <locale>] [DPI <n>] [DISPLAY]
#                     [ENVIRONMENT K=V...] [FIXTURES f...] [RESOURCE_LOCK r...]
#                     [TIMEOUT s] [LABELS l...])
#   kvz_add_wine_gtest(NAME <name> TARGET <gtest target> [FILTER <gtest filter>] + the same)
#
# Every such test needs the fixture "wine" (prefix, wineserver, Xvfb; the display is always
# there, DISPLAY is accepted for readability). The test sees KVZ_DIST_DIR (the distribution
# folder), KVZ_TEST_TMP (a fresh scratch folder) as Windows paths, their *_UNIX forms,
# KVZ_STANDIN_PORT and KVZ_WINE_ROOT. Each carries the label of the architecture it runs:
# x86 (the shipped 32-bit build) or x64.

set(KVZ_HARNESS_DIR ${PROJECT_SOURCE_DIR}/tests/harness)
set(KVZ_DIST_DIR ${PROJECT_BINARY_DIR}/dist)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KVZ_ARCH_LABEL x86)
else()
  set(KVZ_ARCH_LABEL x64)
endif()

function(kvz_windows_path out unix_path)
  string(REPLACE "/" "\\" _p "${unix_path}")
  set(${out} "Z:${_p}" PARENT_SCOPE)
endfunction()

function(kvz_add_wine_test)
  cmake_parse_arguments(PARSE_ARGV 0 W "DISPLAY" "NAME;VERSION;LANG;DPI;TIMEOUT;TARGET;FILTER"
                        "COMMAND;ENVIRONMENT;FIXTURES;RESOURCE_LOCK;LABELS;PASS;FAIL")
  if(W_TARGET)
    set(_cmd $<TARGET_FILE:${W_TARGET}>)
    if(W_FILTER)
      list(APPEND _cmd "--gtest_filter=${W_FILTER}")
    endif()
    list(APPEND _cmd ${W_COMMAND})
  else()
    list(GET W_COMMAND 0 _first)
    list(REMOVE_AT W_COMMAND 0)
    if(TARGET ${_first})
      set(_first $<TARGET_FILE:${_first}>)
    endif()
    set(_cmd ${_first} ${W_COMMAND})
  endif()
  add_test(NAME ${W_NAME} COMMAND ${KVZ_HARNESS_DIR}/wine-run ${_cmd})

  kvz_windows_path(_dist_win "${KVZ_DIST_DIR}")
  set(_env
    "KVZ_WINE_ROOT=${KVZ_WINE_ROOT}" "KVZ_TEST_NAME=${W_NAME}"
    "KVZ_DIST_DIR=${_dist_win}" "KVZ_DIST_DIR_UNIX=${KVZ_DIST_DIR}"
    "KVZ_STANDIN_PORT=${KVZ_STANDIN_PORT}" "KVZ_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(W_VERSION)
    list(APPEND _env "KVZ_WINE_VERSION=${W_VERSION}")
  endif()
  if(W_LANG)
    list(APPEND _env "KVZ_LANG=${W_LANG}")
  endif()
  if(W_DPI)
    list(APPEND _env "KVZ_WINE_DPI=${W_DPI}")
  endif()
  list(APPEND _env ${W_ENVIRONMENT})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 300)
  endif()
  set_tests_properties(${W_NAME} PROPERTIES
    ENVIRONMENT "${_env}"
    FIXTURES_REQUIRED "wine;${W_FIXTURES}"
    TIMEOUT ${W_TIMEOUT}
    LABELS "wine;${KVZ_ARCH_LABEL};${W_LABELS}")
  if(W_RESOURCE_LOCK)
    set_tests_properties(${W_NAME} PROPERTIES RESOURCE_LOCK "${W_RESOURCE_LOCK}")
  endif()
  if(W_PASS)
    set_tests_properties(${W_NAME} PROPERTIES PASS_REGULAR_EXPRESSION "${W_PASS}")
  endif()
  if(W_FAIL)
    set_tests_properties(${W_NAME} PROPERTIES FAIL_REGULAR_EXPRESSION "${W_FAIL}")
  endif()
endfunction()

# A Windows GoogleTest program: it must report PASSED, so a program that silently did not run
# (a missing 32-bit Wine, for one) cannot pass.
function(kvz_add_wine_gtest)
  kvz_add_wine_test(${ARGV} PASS "\\[  PASSED  \\]" FAIL "\\[  FAILED  \\]")
endfunction()
