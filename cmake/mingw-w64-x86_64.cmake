# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DKORVANE_GUI=OFF
# Tests run under Wine when it is installed (ctest uses it as the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVANE_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${KORVANE_MINGW_PREFIX}-gcc-posix ${KORVANE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${KORVANE_MINGW_PREFIX}-g++-posix ${KORVANE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${KORVANE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_PREFIX})
# Qt for MinGW (../shared/tools/build-qt-mingw.sh makes one) lies outside the
# MinGW root: -DKORVANE_QT_MINGW=<its prefix> lets packages be found there.
if(KORVANE_QT_MINGW)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KORVANE_QT_MINGW})
  list(APPEND CMAKE_PREFIX_PATH ${KORVANE_QT_MINGW})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KORVANE_WINE NAMES wine64 wine)
if(KORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
endif()
