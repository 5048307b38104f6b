#!/bin/sh
# Builds a compile fuzzer with clang in build-fuzz and fuzzes for a bounded
# time: run_fuzz.sh [seconds] [fuzzer]. The seconds default to 60; the fuzzer
# is compile_fuzzer (code page 932 sources, the default), compile_fuzzer_utf8,
# or one of the import readers' import_vsq_fuzzer, import_midi_fuzzer,
# import_ust_fuzzer and import_ustx_fuzzer, whose seeds are
# fuzz/corpus-import-<reader>/.
#
# The seeds are fuzz/corpus/ and the sources of the golden cases; inputs that
# find new paths go to build-fuzz/fuzz-work-<fuzzer>/, so the committed corpus only
# changes by hand. Crashes, timeouts, leaks and memory blow-ups are written to
# fuzz/crashes/. The fuzzing runs in a child process, so a timeout or a memory
# blow-up is recorded and the session goes on; a crash or a leak ends it. To
# replay the committed corpus once without fuzzing:
#   ctest --test-dir build-fuzz/fuzz
set -eu

seconds=${1:-60}
fuzzer=${2:-compile_fuzzer}
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$fuzz_dir")
build="$repo/build-fuzz"

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DTUVO_FUZZ=ON -DTUVO_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$build" --target "$fuzzer" -j2

work="$build/fuzz-work-$fuzzer"
mkdir -p "$work" "$fuzz_dir/crashes"
case "$fuzzer" in
import_*_fuzzer)
    reader=${fuzzer#import_}
    corpus="$fuzz_dir/corpus-import-${reader%_fuzzer}"
    set --
    ;;
*)
    corpus="$fuzz_dir/corpus"
    for case_dir in "$repo"/tests/cases/*/; do
        for source in "$case_dir"*.mml; do
            [ -f "$source" ] || continue
            cp "$source" "$work/case-$(basename "$case_dir")-$(basename "$source")"
        done
    done
    set -- -dict="$fuzz_dir/mml.dict"
    ;;
esac

# The fuzzer writes each run's outputs in its working folder.
run="$build/fuzz-run-$fuzzer"
mkdir -p "$run"
cd "$run"
"$build/fuzz/$fuzzer" "$work" "$corpus" "$@" \
    -fork=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_len=8192 -timeout=5 -rss_limit_mb=1024 \
    -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$fuzz_dir/crashes/"
