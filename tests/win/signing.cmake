# Signing: signed-dist/ is dist/ signed as a signed build signs it (the same script and list of
# programs, the PKCS#12 form with a password file), then zipped, with a test code-signing
# certificate made in the Wine root (never in dist/; its CA is trusted only in the test prefixes,
# see tests/harness/prefix.d).
set(_codesign ${KVZ_WINE_ROOT}/codesign)
set(_signed ${PROJECT_BINARY_DIR}/signed-dist)
set(_signed_zip ${PROJECT_BINARY_DIR}/signed-dist.zip)
set(_signer "KVZ7300 Test Signer")   # the subject make-codesign-cert.sh gives the signer
add_custom_target(kvz_signed_dist ALL
  COMMAND ${KVZ_HARNESS_DIR}/make-codesign-cert.sh ${_codesign}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_signed}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${KVZ_DIST_DIR} ${_signed}
  COMMAND ${KVZ_SIGN_SCRIPT} --pkcs12 ${_codesign}/signer.p12
          --password-file ${_codesign}/signer.password ${_signed} ${KVZ_DIST_PROGRAMS}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/make-zip.py ${_signed} ${_signed_zip}
  COMMENT "Signing a copy of the distribution with the test certificate"
  VERBATIM)
add_dependencies(kvz_signed_dist kvz_dist)

# On Linux: the option checks, the PEM form and a wrong password, the signed layout and its zip.
set(_check ${KVZ_HARNESS_DIR}/signing-test)
add_test(NAME signing_options COMMAND ${_check} options ${PROJECT_SOURCE_DIR} ${_codesign})
add_test(NAME signing_script
         COMMAND ${_check} script ${KVZ_SIGN_SCRIPT} ${KVZ_DIST_DIR} ${_codesign}
                 ${PROJECT_BINARY_DIR}/signing-scratch ${KVZ_DIST_PROGRAMS})
add_test(NAME signed_dist_verifies
         COMMAND ${_check} dist ${_signed} ${_signed_zip} ${_codesign} ${KVZ_DIST_PROGRAMS})
set_tests_properties(signing_options signing_script signed_dist_verifies PROPERTIES
                     PASS_REGULAR_EXPRESSION "Signing checks passed" LABELS signing
                     ENVIRONMENT "KVZ_EXPECT_SIGNER=${_signer}")

# Under Wine: WinVerifyTrust's verdicts, and the signed program still starts and shows its window.
target_link_libraries(kvz_win_tests PRIVATE wintrust crypt32)
add_dependencies(kvz_win_tests kvz_signed_dist)
kvz_windows_path(_signed_win "${_signed}")
set(_dist_signed 0)
if(KVZ_SIGN_CERT OR KVZ_SIGN_PKCS12)
  set(_dist_signed 1)
endif()
kvz_add_wine_gtest(NAME win_signature TARGET kvz_win_tests FILTER "EnvSignature.*"
                   ENVIRONMENT "KVZ_SIGNED_DIST_DIR=${_signed_win}" "KVZ_DIST_SIGNED=${_dist_signed}"
                           "KVZ_EXPECT_SIGNER=${_signer}"
                   LABELS signing)
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/gui/CMakeLists.txt)
  kvz_add_wine_gtest(NAME gui_window_signed TARGET kvz_gui_tests FILTER "Window.ShownButtons*"
                     DISPLAY RESOURCE_LOCK kvz_display_input LABELS gui signing
                     ENVIRONMENT "KVZ_GUI_INSTALLER=${_signed_win}\\Installer.exe")
endif()
