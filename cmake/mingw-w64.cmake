# Cross compiling for 64-bit Windows with Debian's mingw-w64 (the posix
# thread model, which has std::thread and std::mutex):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DXT_WIN_DEPS=...
# scripts/build-windows.sh does this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(XT_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${XT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${XT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${XT_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${XT_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${XT_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries come from the cross compiler's own tree (and the
# paths the build names); programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${XT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
