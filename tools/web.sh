#!/usr/bin/env bash
# Builds the browser release with Emscripten (WebAssembly and WebGL 2) and writes the static
# site to build-web/site/. The libraries are built from Debian's own source packages into
# build-web/deps once and reused. With --serve, serves the site on 127.0.0.1 afterwards.
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

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
}

# apt-get source needs a deb-src entry; add one for the archive the binaries come from.
ensure_source_entries() {
  if apt-get source --print-uris freetype >/dev/null 2>&1; then
    return
  fi
  echo "Adding a deb-src entry for the Debian archive"
  local codename
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  $sudo tee /etc/apt/sources.list.d/orbelune-deb-src.sources >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $sudo apt-get update -qq
}

# Unpacks Debian's source of $1 into $deps/src/$1 (once) and prints that folder. Debian's
# patches are left out: they adapt the builds to Debian's own layout.
unpack_source() {
  local name="$1" dir="$deps/src/$1"
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir" "$deps/download/$name"
    mkdir -p "$deps/download/$name" "$deps/src"
    (cd "$deps/download/$name" && apt-get source --download-only -qq "$name" \
      && dpkg-source --no-check --skip-patches -x ./*.dsc "$dir") >"$deps/$name-source.log" 2>&1 \
      || { echo "Could not fetch Debian's source of $name:" >&2; tail -20 "$deps/$name-source.log" >&2; exit 1; }
    rm -rf "$deps/download/$name"
    touch "$dir/.unpacked"
  fi
  echo "$dir"
}

# Builds one CMake library with Emscripten and installs it into $prefix, unless it is there
# already. With --targets, only those are built and `install_$name` copies them. A source
# folder given as an absolute path is used as it is.
build_library() {
  local name="$1" source_subdir="$2" targets=()
  shift 2
  if [ "${1:-}" = --targets ]; then
    IFS=, read -r -a targets <<<"$2"
    shift 2
  fi
  local stamp="$deps/$name.built"
  if [ -f "$stamp" ]; then
    return
  fi
  local started=$SECONDS source build="$deps/build/$name"
  if [[ "$source_subdir" = /* ]]; then
    source="$source_subdir"
    source_subdir=.
  else
    source="$(unpack_source "$name")"
  fi
  echo "Building $name for the web"
  rm -rf "$build"
  {
    emcmake cmake -S "$source/$source_subdir" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
      -DBUILD_SHARED_LIBS=OFF -DCMAKE_POLICY_DEFAULT_CMP0077=NEW "$@"
    if [ ${#targets[@]} -gt 0 ]; then
      cmake --build "$build" -j"$jobs" --target "${targets[@]}"
      "install_$name" "$source" "$build"
    else
      cmake --build "$build" -j"$jobs"
      cmake --install "$build"
    fi
  } >"$deps/$name.log" 2>&1 || { tail -30 "$deps/$name.log"; exit 1; }
  rm -rf "$build"
  echo "  $name took $((SECONDS - started)) s"
  touch "$stamp"
}

# The three Bullet libraries the game links, and their headers as Bullet installs them.
install_bullet() {
  local source="$1" build="$2" library
  mkdir -p "$prefix/include/bullet" "$prefix/lib"
  cp "$source"/src/btBullet*Common.h "$prefix/include/bullet/"
  for library in LinearMath BulletCollision BulletDynamics; do
    (cd "$source/src" && find "$library" -name '*.h' -exec cp --parents {} "$prefix/include/bullet/" \;)
    cp "$(find "$build" -name "lib$library.a" | head -n 1)" "$prefix/lib/"
  done
}

# The header-only libraries come from the Debian -dev packages, in a folder of their own so
# that /usr/include never reaches Emscripten's compiler.
copy_headers() {
  rm -rf "$headers"
  mkdir -p "$headers/include"
  cp -r /usr/include/glm "$headers/include/"
  cp /usr/include/stb/stb_image.h /usr/include/tiny_obj_loader.h "$headers/include/"
}

started=$SECONDS
tools/install-deps.sh
install_missing emscripten dpkg-dev
ensure_source_entries
mkdir -p "$deps"

build_library freetype . -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
# The logic tests run under Node; GoogleTest's source comes with libgtest-dev.
build_library googletest /usr/src/googletest -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON
build_library bullet . --targets BulletDynamics,BulletCollision,LinearMath \
  -DBUILD_BULLET3=OFF -DBUILD_BULLET2_DEMOS=OFF -DBUILD_CPU_DEMOS=OFF -DBUILD_OPENGL3_DEMOS=OFF \
  -DBUILD_EXTRAS=OFF -DBUILD_UNIT_TESTS=OFF -DBUILD_PYBULLET=OFF -DUSE_GRAPHICAL_BENCHMARK=OFF
copy_headers
echo "Dependencies ready after $((SECONDS - started)) s"

# The models and images are the same on every system: the Linux build generates them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$jobs" --target orbelune_assets

emcmake cmake -S . -B "$out/game" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix;$headers" -DCMAKE_FIND_ROOT_PATH="$prefix;$headers" \
  -DORBELUNE_BENCHMARKS=OFF -DORBELUNE_WEB_ASSETS_DIR="$root/build/run/assets" \
  -DORBELUNE_WEB_FONT=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf \
  -DORBELUNE_WEB_FONT_LICENCE=/usr/share/doc/fonts-liberation/copyright >/dev/null 2>&1
cmake --build "$out/game" -j"$jobs"

site="$out/site"
rm -rf "$site"
mkdir -p "$site"
run="$out/game/run"
cp "$run/index.html" "$run/page.js" "$run/orbelune.js" "$run/orbelune.wasm" "$run/orbelune.data" \
  "$run/LICENCE-LiberationSans.txt" "$site/"
echo "Wrote $site after $((SECONDS - started)) s"

if [ "${1:-}" = --serve ]; then
  exec node tests/web/serve.js "$site"
fi
