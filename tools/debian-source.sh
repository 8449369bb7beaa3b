# Sourced by the scripts that build the game's libraries from Debian's own source packages
# for another target (tools/windows.sh, tools/web.sh). Expects $deps: the folder the sources
# are unpacked into, kept between runs.

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
  $sudo tee /etc/apt/sources.list.d/orbelune-deb-src.sources >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $sudo apt-get update -qq
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
