#!/usr/bin/env bash
# Makes the packages to ship, in OUTDIR (default build-packages/):
#
#   xtancar_VERSION_ARCH.deb          the programs, their manual pages, the
#                                     template of a new installation
#                                     (/usr/share/xtancar/installation) and
#                                     the README, optimised and stripped
#   xtancar-dbgsym_VERSION_ARCH.deb   their debug symbols, by build id
#   xtancar-VERSION-win64.zip         when a Windows build is there (WIN-DIR,
#                                     default build-win, from
#                                     scripts/build-windows.sh): the Windows
#                                     programs, libpq.dll, the template and
#                                     README.txt
#
# Usage: scripts/package.sh [OUTDIR [WIN-DIR]]
#
# The Debian package comes from a clean Release build in build-deb/ with
# Debian's build flags (dpkg-buildflags, hardening on), and its files are
# what `cmake --install` puts in place: CMakeLists.txt's install() rules are
# the one list of shipped files. The version is the CMake project's and must
# be the one at the top of packaging/debian/changelog. The dependencies are
# the packages of the shared libraries the programs are linked with
# (dpkg-shlibdeps). lintian checks the packages: its errors fail the script,
# its warnings are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out=$(realpath -m "${1:-build-packages}")
win_dir=${2:-build-win}
build=$source_dir/build-deb
jobs=${XT_JOBS:-2}
[ "$jobs" -le 2 ] || jobs=2
say() { echo "package: $*" >&2; }
for tool in dpkg-deb dpkg-shlibdeps dpkg-gencontrol objcopy strip gzip lintian; do
  command -v $tool >/dev/null || { echo "$tool is missing: run scripts/setup-deps.sh" >&2; exit 1; }
done

# ---- Build -------------------------------------------------------------------

# Debian's flags (-O2 -g, hardening) in place of CMake's Release -O3.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The packages' file times are the changelog entry's (reproducible builds).
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/debian/changelog -S Timestamp)
export SOURCE_DATE_EPOCH
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
rm -rf "$build"
say "Release build in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXT_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_PROJECT_INCLUDE="$source_dir/packaging/debian/project-version.cmake" >/dev/null
cmake --build "$build" -j "$jobs" --target xtancar xtdata

# The package's version is the program's (the CMake project's) with the
# packaging's revision: 1.0.0-1, 1.0.0-2 when only the packaging changes.
upstream=$(cat "$build/project-version.txt")
[ -n "$upstream" ] || { echo "CMakeLists.txt's project() gives no VERSION" >&2; exit 1; }
version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
if [ "${version%-*}" != "$upstream" ]; then
  echo "packaging/debian/changelog is at $version, the CMake project at $upstream:" \
       "add a changelog entry for $upstream-1" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
say "version $version ($arch)"

# ---- The installed tree --------------------------------------------------------

stage=$build/stage/xtancar
dbg=$build/stage/xtancar-dbgsym
mkdir -p "$stage" "$dbg"
DESTDIR=$stage cmake --install "$build" >/dev/null
doc=$stage/usr/share/doc/xtancar
install -m 644 packaging/debian/copyright "$doc/copyright"
install -m 644 packaging/debian/changelog "$doc/changelog.Debian"
gzip -9n "$doc/changelog.Debian"
# The lintian warnings kept on purpose, each with its reason.
install -D -m 644 packaging/debian/lintian-overrides "$stage/usr/share/lintian/overrides/xtancar"
if [ -d "$stage/usr/share/man" ]; then
  find "$stage/usr/share/man" -type f -name '*.[1-9]' -exec gzip -9n {} +
else
  say "no manual pages in man/ yet: the package has none"
fi
# Plain files 644, directories and the programs 755, whatever the umask.
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage/usr/bin/"*

# Debug symbols apart, under their build id; the programs stripped as
# dh_strip does.
build_ids=()
for program in "$stage/usr/bin/"*; do
  id=$(readelf -n "$program" | sed -n 's/^ *Build ID: *\([0-9a-f]*\)$/\1/p')
  [ -n "$id" ] || { echo "$program has no build id" >&2; exit 1; }
  build_ids+=("$id")
  debug=$dbg/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug
  mkdir -p "$(dirname "$debug")"
  objcopy --only-keep-debug --compress-debug-sections "$program" "$debug"
  chmod 644 "$debug"
  strip --remove-section=.comment --remove-section=.note --remove-section=.gnu_debuglink "$program"
done

# ---- Control files ------------------------------------------------------------

