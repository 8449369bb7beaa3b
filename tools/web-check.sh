#!/usr/bin/env bash
# Builds the browser release (tools/web.sh), runs its logic tests under Node, and plays the
# site in Debian's Chromium, headless, driven by puppeteer-core: start-up, the picture, the
# switch keys, a hidden tab, a win with a name typed in the page, a reload, Esc, starts that
# fail and files that do not load, full screen, and a phone's touch controls, with a tap that
# flies again, Pause, a second win asking its own name and a lost WebGL context.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-web"
started=$SECONDS

tools/web.sh
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
for package in chromium npm imagemagick; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" &&
    ! { [ "$package" = npm ] && command -v npm >/dev/null; }; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$package"
  fi
done

echo "Logic tests under Node"
ctest --test-dir "$out/game" --output-on-failure -j"$(nproc)"

# puppeteer-core at the version the lock file pins, and no browser of its own.
node_dir="$out/node"
if ! cmp -s tests/web/package-lock.json "$node_dir/package-lock.json" || [ ! -d "$node_dir/node_modules" ]; then
  rm -rf "$node_dir"
  mkdir -p "$node_dir"
  cp tests/web/package.json tests/web/package-lock.json "$node_dir/"
  (cd "$node_dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
fi

echo "Playing the site in Chromium"
NODE_PATH="$node_dir/node_modules" node tests/web/check.js "$out/site" "$out/check"
echo "Web checks passed in $((SECONDS - started)) s"
