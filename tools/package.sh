#!/usr/bin/env bash
# Builds the Debian package the way Debian builds its own: the compiler and linker flags of
# dpkg-buildflags with every hardening feature, build paths mapped away, and all time stamps
# taken from the last commit, so that the same commit gives the same .deb in any folder.
# The tests and benchmarks are left out of this build.
# Usage: tools/package.sh [build directory, default build-deb]; prints the .deb's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-deb}"
# The modes of the files cpack writes follow the umask; dpkg-buildpackage sets this one too.
umask 022

tools/install-deps.sh dpkg-dev

export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
# dpkg-buildflags maps the folder it is called from to "."; the build folder must lie inside it.
CPPFLAGS="$(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
case "$(cd "$(dirname "$build")" && pwd)/" in
  "$PWD"/*) ;;
  *) echo "package: the build directory $build is outside $PWD, whose paths alone are mapped" >&2; exit 1 ;;
esac

# CMake reads no CPPFLAGS, so the preprocessor flags (fortified functions) ride with the
# compiler's, as debhelper passes them. The None build type adds no flags of its own.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DORBELUNE_TESTS=OFF -DORBELUNE_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/package/orbelune_${version}_amd64.deb"
[ -f "$deb" ] || { echo "package: cpack made no $deb" >&2; exit 1; }
echo "$deb"
