#!/usr/bin/env bash
# Builds the browser release with Emscripten (WebAssembly and WebGL 2) and writes the static
# site to build-web/site/. The libraries are built from Debian's own source packages into
# build-web/deps once and reused. The large files get precompressed copies beside them
# (NAME.gz, NAME.br) for servers that send those. With --serve, serves the site on
# 127.0.0.1 afterwards.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-web"
deps="$out/deps"
prefix="$deps/prefix"
headers="$deps/headers"
jobs="$(nproc)"
# Debian's Emscripten finds its Node.js modules only here.
export NODE_PATH=/usr/share/nodejs

source tools/debian-source.sh
# Libraries are configured through Emscripten's wrapper of CMake.
configure=(emcmake cmake)
building="Building %s for the web"

started=$SECONDS
tools/install-deps.sh
install_missing emscripten dpkg-dev brotli
ensure_source_entries
mkdir -p "$deps"

build_freetype
# The logic tests run under Node; GoogleTest's source comes with libgtest-dev.
build_library googletest /usr/src/googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON
build_bullet
copy_headers
echo "Dependencies ready after $((SECONDS - started)) s"

# The models and images are the same on every system: the Linux build generates them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" --target orbelune_assets

emcmake cmake -S . -B "$out/game" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix;$headers" -DCMAKE_FIND_ROOT_PATH="$prefix;$headers" \
  -DORBELUNE_BENCHMARKS=OFF -DORBELUNE_WEB_ASSETS_DIR="$root/build/run/assets" \
  -DORBELUNE_WEB_FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf \
  -DORBELUNE_WEB_FONT_LICENCE=/usr/share/doc/fonts-liberation/copyright >"$out/game-configure.log" 2>&1 \
  || { echo "Configuring the browser build failed:" >&2; tail -30 "$out/game-configure.log" >&2; exit 1; }
cmake --build "$out/game" -j"$jobs"

site="$out/site"
rm -rf "$site"
mkdir -p "$site"
run="$out/game/run"
cp "$run/index.html" "$run/page.js" "$run/orbelune.js" "$run/orbelune.wasm" "$run/orbelune.data" \
  "$run/LICENCE-LiberationSans.txt" "$site/"
# A server that finds NAME.gz or NAME.br beside NAME may send it to a browser that accepts
# the encoding (tests/web/serve.js does); the player then downloads that instead.
for file in orbelune.js orbelune.wasm orbelune.data; do
  gzip -9 -n -k "$site/$file"
  brotli -q 11 -k "$site/$file"
done
# What a player downloads changes with every build, so it is measured here, not written down.
sizes() { for file in orbelune.js orbelune.wasm orbelune.data; do stat -c %s "$site/$file$1"; done | awk '{ total += $1 } END { print total }'; }
printf 'A player downloads %s bytes, %s with gzip, %s with Brotli\n' "$(sizes '')" "$(sizes .gz)" "$(sizes .br)" |
  tee "$out/download-sizes.txt"
echo "Wrote $site after $((SECONDS - started)) s"

if [ "${1:-}" = --serve ]; then
  exec node tests/web/serve.js "$site"
fi
