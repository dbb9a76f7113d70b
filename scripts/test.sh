#!/usr/bin/env bash
# Installs everything, builds, and runs every test: once in a normal build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

"$here/scripts/setup.sh"

# Qt WebEngine refuses to start as root unless its sandbox is off.
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=offscreen

echo "== normal build"
"$here/scripts/build.sh" "$here/build"
(cd "$here/build" && ctest --output-on-failure --parallel 2)

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
"$here/scripts/build.sh" "$here/build-asan" -DKIBU_SANITIZE=ON -DKIBU_BUILD_BENCH=OFF
export ASAN_OPTIONS=abort_on_error=1
export LSAN_OPTIONS="suppressions=$here/tests/sanitizer/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$here/build-asan" && ctest --output-on-failure --parallel 2)
