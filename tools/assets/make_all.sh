#!/usr/bin/env bash
# Regenerates every committed picture and voice clip under resources/:
#   resources/bitmaps/*.png   from tools/assets/make_bitmaps.cpp
#   resources/sounds/*.wav    from tools/assets/make_voices.sh
# The bitmap tool is built in a throwaway folder so no build tree ever lands
# in the repository.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)

"$repo/scripts/ensure-packages.sh" cmake g++ qt6-base-dev fonts-wqy-zenhei

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The tools folder expects to be added from a parent project, so give it a
# minimal one.
cat >"$work/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(kibu_assets CXX)
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
add_subdirectory("$here" assets)
EOF
cmake -S "$work" -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" --parallel 2 >/dev/null

XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work} QT_QPA_PLATFORM=offscreen "$work/build/assets/kibu-make-bitmaps" "$repo/resources/bitmaps"
echo "wrote bitmaps to $repo/resources/bitmaps"

bash "$here/make_voices.sh"
