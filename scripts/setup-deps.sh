#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Run as root (or with sudo); otherwise prints what to install.
#
#   scripts/setup-deps.sh             the Linux build's packages
#   scripts/setup-deps.sh --windows   also the Windows build's: the mingw-w64
#       cross compiler, Wine, GoogleTest's sources, and SQLite and libpq
#       cross-built for Windows from Debian's source packages (the versions
#       the Linux build uses). These go to a cache outside the build
#       directory, one directory per version of SQLite, PostgreSQL and the
#       cross compiler, built once per machine; its path is printed on
#       standard output (include/, lib/ and bin/ below it), everything else
#       goes to standard error. The cache is /var/cache/xtancar-win for
#       root, ${XDG_CACHE_HOME:-~/.cache}/xtancar-win otherwise, or
#       XT_WIN_CACHE.
set -euo pipefail

windows=0
case ${1:-} in
  "") ;;
  --windows) windows=1 ;;
  *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

# dpkg-dev, lintian and zip: scripts/package.sh.
packages=(build-essential cmake ninja-build libsqlite3-dev sqlite3 libgtest-dev python3
          libbenchmark-dev tmux openssl libssl-dev apache2-bin curl ccache
          clang clang-tidy cppcheck libclang-rt-14-dev postgresql libpq-dev
          groff-base man-db dpkg-dev lintian zip)
# The cross compiler with the posix thread model (std::thread, std::mutex),
# Wine to run the tests, GoogleTest's sources to build it with the cross
# compiler, Tcl for SQLite's amalgamation, dpkg-dev for `apt-get source`,
# and what PostgreSQL's configure runs.
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 googletest
                  tcl dpkg-dev perl make pkg-config)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
version() { dpkg-query -W -f='${Version}' "$1"; }

wanted=("${packages[@]}")
[ $windows = 0 ] || wanted+=("${windows_packages[@]}")
missing=()
for p in "${wanted[@]}"; do installed "$p" || missing+=("$p"); done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
[ $windows = 1 ] || exit 0

# ---- SQLite and libpq for Windows -------------------------------------------

cross=x86_64-w64-mingw32
sqlite_version=$(version libsqlite3-dev)
pg_version=$(version libpq-dev)
mingw_version=$(version g++-mingw-w64-x86-64-posix)
if [ -n "${XT_WIN_CACHE:-}" ]; then
  cache=$XT_WIN_CACHE
elif [ "$(id -u)" -eq 0 ]; then
  cache=/var/cache/xtancar-win
else
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/xtancar-win
fi
prefix=$cache/sqlite-${sqlite_version}_pq-${pg_version}_mingw-${mingw_version}
if [ -f "$prefix/complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
# One build at a time per machine; a second caller waits and finds it done.
exec 9>"$cache/lock"
flock 9
if [ -f "$prefix/complete" ]; then
  echo "$prefix"
  exit 0
fi

say() { echo "setup-deps: $*" >&2; }
started=$SECONDS
work=$(mktemp -d "$cache/build.XXXXXX")
log=$cache/build.log
: >"$log"
trap 'rm -rf "$work"' EXIT
# Runs a build step with its output in the log; shows the log's end when it fails.
run() {
  echo "+ $*" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    echo "setup-deps: failed: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

# `apt-get source` needs deb-src entries. They are the system's own Debian
# entries with the type changed, in a file of this script's own.
has_deb_src() {
  grep -qs '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}
if ! has_deb_src; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "No deb-src entries for apt-get source: run $0 --windows as root once" >&2
    exit 1
  fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      >/etc/apt/sources.list.d/xtancar-deb-src.sources
  elif [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/xtancar-deb-src.list
  else
    echo "No Debian sources entry to copy for deb-src" >&2
    exit 1
  fi
  say "added the deb-src entries; apt-get update"
  run apt-get update -qq
fi

mkdir -p "$work/prefix/include" "$work/prefix/lib" "$work/prefix/bin"

# SQLite: the amalgamation made from Debian's source, compiled into a static
# library with the feature macros Debian's build uses.
say "SQLite $sqlite_version from Debian's source"
mkdir "$work/sqlite"
(cd "$work/sqlite" && run apt-get source -qq "sqlite3=$sqlite_version")
sqlite_src=$(find "$work/sqlite" -mindepth 1 -maxdepth 1 -type d -name 'sqlite3-*' | head -n 1)
(cd "$sqlite_src" && run ./configure && run make sqlite3.c)
# The -DSQLITE_... macros of Debian's build (debian/rules), so that both
# builds have the same features and limits.
sqlite_defines=$(grep -o -- '-DSQLITE_[A-Z0-9_]*\(=[A-Za-z0-9_]*\)\?' "$sqlite_src/debian/rules" | sort -u | tr '\n' ' ')
# shellcheck disable=SC2086  # one word per macro
run $cross-gcc-posix -O2 -DSQLITE_THREADSAFE=1 $sqlite_defines -c "$sqlite_src/sqlite3.c" -o "$work/sqlite/sqlite3.o"
run $cross-ar rcs "$work/prefix/lib/libsqlite3.a" "$work/sqlite/sqlite3.o"
cp "$sqlite_src/sqlite3.h" "$work/prefix/include/"
say "SQLite done ($((SECONDS - started)) s)"

# libpq: Debian's PostgreSQL source configured for Windows, only the client
# library built: libpq.dll and its import library libpq.a.
say "libpq $pg_version from Debian's source"
mkdir "$work/pg"
(cd "$work/pg" && run apt-get source -qq "postgresql-${pg_version%%.*}=$pg_version")
pg_src=$(find "$work/pg" -mindepth 1 -maxdepth 1 -type d -name 'postgresql-*' | head -n 1)
(cd "$pg_src" && run ./configure --host=$cross --without-readline --without-zlib --without-icu \
   CC=$cross-gcc-posix)
run make -C "$pg_src/src/interfaces/libpq" -j "${XT_JOBS:-2}"
cp "$pg_src/src/interfaces/libpq/libpq.dll" "$work/prefix/bin/"
cp "$pg_src/src/interfaces/libpq/libpq.a" "$work/prefix/lib/"
cp "$pg_src/src/interfaces/libpq/libpq-fe.h" "$pg_src/src/include/postgres_ext.h" \
   "$pg_src/src/include/pg_config_ext.h" "$work/prefix/include/"
say "libpq done ($((SECONDS - started)) s)"

touch "$work/prefix/complete"
rm -rf "$prefix"
mv "$work/prefix" "$prefix"
echo "$prefix"
