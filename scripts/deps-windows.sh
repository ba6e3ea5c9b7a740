#!/usr/bin/env bash
# The Windows build's dependencies.
#
#   bash scripts/deps-windows.sh [x86_64] [i686]     (both when none is named)
#
# Installs the Debian packages it needs when one is missing (the MinGW-w64
# cross compilers of the posix thread model, libgcrypt built for MinGW,
# GoogleTest's sources, wine for the 64-bit programs), then builds the
# libraries that Debian has no MinGW build of, once per architecture, into
#
#   ${QOR_MINGW_CACHE:-~/.cache/qor-mingw}/<key>/<arch>/   (include/, lib/, share/)
#
# where <key> is worked out from scripts/windows-deps.env and this script, so
# a changed pin or recipe builds a new set and later runs reuse a built one.
# cmake/mingw.cmake finds the set the same way. Prints the set's folder of
# each architecture it built or found.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/deps.sh

archs=("$@")
((${#archs[@]})) || archs=(x86_64 i686)

pkgs=(dpkg-dev patch googletest nlohmann-json3-dev libgcrypt-mingw-w64-dev wine wine64)
for a in "${archs[@]}"; do
  case $a in
    x86_64) pkgs+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64) ;;
    i686) pkgs+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686) ;;
    *) echo "deps-windows: unknown architecture $a (x86_64 or i686)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# shellcheck source=windows-deps.env
source scripts/windows-deps.env
key=$(cat scripts/windows-deps.env scripts/deps-windows.sh | sha256sum | cut -c1-12)
cache=${QOR_MINGW_CACHE:-$HOME/.cache/qor-mingw}
base=$cache/$key
mkdir -p "$base/src"

check_sha() {  # FILE SHA256
  echo "$2  $1" | sha256sum -c --quiet - || { echo "deps-windows: $1 is not the pinned file" >&2; exit 1; }
}

# Debian's source package PACKAGE=VERSION, its upstream tarball checked
# against SHA256 and unpacked into FOLDER with Debian's patches applied,
# through a private apt configuration whose entries are the machine's own
# with their source form, so the machine's configuration stays as it is.
fetch_debian_source() {  # PACKAGE VERSION SHA256 FOLDER
  local package=$1 version=$2 sha=$3 dir=$4
  local apt=$base/src/apt
  mkdir -p "$apt/lists/partial" "$apt/parts" "$apt/get"
  if [ -z "${apt_updated:-}" ]; then
    : >"$apt/sources.list"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] && sed -n 's/^deb \(.*\)$/deb-src \1/p' "$f" >>"$apt/sources.list"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt/parts/$(basename "$f")"
    done
  fi
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache::archives=$apt/get" -o APT::Sandbox::User=root)
  [ -n "${apt_updated:-}" ] || { apt-get "${opts[@]}" update -qq && apt_updated=1; }
  (cd "$apt/get" && apt-get "${opts[@]}" source --download-only -qq "$package=$version")
  local orig
  orig=$(ls "$apt"/get/"${package}"_*.orig.tar.*)
  check_sha "$orig" "$sha"
  rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
  tar -xf "$orig" -C "$dir.tmp" --strip-components=1
  local debian
  debian=$(ls "$apt"/get/"${package}_${version}".debian.tar.* 2>/dev/null || true)
  if [ -n "$debian" ]; then
    tar -xf "$debian" -C "$dir.tmp"
    if [ -f "$dir.tmp/debian/patches/series" ]; then
      grep -v '^[[:space:]]*\(#\|$\)' "$dir.tmp/debian/patches/series" | while read -r p _; do
        patch -d "$dir.tmp" -p1 -s <"$dir.tmp/debian/patches/$p"
      done
    fi
  fi
  mv "$dir.tmp" "$dir"
}

fetch_pugixml() {
  [ -f "$base/src/pugixml/src/pugixml.cpp" ] ||
    fetch_debian_source pugixml "$PUGIXML_DEBIAN_VERSION" "$PUGIXML_ORIG_SHA256" "$base/src/pugixml"
}

