# Cross-building the Windows programs on Debian with mingw-w64 (the posix thread model, so
# std::thread and std::mutex work) and running what was built under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELLUMIN_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${VELLUMIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLUMIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLUMIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELLUMIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, the C++ and thread runtimes included: the .exe needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and test discovery run the .exe files under Wine.
find_program(VELLUMIN_WINE wine)
if(VELLUMIN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLUMIN_WINE})
endif()
