#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, from Debian's
# packages and the npm registry. Safe to run again: it installs only what is
# missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-declarative-dev qt6-webchannel-dev qt6-multimedia-dev
  libgl-dev libxcb1-dev zlib1g-dev liblzma-dev
  xvfb xauth imagemagick x11-utils xdotool libxtst-dev curl pulseaudio pulseaudio-utils
  socat inotify-tools openssl
  fonts-wqy-zenhei
  nginx-light
  dpkg-dev desktop-file-utils appstream lintian
  nodejs
)

# Debian's own npm only when the machine has no npm at all (some images
# ship Node.js with npm bundled, which clashes with the Debian package).
command -v npm >/dev/null 2>&1 || packages+=(npm)
"$here/scripts/ensure-packages.sh" "${packages[@]}"

# The pinned Flash engine (package.json + package-lock.json).
cd "$here"
want=$(node -p 'require("./package.json").dependencies["@ruffle-rs/ruffle"]')
have=$(node -p 'try { require("./node_modules/@ruffle-rs/ruffle/package.json").version } catch (e) { "" }')
# ESLint, which the tests run over the player page's script.
want_lint=$(node -p 'require("./package.json").devDependencies.eslint')
have_lint=$(node -p 'try { require("./node_modules/eslint/package.json").version } catch (e) { "" }')
if [ "$want" != "$have" ] || [ ! -f node_modules/@ruffle-rs/ruffle/ruffle.js ] ||
  [ "$want_lint" != "$have_lint" ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
