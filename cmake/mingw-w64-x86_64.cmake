# CMake toolchain file: cross-compile for 64-bit Windows with Debian's mingw-w64
# (packages g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64).
#
# The posix thread model is used on purpose: Qt and the project need std::thread,
# std::mutex and friends, which the win32 thread model of GCC 12 lacks. The
# *-posix compiler drivers are named explicitly, so the system-wide
# update-alternatives choice does not matter.
#
# Use:  cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#             -DCMAKE_PREFIX_PATH=~/.cache/chart-tools/qt-mingw -DQT_HOST_PATH=/usr ...
# Set MINGW_TRIPLET / MINGW_ROOT in the environment to use another installation.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(DEFINED ENV{MINGW_TRIPLET})
  set(MINGW_TRIPLET "$ENV{MINGW_TRIPLET}")
else()
  set(MINGW_TRIPLET x86_64-w64-mingw32)
endif()
if(DEFINED ENV{MINGW_ROOT})
  set(MINGW_ROOT "$ENV{MINGW_ROOT}")
else()
  set(MINGW_ROOT /usr/${MINGW_TRIPLET})
endif()

find_program(MINGW_C_COMPILER   NAMES ${MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(MINGW_CXX_COMPILER NAMES ${MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(MINGW_RC_COMPILER  NAMES ${MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_C_COMPILER   "${MINGW_C_COMPILER}")
set(CMAKE_CXX_COMPILER "${MINGW_CXX_COMPILER}")
set(CMAKE_RC_COMPILER  "${MINGW_RC_COMPILER}")
set(CMAKE_AR           "${MINGW_TRIPLET}-gcc-ar-posix" CACHE FILEPATH "")
set(CMAKE_RANLIB       "${MINGW_TRIPLET}-gcc-ranlib-posix" CACHE FILEPATH "")

# Headers and libraries are searched only in the mingw-w64 root and in the
# prefixes given through CMAKE_PREFIX_PATH (e.g. the mingw build of Qt), never in
# the host's /usr; programs (moc, rcc, uic come from the host Qt through
# QT_HOST_PATH) are looked up on the host. Packages may come from either side,
# Qt's own config files take care of picking the host tools.
set(CMAKE_FIND_ROOT_PATH "${MINGW_ROOT}")
foreach(_mingw_prefix IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH "${_mingw_prefix}")
endforeach()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
