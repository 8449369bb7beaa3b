#!/usr/bin/env bash
# Cross-builds the Windows x86-64 release on Debian and packs it as
# build-windows/orbelune-windows-x86_64.zip. The libraries are built from Debian's own source
# packages into build-windows/deps once and reused; whatever is missing there is rebuilt.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-windows"
deps="$out/deps"
prefix="$deps/prefix"
headers="$deps/headers"
jobs="$(nproc)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

source tools/debian-source.sh
configure=(cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain")
building="Cross-building %s"

# GLEW builds from its one generated source file; the game compiles it with GLEW_STATIC.
copy_glew() {
  if [ -f "$deps/glew.copied" ]; then
    return
  fi
  local source
  source="$(unpack_source glew)"
  rm -rf "$deps/glew"
  mkdir -p "$deps/glew/include/GL" "$deps/glew/src"
  cp "$source"/include/GL/*.h "$deps/glew/include/GL/"
  cp "$source/src/glew.c" "$deps/glew/src/"
  touch "$deps/glew.copied"
}

started=$SECONDS
tools/install-deps.sh
install_missing g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 dpkg-dev zip
ensure_source_entries
mkdir -p "$deps"

build_library glfw3 . -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF -DGLFW_BUILD_DOCS=OFF
build_freetype
build_library googletest . -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
build_bullet
# OpenAL Soft: Debian 12's source answers 404, so the upstream tarball Debian 13 ships. One
# DLL with the MinGW runtime linked in, so that it needs only Windows' own DLLs as the game
# does; it ships beside the game, where a player may replace it (its licence, the LGPL, asks that).
openal="$(unpack_other_release_tarball openal-soft 1:1.24.2-1 trixie)"
build_library openal-soft "$openal" -DLIBTYPE=SHARED -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF \
  -DALSOFT_TESTS=OFF -DALSOFT_INSTALL_CONFIG=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF \
  -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF -DALSOFT_STATIC_LIBGCC=ON -DALSOFT_STATIC_STDCXX=ON \
  -DALSOFT_STATIC_WINPTHREAD=ON -DALSOFT_REQUIRE_WASAPI=ON -DALSOFT_BACKEND_PIPEWIRE=OFF
copy_glew
copy_headers
echo "Dependencies ready after $((SECONDS - started)) s"

# The models and images are the same on every system: the Linux build generates them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" --target orbelune_assets orbelune_shaders

cmake -S . -B "$out/game" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix;$headers" -DORBELUNE_GLEW_SOURCE_DIR="$deps/glew" \
  -DORBELUNE_BENCHMARKS=OFF >/dev/null
cmake --build "$out/game" -j"$jobs"

exe="$out/game/run/orbelune.exe"
openal_dll="$prefix/bin/OpenAL32.dll"
# Only DLLs every Windows has: anything else would have to ship beside the game. The game
# imports one more, OpenAL32.dll, which ships beside it and imports only system DLLs itself.
system_dlls='kernel32|user32|gdi32|shell32|opengl32|advapi32|ole32|avrt|msvcrt|ws2_32|winmm|imm32|version|api-ms-win-crt-.*'
imports_of() {
  x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/.*DLL Name: //p' | sort -u
}
unexpected="$(imports_of "$openal_dll" | grep -viE "^($system_dlls)\.dll$" || true)"
if [ -n "$unexpected" ]; then
  echo "OpenAL32.dll imports non-system DLLs:" $unexpected >&2
  exit 1
fi
unexpected="$(imports_of "$exe" | grep -viE "^($system_dlls|OpenAL32)\.dll$" || true)"
if [ -n "$unexpected" ]; then
  echo "orbelune.exe imports non-system DLLs:" $unexpected >&2
  exit 1
fi
if ! imports_of "$exe" | grep -qx OpenAL32.dll; then
  echo "orbelune.exe does not import OpenAL32.dll: the build found no OpenAL and is silent" >&2
  exit 1
fi

package="$out/package"
rm -rf "$out/package" "$out/orbelune-windows-x86_64.zip"
mkdir -p "$package"
x86_64-w64-mingw32-strip -o "$package/orbelune.exe" "$exe"
x86_64-w64-mingw32-strip -o "$package/OpenAL32.dll" "$openal_dll"
# Its licence, and which source it was built from, so that a player can build and replace it.
mkdir -p "$package/openal-soft"
sed 's/$/\r/' "$openal/COPYING" >"$package/openal-soft/COPYING.txt"
sed 's/$/\r/' "$openal/LICENSE-pffft" >"$package/openal-soft/LICENSE-pffft.txt"
read -r address file size hash <"$deps/src/openal-soft.origin"
sed -e "s|@FILE@|$file|" -e "s|@SIZE@|$size|" -e "s|@SHA256@|${hash#SHA256:}|" -e "s|@ADDRESS@|$address|" \
  -e 's/$/\r/' tools/windows-openal-source.txt >"$package/openal-soft/SOURCE.txt"
cp -r build/run/shaders "$package/shaders"
cp -r build/run/assets "$package/assets"
rm -f "$package/assets/.generated" "$package/assets/scores.txt"
sed 's/$/\r/' tools/windows-readme.txt >"$package/README.txt"
(cd "$package" && zip -qr "$out/orbelune-windows-x86_64.zip" .)
echo "Wrote $out/orbelune-windows-x86_64.zip after $((SECONDS - started)) s"
