# The header-only libraries for a mingw-w64 build, from the Debian packages of the build host.
# Their headers sit in /usr/include beside the host's C library, which must never reach a
# Windows compile: each is linked into a folder of its own and that folder alone is searched.
set(VELLUMIN_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(REMOVE_RECURSE ${VELLUMIN_HOST_HEADERS})
file(MAKE_DIRECTORY ${VELLUMIN_HOST_HEADERS})
function(vellumin_host_header target name)
  cmake_parse_arguments(arg "" "FROM" "" ${ARGN})
  if(NOT arg_FROM)
    set(arg_FROM /usr/include/${name})
  endif()
  if(NOT EXISTS ${arg_FROM})
    message(FATAL_ERROR "${arg_FROM} is missing: run tools/deps windows")
  endif()
  file(CREATE_LINK ${arg_FROM} ${VELLUMIN_HOST_HEADERS}/${name} SYMBOLIC)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE ${VELLUMIN_HOST_HEADERS})
endfunction()

vellumin_host_header(nlohmann_json::nlohmann_json nlohmann)
vellumin_host_header(CLI11::CLI11 CLI)
# Debian's libcpp-httplib-dev holds the declarations only, its code being in the Linux library;
# the Windows build takes the whole header from the Debian source package (tools/deps windows).
vellumin_host_header(PkgConfig::HTTPLIB httplib.h FROM /usr/src/cpp-httplib/httplib.h)
# cpp-httplib on Windows: Winsock, and the Vista API it is written for.
target_link_libraries(PkgConfig::HTTPLIB INTERFACE ws2_32 crypt32)
target_compile_definitions(PkgConfig::HTTPLIB INTERFACE _WIN32_WINNT=0x0A00)

# GoogleTest from Debian's sources (package googletest), built with the cross compiler.
function(vellumin_windows_gtest)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "/usr/src/googletest is missing: run tools/deps windows")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Its project names its targets GTest::gtest, GTest::gtest_main and GTest::gmock itself.
endfunction()
