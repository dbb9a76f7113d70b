#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default: build); extra arguments go
# to CMake, e.g. -DKIBU_SANITIZE=ON.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
cmake -S "$here" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
