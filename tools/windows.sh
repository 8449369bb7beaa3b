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
build_library freetype . -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
build_library googletest . -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
build_library bullet . --targets BulletDynamics,BulletCollision,LinearMath \
  -DBUILD_BULLET3=OFF -DBUILD_BULLET2_DEMOS=OFF -DBUILD_CPU_DEMOS=OFF -DBUILD_OPENGL3_DEMOS=OFF \
  -DBUILD_EXTRAS=OFF -DBUILD_UNIT_TESTS=OFF -DBUILD_PYBULLET=OFF -DUSE_GRAPHICAL_BENCHMARK=OFF
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
# Only DLLs every Windows has: anything else would have to ship beside the game.
imports="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/.*DLL Name: //p' | sort -u)"
unexpected="$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|shell32|opengl32|advapi32|ole32|msvcrt|ws2_32|winmm|imm32|version|api-ms-win-crt-.*)\.dll$' || true)"
if [ -n "$unexpected" ]; then
  echo "orbelune.exe imports non-system DLLs:" $unexpected >&2
  exit 1
fi

package="$out/package"
rm -rf "$out/package" "$out/orbelune-windows-x86_64.zip"
mkdir -p "$package"
x86_64-w64-mingw32-strip -o "$package/orbelune.exe" "$exe"
cp -r build/run/shaders "$package/shaders"
cp -r build/run/assets "$package/assets"
rm -f "$package/assets/.generated" "$package/assets/scores.txt"
sed 's/$/\r/' tools/windows-readme.txt >"$package/README.txt"
(cd "$package" && zip -qr "$out/orbelune-windows-x86_64.zip" .)
echo "Wrote $out/orbelune-windows-x86_64.zip after $((SECONDS - started)) s"
