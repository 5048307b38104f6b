#!/bin/sh
# Builds the program and runs every test twice, once in an ordinary build and
# once with AddressSanitizer and UndefinedBehaviorSanitizer, builds every
# target once more as a Release build (the optimiser warns of things the other
# builds do not see) and runs the tests there too, then replays the fuzz corpus
# through the libFuzzer targets. Warnings are errors in every build here.
set -e
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUVO_TESTS=ON -DTUVO_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTUVO_SANITIZE=ON -DTUVO_TESTS=ON -DTUVO_WERROR=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DTUVO_TESTS=ON -DTUVO_WERROR=ON
cmake --build build-release -j "$jobs"
ctest --test-dir build-release --output-on-failure -j "$jobs"

# The fuzz targets (the compile's and the import readers') replay their corpus
# once, without new inputs, so every input the fuzzer ever found stays covered
# (needs clang with libFuzzer).
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DTUVO_FUZZ=ON -DTUVO_TESTS=OFF -DTUVO_WERROR=ON
cmake --build build-fuzz -j "$jobs" --target compile_fuzzer compile_fuzzer_utf8 \
    import_vsq_fuzzer import_midi_fuzzer import_ust_fuzzer import_ustx_fuzzer
ctest --test-dir build-fuzz/fuzz --output-on-failure