# cpp-httplib: its one header, used as it is (no library of it is built).
fetch_httplib() {
  [ -f "$base/src/httplib/httplib.h" ] ||
    fetch_debian_source cpp-httplib "$HTTPLIB_DEBIAN_VERSION" "$HTTPLIB_ORIG_SHA256" "$base/src/httplib"
}

# SQLite: the amalgamation out of the pinned npm package's tarball.
fetch_sqlite() {
  local dir=$base/src/sqlite
  [ -f "$dir/sqlite3.c" ] && return
  local get=$base/src/npm
  rm -rf "$get" && mkdir -p "$get"
  (cd "$get" && npm pack --silent "$SQLITE_NPM_PACKAGE" >/dev/null)
  local tgz
  tgz=$(ls "$get"/*.tgz)
  check_sha "$tgz" "$SQLITE_NPM_SHA256"
  tar -xzf "$tgz" -C "$get" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  check_sha "$get/package/deps/sqlite3/sqlite3.c" "$SQLITE_C_SHA256"
  check_sha "$get/package/deps/sqlite3/sqlite3.h" "$SQLITE_H_SHA256"
  grep -q "define SQLITE_VERSION *\"$SQLITE_VERSION\"" "$get/package/deps/sqlite3/sqlite3.h"
  rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
  mv "$get"/package/deps/sqlite3/sqlite3.[ch] "$dir.tmp/"
  mv "$dir.tmp" "$dir"
  rm -rf "$get"
}

build_arch() {  # ARCH
  local arch=$1 prefix=$base/$1
  local stamp=$prefix/built
  if [ -f "$stamp" ]; then
    echo "$prefix"
    return
  fi
  local tc=$root/cmake/mingw-$arch.cmake cc=$arch-w64-mingw32-gcc-posix
  local work=$base/build-$arch
  rm -rf "$prefix" "$work" && mkdir -p "$prefix/include" "$prefix/lib" "$work"
  local jobs; jobs=$(nproc)
  export QOR_MINGW_BOOTSTRAP=1
  local cmk=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF)

  cmake -S "$base/src/pugixml" -B "$work/pugixml" "${cmk[@]}" -DPUGIXML_BUILD_TESTS=OFF >/dev/null
  cmake --build "$work/pugixml" -j "$jobs" >/dev/null
  cmake --install "$work/pugixml" >/dev/null

  cmake -S /usr/src/googletest -B "$work/gtest" "${cmk[@]}" >/dev/null
  cmake --build "$work/gtest" -j "$jobs" >/dev/null
  cmake --install "$work/gtest" >/dev/null

  # SQLite as a static library: linked into the simulated printer only, so
  # its symbols are not exported by any DLL.
  "$cc" -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_DQS=0 -DSQLITE_OMIT_LOAD_EXTENSION \
    -c "$base/src/sqlite/sqlite3.c" -o "$work/sqlite3.o"
  "$arch-w64-mingw32-ar" rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$base/src/sqlite/sqlite3.h" "$prefix/include/"

  cp "$base/src/httplib/httplib.h" "$prefix/include/"

  # nlohmann-json: Debian's headers and package files, at the same places.
  cp -r /usr/include/nlohmann "$prefix/include/"
  mkdir -p "$prefix/share/cmake"
  cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"

  {
    echo "pugixml $PUGIXML_DEBIAN_VERSION (Debian source)"
    echo "cpp-httplib $HTTPLIB_DEBIAN_VERSION (Debian source)"
    echo "sqlite $SQLITE_VERSION ($SQLITE_NPM_PACKAGE)"
    dpkg-query -W -f='${Package} ${Version}\n' googletest nlohmann-json3-dev libgcrypt-mingw-w64-dev \
      "g++-mingw-w64-${arch/_/-}-posix"
  } >"$stamp.tmp"
  mv "$stamp.tmp" "$stamp"
  rm -rf "$work"
  echo "$prefix"
}

fetch_pugixml
fetch_httplib
fetch_sqlite
for a in "${archs[@]}"; do build_arch "$a"; done
