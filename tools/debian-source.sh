# Sourced by the scripts that build the game's libraries from Debian's own source packages
# for another target (tools/windows.sh, tools/web.sh). Expects $deps: the folder the sources
# are unpacked into, kept between runs. Benchmarks source it for install_missing alone.

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

# Installs the named packages that are missing, through install-deps.sh: the one copy of the
# install step and of its wait for the package manager's lock.
install_missing() {
  "$(dirname "${BASH_SOURCE[0]}")/install-deps.sh" "$@"
}

# apt-get source needs a deb-src entry; add one for the archive the binaries come from.
ensure_source_entries() {
  if apt-get source --print-uris freetype >/dev/null 2>&1; then
    return
  fi
  echo "Adding a deb-src entry for the Debian archive"
  local codename
  codename="$(. /etc/os-release && echo "$VERSION_CODENAME")"
  $sudo tee /etc/apt/sources.list.d/orbelune-deb-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
}

# Unpacks Debian's source of $1 into $deps/src/$1 (once) and prints that folder. Debian's
# patches are left out: they adapt the builds to Debian's own layout (Bullet's break MinGW).
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

# Unpacks the upstream tarball of $1 as Debian release $3 publishes it with version $2 into
# $deps/src/$1 (once) and prints that folder; for a library whose source this Debian's
# archive no longer serves. The look-up goes through an apt configuration of its own under
# $deps: a line for another release among the machine's sources would make `apt-get source`
# pick that release for every library. The signed index names the tarball's address and
# SHA-256, which apt-helper checks as it downloads; $deps/src/$1.origin keeps both.
unpack_other_release_tarball() {
  local name="$1" version="$2" suite="$3" dir="$deps/src/$1"
  if [ ! -f "$dir/.unpacked" ]; then
    local apt="$deps/download/$name" uris address file size hash
    rm -rf "$dir" "$apt"
    mkdir -p "$apt/lists/partial" "$apt/cache" "$dir"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
      >"$apt/sources.list"
    local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
      -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache")
    # Each line: 'ADDRESS' FILE SIZE SHA256:HASH
    apt-get "${options[@]}" update >"$deps/$name-source.log" 2>&1 \
      && uris="$(apt-get "${options[@]}" source --print-uris "$name=$version" 2>>"$deps/$name-source.log")" \
      && read -r address file size hash < <(grep -F ".orig.tar." <<<"$uris" | tr -d "'") \
      && /usr/lib/apt/apt-helper download-file "$address" "$apt/$file" "$hash" >>"$deps/$name-source.log" 2>&1 \
      && tar -xf "$apt/$file" -C "$dir" --strip-components=1 \
      || { echo "Could not fetch $name $version from Debian $suite:" >&2; tail -20 "$deps/$name-source.log" >&2; exit 1; }
    printf '%s %s %s %s\n' "$address" "$file" "$size" "$hash" >"$deps/src/$name.origin"
    rm -rf "$apt"
    touch "$dir/.unpacked"
  fi
  echo "$dir"
}

# Builds one CMake library for the target and installs it into $prefix, unless it is there
# already. Expects $configure (the CMake command that targets it), $building (the line that
# announces a build, %s for the name), $prefix and $jobs. With --targets, only those are
# built and `install_$name` copies them (Bullet builds far more than the game links). A
# source folder given as an absolute path is used as it is, not unpacked from Debian.
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
  # shellcheck disable=SC2059 # the announcement is the caller's format
  printf "$building\n" "$name"
  rm -rf "$build"
  {
    "${configure[@]}" -S "$source/$source_subdir" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
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

# FreeType and Bullet as every target builds them: FreeType with none of its optional
# libraries (the game reads one TrueType font), Bullet's three collision and dynamics
# libraries alone. Through build_library, so the target comes from $configure.
build_freetype() {
  build_library freetype . -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}
build_bullet() {
  build_library bullet . --targets BulletDynamics,BulletCollision,LinearMath \
    -DBUILD_BULLET3=OFF -DBUILD_BULLET2_DEMOS=OFF -DBUILD_CPU_DEMOS=OFF -DBUILD_OPENGL3_DEMOS=OFF \
    -DBUILD_EXTRAS=OFF -DBUILD_UNIT_TESTS=OFF -DBUILD_PYBULLET=OFF -DUSE_GRAPHICAL_BENCHMARK=OFF
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

# The header-only libraries come from the Debian -dev packages, in a folder of their own
# ($headers) so that /usr/include never reaches the target's compiler. They keep their own
# dates, so that copying them again on every run rebuilds nothing.
copy_headers() {
  rm -rf "$headers"
  mkdir -p "$headers/include"
  cp -rp /usr/include/glm "$headers/include/"
  cp -p /usr/include/stb/stb_image.h /usr/include/tiny_obj_loader.h "$headers/include/"
}
