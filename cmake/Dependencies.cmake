# Third-party parts, all from Debian: JsonCpp, Boost headers, GoogleTest, and (Windows only)
# the 7-Zip console archiver. Targets: JsonCpp::JsonCpp, kvz_boost_headers, GTest::gtest,
# GTest::gtest_main; variable KVZ_7ZA_EXE; in the fuzz tree, KVZ_FUZZ_COMPILE_OPTIONS and
# KVZ_FUZZ_LINK_OPTIONS.

add_library(kvz_boost_headers INTERFACE)
find_package(Threads REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(WIN32)
  set(KVZ_CACHE_DIR "$ENV{KVZ_CACHE_DIR}")
  if(NOT KVZ_CACHE_DIR)
    if(DEFINED ENV{XDG_CACHE_HOME})
      set(KVZ_CACHE_DIR "$ENV{XDG_CACHE_HOME}/kvz7300")
    else()
      set(KVZ_CACHE_DIR "$ENV{HOME}/.cache/kvz7300")
    endif()
  endif()
  set(_tp "${KVZ_CACHE_DIR}/${KVZ_TRIPLE}")
  if(NOT EXISTS "${_tp}/jsoncpp/lib/libjsoncpp.a" OR NOT EXISTS "${_tp}/7za.exe"
     OR NOT EXISTS "${_tp}/7za.version")
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/thirdparty.sh
                    RESULT_VARIABLE _tp_result)
    if(NOT _tp_result EQUAL 0)
      message(FATAL_ERROR "Building the Windows third-party parts failed")
    endif()
  endif()

  add_library(JsonCpp::JsonCpp STATIC IMPORTED GLOBAL)
  set_target_properties(JsonCpp::JsonCpp PROPERTIES
    IMPORTED_LOCATION "${_tp}/jsoncpp/lib/libjsoncpp.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_tp}/jsoncpp/include")
  set(KVZ_7ZA_EXE "${_tp}/7za.exe")
  file(STRINGS "${_tp}/7za.version" KVZ_7ZA_VERSION LIMIT_COUNT 1)
  if(NOT KVZ_7ZA_VERSION MATCHES "^([0-9]+)\\.([0-9]+)$"
     OR CMAKE_MATCH_1 LESS 25 OR (CMAKE_MATCH_1 EQUAL 25 AND CMAKE_MATCH_2 LESS 1))
    message(FATAL_ERROR "The archiver is 7-Zip '${KVZ_7ZA_VERSION}': the installer needs 25.01 "
                        "or later (earlier ones follow links out of the target folder)")
  endif()

  # Boost is header-only here; expose only /usr/include/boost, never the host's C headers.
  set(_boost_dir "${PROJECT_BINARY_DIR}/boost-include")
  if(NOT EXISTS "${_boost_dir}/boost")
    file(MAKE_DIRECTORY "${_boost_dir}")
    file(CREATE_LINK /usr/include/boost "${_boost_dir}/boost" SYMBOLIC)
  endif()
  target_include_directories(kvz_boost_headers SYSTEM INTERFACE "${_boost_dir}")

  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
elseif(KVZ_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # The fuzz targets' instrumentation; libFuzzer's main joins at link time. JsonCpp reads the
  # hostile bytes, so it is built here from Debian's source with the same instrumentation:
  # the prebuilt library would be invisible to the fuzzer's coverage and to the sanitizers.
  set(KVZ_FUZZ_COMPILE_OPTIONS -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=undefined -g)
  set(KVZ_FUZZ_LINK_OPTIONS -fsanitize=fuzzer,address,undefined)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/fetch-source.sh libjsoncpp
                  OUTPUT_VARIABLE _jsoncpp_src OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _fetch_result)
  if(NOT _fetch_result EQUAL 0)
    message(FATAL_ERROR "Fetching JsonCpp's Debian source failed")
  endif()

  include(ExternalProject)
  list(JOIN KVZ_FUZZ_COMPILE_OPTIONS " " _fuzz_flags)
  set(_jsoncpp_build ${PROJECT_BINARY_DIR}/jsoncpp-fuzz)
  ExternalProject_Add(kvz_jsoncpp_fuzz
    SOURCE_DIR ${_jsoncpp_src}
    BINARY_DIR ${_jsoncpp_build}
    CMAKE_CACHE_ARGS
      -DCMAKE_CXX_COMPILER:FILEPATH=${CMAKE_CXX_COMPILER}
      -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
      -DCMAKE_CXX_FLAGS:STRING=${_fuzz_flags}
      -DBUILD_SHARED_LIBS:BOOL=OFF -DBUILD_STATIC_LIBS:BOOL=ON -DBUILD_OBJECT_LIBS:BOOL=OFF
      -DJSONCPP_WITH_TESTS:BOOL=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST:BOOL=OFF
      -DJSONCPP_WITH_PKGCONFIG_SUPPORT:BOOL=OFF -DJSONCPP_WITH_CMAKE_PACKAGE:BOOL=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${_jsoncpp_build} --target jsoncpp_static
    BUILD_BYPRODUCTS ${_jsoncpp_build}/lib/libjsoncpp.a
    INSTALL_COMMAND ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
  add_library(JsonCpp::JsonCpp STATIC IMPORTED GLOBAL)
  set_target_properties(JsonCpp::JsonCpp PROPERTIES
    IMPORTED_LOCATION ${_jsoncpp_build}/lib/libjsoncpp.a
    INTERFACE_INCLUDE_DIRECTORIES ${_jsoncpp_src}/include)
  add_dependencies(JsonCpp::JsonCpp kvz_jsoncpp_fuzz)
else()
  find_path(JSONCPP_INCLUDE_DIR json/json.h PATH_SUFFIXES jsoncpp REQUIRED)
  find_library(JSONCPP_LIBRARY jsoncpp REQUIRED)
  add_library(JsonCpp::JsonCpp UNKNOWN IMPORTED GLOBAL)
  set_target_properties(JsonCpp::JsonCpp PROPERTIES
    IMPORTED_LOCATION "${JSONCPP_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${JSONCPP_INCLUDE_DIR}")
  find_package(GTest REQUIRED)
endif()
