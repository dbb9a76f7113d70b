#!/usr/bin/env bash
# Installs Debian's chromium when missing, then measures what playing costs
# in the window against the bare engine and the browser, on a display of
# its own (see bench_window.cpp, "peers"). Extra environment as for
# bench_window, e.g. KIBU_BENCH_BUILD=DIR to run another build's player.
#   bench/peers.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
"$here/scripts/ensure-packages.sh" chromium
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$here/scripts/own-display.sh" "$build/bench/bench_window" peers
