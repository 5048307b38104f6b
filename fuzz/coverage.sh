#!/bin/sh
# Replays the fuzz corpus once through a compile fuzzer built with clang's
# source-based coverage (in build-cov) and reports what it reached: the
# per-file summary of src/render and src/writers, then every function of those
# folders that no input ran. Usage: coverage.sh [fuzzer], compile_fuzzer by default.
set -eu

fuzzer=${1:-compile_fuzzer}
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$fuzz_dir")
build="$repo/build-cov"

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DTUVO_FUZZ=ON -DTUVO_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=Debug \
        "-DCMAKE_CXX_FLAGS=-fprofile-instr-generate -fcoverage-mapping" \
        "-DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate"
fi
cmake --build "$build" --target "$fuzzer" -j2

profiles="$build/coverage-$fuzzer"
rm -rf "$profiles"
mkdir -p "$profiles"
# The fuzzer writes each run's outputs in its working folder.
cd "$profiles"
LLVM_PROFILE_FILE="$profiles/run-%p.profraw" \
    "$build/fuzz/$fuzzer" -runs=0 -rss_limit_mb=2048 -timeout=0 \
    -artifact_prefix="$profiles/" "$fuzz_dir/corpus"
llvm-profdata merge -sparse "$profiles"/run-*.profraw -o "$profiles/merged.profdata"

cd "$build"
llvm-cov report "fuzz/$fuzzer" -instr-profile="$profiles/merged.profdata" |
    grep -E '^(Filename|src/(render|writers)/)'
echo
echo "Functions of src/render and src/writers that no input ran:"
llvm-cov export -format=text "fuzz/$fuzzer" -instr-profile="$profiles/merged.profdata" |
    python3 -c '
import json, sys
for function in json.load(sys.stdin)["data"][0]["functions"]:
    source = function["filenames"][0]
    if function["count"] == 0 and ("/src/render/" in source or "/src/writers/" in source):
        print(function["name"].split(":")[-1] + " " + source.split("/src/")[-1])
' | if command -v c++filt >/dev/null; then c++filt; else cat; fi
