# The driver-service stand-in for the Windows tests: started once before them, stopped after.
# Ports KVZ_STANDIN_PORT to +3 (see tools/driver-service/standin.py).
set(_standin ${PROJECT_SOURCE_DIR}/tools/driver-service/serve)
set(_standin_pid ${KVZ_WINE_ROOT}/standin.pid)
add_test(NAME driver_service_start
         COMMAND ${_standin} --daemon --pidfile ${_standin_pid} --port ${KVZ_STANDIN_PORT}
                 --ca-dir ${KVZ_WINE_ROOT}/ca --packages ${KVZ_STANDIN_PACKAGES}
                 --log ${KVZ_WINE_ROOT}/standin-requests.jsonl)
set_tests_properties(driver_service_start PROPERTIES FIXTURES_SETUP driver_service
                     FIXTURES_REQUIRED wine TIMEOUT 60 LABELS wine)
add_test(NAME driver_service_stop COMMAND ${_standin} --stop --pidfile ${_standin_pid})
set_tests_properties(driver_service_stop PROPERTIES FIXTURES_CLEANUP driver_service
                     TIMEOUT 30 LABELS wine)

if(TEST win_tests)
  set_property(TEST win_tests APPEND PROPERTY FIXTURES_REQUIRED driver_service)
endif()
# One test sets replies through the stand-in's control port.
if(TEST win_tests)
  set_property(TEST win_tests APPEND PROPERTY RESOURCE_LOCK driver_service_control)
endif()

kvz_add_wine_gtest(NAME win_encoding_cyrillic TARGET kvz_win_tests
                   FILTER "EnvTextEncodingCyrillic.*" LANG ru_RU.UTF-8)

# bench/download.sh: one DownloadToFile, timed, with the process's peak memory.
add_executable(download_bench ${PROJECT_SOURCE_DIR}/bench/download_bench.cpp)
target_link_libraries(download_bench PRIVATE kvz_net psapi)
target_link_options(download_bench PRIVATE -municode)
# Its baseline: a bare WinINet loop with 1 MiB reads.
add_executable(download_baseline ${PROJECT_SOURCE_DIR}/bench/download_baseline.cpp)
target_link_libraries(download_baseline PRIVATE wininet bcrypt psapi)
target_link_options(download_baseline PRIVATE -municode)
