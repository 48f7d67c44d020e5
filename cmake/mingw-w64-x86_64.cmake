# Cross build for 64-bit Windows with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The POSIX-threads flavour of the compiler: the win32 flavour of GCC 12 has
# no std::thread, which GoogleTest and the pacer's sleeps need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OTP_MINGW_PREFIX x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${OTP_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${OTP_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${OTP_MINGW_PREFIX}-windres REQUIRED)

# Beside what is given with -DCMAKE_FIND_ROOT_PATH (the static Qt of the
# window's build).
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${OTP_MINGW_PREFIX})
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs run here under wine (tests, test discovery).
find_program(OTP_WINE NAMES wine)
if(OTP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OTP_WINE})
endif()
