# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# which std::thread and std::mutex need). Everything is linked statically so
# that the .exe files run under Wine or on Windows without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TW_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TW_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TW_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_PREFIX})
# The static Qt for Windows (cmake/qt-mingw.sh) lives outside the MinGW folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TW_QT_PREFIX)
if(TW_QT_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TW_QT_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${TW_QT_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without interprocedural register allocation: GCC otherwise lets a static
# library's code assume that its copy of an inline template keeps registers
# which the copy the linker kept (from another object) overwrites; Qt's random
# generator crashed that way under QTemporaryDir. Qt and our programs both need it.
set(CMAKE_C_FLAGS_INIT "-fno-ipa-ra")
set(CMAKE_CXX_FLAGS_INIT "-fno-ipa-ra")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and tools run under Wine when CMake needs to run them.
find_program(TW_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TW_WINE})
endif()