# dpkg-shlibdeps and dpkg-gencontrol work in a source tree: a scratch one
# with the packaging's control file and changelog.
scratch=$build/stage/source
mkdir -p "$scratch/debian"
cp packaging/debian/control packaging/debian/changelog "$scratch/debian/"
mkdir -p "$stage/DEBIAN"
(cd "$scratch" &&
 dpkg-shlibdeps -Tdebian/substvars "$stage/usr/bin/"* &&
 dpkg-gencontrol -pxtancar -P"$stage" -Tdebian/substvars)
say "$(grep '^Depends:' "$stage/DEBIAN/control")"
(cd "$stage" && find usr -type f -printf '%P\0' | sort -z |
   (cd usr && xargs -0 md5sum) | sed 's,  ,  usr/,' >DEBIAN/md5sums)

mkdir -p "$dbg/usr/share/doc" "$dbg/DEBIAN"
ln -s xtancar "$dbg/usr/share/doc/xtancar-dbgsym"
maintainer=$(sed -n 's/^Maintainer: //p' packaging/debian/control)
cat >"$dbg/DEBIAN/control" <<EOF
Package: xtancar-dbgsym
Source: xtancar
Version: $version
Auto-Built-Package: debug-symbols
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size "$dbg/usr" | cut -f1)
Depends: xtancar (= $version)
Section: debug
Priority: optional
Description: debug symbols for xtancar
Build-Ids: ${build_ids[*]}
EOF
(cd "$dbg" && find usr -type f -printf '%P\0' | sort -z |
   (cd usr && xargs -0 md5sum) | sed 's,  ,  usr/,' >DEBIAN/md5sums)
chmod 644 "$stage/DEBIAN/"* "$dbg/DEBIAN/"*

# ---- Packages -------------------------------------------------------------------

mkdir -p "$out"
deb=$out/xtancar_${version}_$arch.deb
dbgsym=$out/xtancar-dbgsym_${version}_$arch.deb
dpkg-deb --root-owner-group --build "$stage" "$deb" >/dev/null
dpkg-deb --root-owner-group --build "$dbg" "$dbgsym" >/dev/null
say "made $deb"
say "made $dbgsym"

lintian --fail-on error "$deb" "$dbgsym" >&2

# ---- Windows ----------------------------------------------------------------------

if [ -f "$win_dir/xtancar.exe" ]; then
  for f in xtancar.exe xtdata.exe libpq.dll; do
    [ -f "$win_dir/$f" ] || { echo "$win_dir has no $f" >&2; exit 1; }
  done
  zip_name=xtancar-$upstream-win64
  zip_root=$build/stage/$zip_name
  mkdir -p "$zip_root"
  cp "$win_dir/xtancar.exe" "$win_dir/xtdata.exe" "$win_dir/libpq.dll" "$zip_root/"
  cp -r "$stage/usr/share/xtancar/installation" "$zip_root/installation"
  sed 's/$/\r/' >"$zip_root/README.txt" <<EOF
xtancar $upstream for Windows (64-bit)

Installing
----------
Copy xtancar.exe, xtdata.exe and libpq.dll into one folder, for instance
C:\\xtancar\\. The C and C++ runtimes and SQLite are linked into the
programs; libpq.dll needs only Windows' own DLLs.

A new installation directory starts as a copy of the folder "installation"
(for instance to C:\\tav\\), and each terminal gets its own copy of
installation\\sessio (for instance C:\\tav\\sessio\\t1\\). Copy it from the
folder "installation", not from a session that has been used. Set Operador
in each session's Sessio.ini to the operator signed on there.

Running
-------
In cmd.exe or Windows Terminal, with a window of at least 80 columns by
25 lines:

    set TAVROOT=C:\\tav\\
    set TAVTMP=C:\\tav\\sessio\\t1\\
    C:\\xtancar\\xtancar.exe

xtdata.exe takes the same commands as xtdata on Linux.

The files of an installation are the same on Windows and Linux, so an
installation can be moved from one to the other as it is. Terminals on
several hosts that share one installation keep the data on a PostgreSQL
server (Vexa.ini, [Dades] Servidor): a data file on a network drive or
share is refused. This libpq.dll is built without OpenSSL, so a Servidor
with sslmode=require is refused; reach the server over a trusted network
or a tunnel.
EOF
  zip_file=$out/$zip_name.zip
  rm -f "$zip_file"
  (cd "$build/stage" && zip -qrX "$zip_file" "$zip_name")
  say "made $zip_file"
else
  say "no Windows build in $win_dir: no zip"
fi
