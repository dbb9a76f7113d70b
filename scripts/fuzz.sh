#!/usr/bin/env bash
# Fuzzes one parser for a while with libFuzzer:
#   scripts/fuzz.sh TARGET [SECONDS]     (default 600)
# TARGET is one of tests/fuzz/fuzz_*.cpp without its prefix (swf, abc, ...).
# Builds into build-fuzz with clang; works in build-fuzz/runs/TARGET, starting
# from the seed corpus. A crash leaves its input there and fails; add that
# input to tests/fuzz/corpus/TARGET once mended, so every test run replays it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: fuzz.sh TARGET [SECONDS]}
seconds=${2:-600}
[ -f "$here/tests/fuzz/fuzz_$target.cpp" ] || { echo "no fuzz target $target" >&2; exit 2; }

"$here/scripts/ensure-packages.sh" clang libclang-rt-14-dev
build=$here/build-fuzz
CXX=clang++ "$here/scripts/build.sh" "$build" -DKIBU_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo

runs=$build/runs/$target
mkdir -p "$runs/corpus"
cd "$runs"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$runs/" \
  "$runs/corpus" "$here/tests/fuzz/corpus/$target"
