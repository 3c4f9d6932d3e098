# The installer runs elevated from a folder its user can write to. At load time Windows looks
# for an imported DLL in the program's folder first unless it is a Known DLL, and start-up code
# cannot change that. So the programs import at load time only DLLs that are Known DLLs on every
# Windows from 7 to 11 (and comctl32, which the manifest takes side by side); the others are
# delay-loaded, from the system folder only (Installer/app/SystemDlls.cpp).
set(KVZ_DELAYED_DLLS bcrypt crypt32 gdiplus version winhttp wininet wintrust CACHE INTERNAL
    "DLLs the installer delay-loads from the system folder")
# The functions the programs call in each. -l<name> finds only these libraries, so a call to any
# other fails the link and the lists cannot fall behind the code.
set(_bcrypt BCryptCloseAlgorithmProvider BCryptCreateHash BCryptDestroyHash BCryptFinishHash
    BCryptGetProperty BCryptHashData BCryptOpenAlgorithmProvider)
set(_crypt32 CertDuplicateCertificateContext CertFreeCertificateChain CertFreeCertificateContext
    CertGetCertificateChain CertGetNameStringW CertVerifyCertificateChainPolicy
    CryptEncodeObjectEx)
set(_gdiplus GdipAlloc GdipCloneImage GdipCreateFromHDC GdipDeleteGraphics GdipDisposeImage
    GdipDrawImageRectI GdipFree GdipGetImageHeight GdipGetImageWidth GdipLoadImageFromStream
    GdiplusShutdown GdiplusStartup)
set(_version GetFileVersionInfoSizeW GetFileVersionInfoW VerQueryValueW)
set(_winhttp WinHttpCloseHandle WinHttpGetDefaultProxyConfiguration
    WinHttpGetIEProxyConfigForCurrentUser WinHttpGetProxyForUrl WinHttpOpen WinHttpSetTimeouts)
set(_wininet HttpAddRequestHeadersW HttpOpenRequestW HttpQueryInfoW HttpSendRequestW
    InternetCanonicalizeUrlW InternetCloseHandle InternetConnectW InternetCrackUrlW InternetErrorDlg
    InternetGetLastResponseInfoW InternetOpenW InternetQueryDataAvailable InternetQueryOptionW
    InternetReadFile InternetSetOptionW)
set(_wintrust WTHelperGetProvCertFromChain WTHelperGetProvSignerFromChain
    WTHelperProvDataFromStateData WinVerifyTrust)

set(_delay_dir ${PROJECT_BINARY_DIR}/delay-import)
# A DLL taken off the list must not leave its library here, where -l would still find it first.
file(GLOB _delay_found ${_delay_dir}/lib*.a)
foreach(_lib ${_delay_found})
  get_filename_component(_name ${_lib} NAME)
  string(REGEX REPLACE "^lib(.*)\\.a$" "\\1" _name ${_name})
  if(NOT _name IN_LIST KVZ_DELAYED_DLLS)
    file(REMOVE ${_lib} ${_lib}.def ${_lib}.rsp)
  endif()
endforeach()
set(_delay_libs "")
set(_i686 "")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_i686 --i686)
endif()
foreach(_dll ${KVZ_DELAYED_DLLS})
  find_library(KVZ_IMPORT_LIB_${_dll} NAMES lib${_dll}.a REQUIRED NO_CACHE)
  add_custom_command(OUTPUT ${_delay_dir}/lib${_dll}.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_delay_dir}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/make-delay-lib.py
            --nm ${CMAKE_NM} --dlltool ${CMAKE_DLLTOOL} --dll ${_dll}.dll ${_i686}
            ${KVZ_IMPORT_LIB_${_dll}} ${_delay_dir}/lib${_dll}.a ${_${_dll}}
    BYPRODUCTS ${_delay_dir}/lib${_dll}.a.rsp
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make-delay-lib.py ${KVZ_IMPORT_LIB_${_dll}}
    COMMENT "Delay-load import library for ${_dll}.dll"
    VERBATIM)
  list(APPEND _delay_libs ${_delay_dir}/lib${_dll}.a)
endforeach()
add_custom_target(kvz_delay_import_libs DEPENDS ${_delay_libs})
set(KVZ_DELAY_IMPORT_DIR ${_delay_dir} CACHE INTERNAL "")
set(KVZ_DELAY_IMPORT_LIBS ${_delay_libs} CACHE INTERNAL "")
set(KVZ_DELAY_LINK_OPTIONS "")
foreach(_lib ${_delay_libs})
  list(APPEND KVZ_DELAY_LINK_OPTIONS "@${_lib}.rsp")
endforeach()
set(KVZ_DELAY_LINK_OPTIONS ${KVZ_DELAY_LINK_OPTIONS} CACHE INTERNAL "")

# For each program built from the installer's code, so the tests run what ships.
function(kvz_load_dlls_from_system_folder target)
  # The libraries keep naming wininet, version, ...: -l finds these folders' delay-load
  # libraries of the same names before the toolchain's own.
  target_link_directories(${target} BEFORE PRIVATE ${KVZ_DELAY_IMPORT_DIR})
  target_link_options(${target} PRIVATE ${KVZ_DELAY_LINK_OPTIONS})
  target_link_libraries(${target} PRIVATE kvz_system_dlls)   # the loading hook
  add_dependencies(${target} kvz_delay_import_libs)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KVZ_DELAY_IMPORT_LIBS})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/delay-directory.py
            --nm ${CMAKE_NM} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
