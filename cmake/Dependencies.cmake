# Third-party parts, all from Debian: JsonCpp, Boost headers, GoogleTest, and (Windows only)
# the 7-Zip console archiver. Targets: JsonCpp::JsonCpp, kvz_boost_headers, GTest::gtest,
# GTest::gtest_main; variable KVZ_7ZA_EXE.

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
  if(NOT EXISTS "${_tp}/jsoncpp/lib/libjsoncpp.a" OR NOT EXISTS "${_tp}/7za.exe")
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
else()
  find_path(JSONCPP_INCLUDE_DIR json/json.h PATH_SUFFIXES jsoncpp REQUIRED)
  find_library(JSONCPP_LIBRARY jsoncpp REQUIRED)
  add_library(JsonCpp::JsonCpp UNKNOWN IMPORTED GLOBAL)
  set_target_properties(JsonCpp::JsonCpp PROPERTIES
    IMPORTED_LOCATION "${JSONCPP_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${JSONCPP_INCLUDE_DIR}")
  find_package(GTest REQUIRED)
endif()
