# The probes' tests: the test program gets a version resource of its own, and the Windows
# family is checked in prefixes that report Windows 7, 8.1 and 10.
target_sources(kvz_win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/probe_version.rc)

foreach(_version win7 win81 win10)
  kvz_add_wine_gtest(NAME probe_windows_family_${_version} TARGET kvz_win_tests
                     FILTER "EnvWindowsFamily.*" VERSION ${_version} LABELS probe)
endforeach()
