# What the Windows build links besides its own code, and how its programs run
# on this machine. Included by CMakeLists.txt when building for Windows.

# SQLite (a static library) and libpq (libpq.dll with its import library)
# cross-built from Debian's source packages by scripts/setup-deps.sh
# --windows, which prints the directory.
set(XT_WIN_DEPS "" CACHE PATH "SQLite and libpq for Windows: the directory scripts/setup-deps.sh --windows prints")
if(NOT EXISTS "${XT_WIN_DEPS}/complete")
  message(FATAL_ERROR "XT_WIN_DEPS='${XT_WIN_DEPS}' holds no finished build of SQLite and libpq for Windows: "
                      "configure with -DXT_WIN_DEPS=$(scripts/setup-deps.sh --windows), or use scripts/build-windows.sh")
endif()

add_library(SQLite::SQLite3 STATIC IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES
  IMPORTED_LOCATION ${XT_WIN_DEPS}/lib/libsqlite3.a
  INTERFACE_INCLUDE_DIRECTORIES ${XT_WIN_DEPS}/include)

add_library(xt::libpq SHARED IMPORTED)
set_target_properties(xt::libpq PROPERTIES
  IMPORTED_LOCATION ${XT_WIN_DEPS}/bin/libpq.dll
  IMPORTED_IMPLIB ${XT_WIN_DEPS}/lib/libpq.a
  INTERFACE_INCLUDE_DIRECTORIES ${XT_WIN_DEPS}/include)
# A program finds libpq.dll beside itself: the build directory gets a copy.
file(COPY ${XT_WIN_DEPS}/bin/libpq.dll DESTINATION ${CMAKE_BINARY_DIR})

# The C and C++ runtimes and winpthread go into each program, so that an
# installation is the .exe files and libpq.dll (whose own imports are all
# Windows' DLLs).
add_link_options(-static)

# The programs and the tests run under Wine here: build-win/wine-run runs a
# program in the build's own Wine prefix (build-win/wine, made on its first
# use), quietly; ctest and the test discovery go through it.
find_program(XT_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(XT_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(XT_WINE AND XT_WINESERVER)
  set(XT_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
  file(CONFIGURE OUTPUT ${XT_WINE_RUN} @ONLY CONTENT [=[#!/bin/sh
# Runs a Windows program of this build under Wine in the build's own prefix:
#   wine-run PROGRAM.exe ARGS...    wine-run --server-start|--server-stop
# The prefix is made on first use (wineboot, a few seconds). A wine server
# kept alive for a test run (--server-start) makes each program start cheap.
export WINEPREFIX='@CMAKE_BINARY_DIR@/wine' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || '@XT_WINE@' wineboot -i >/dev/null 2>&1
  ) 9>"$WINEPREFIX.lock"
fi
case $1 in
  # A server still running (from a program just ended, or a run that was
  # interrupted) is not a persistent one: it is stopped first. Wine's
  # background programs (services and the like) start with the first
  # program and live as long as the server: they are started here, away
  # from the output of any test, which would otherwise stay open.
  --server-start)
    if ! '@XT_WINESERVER@' -p 2>/dev/null; then
      '@XT_WINESERVER@' -k; '@XT_WINESERVER@' -w
      '@XT_WINESERVER@' -p || exit 1
    fi
    exec '@XT_WINE@' wineboot </dev/null >/dev/null 2>&1 ;;
  --server-stop) exec '@XT_WINESERVER@' -k ;;
esac
exec '@XT_WINE@' "$@"
]=])
  file(CHMOD ${XT_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                       WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${XT_WINE_RUN})
endif()

# GoogleTest from Debian's sources, built with the cross compiler (its
# targets GTest::gtest and GTest::gtest_main, as find_package gives them).
if(XT_TESTS)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
