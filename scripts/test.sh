#!/usr/bin/env bash
# Sets up, builds and runs every test: the format check, a normal build with warnings as errors,
# a build with the address and undefined-behaviour sanitizers, a thread-sanitizer build of
# the tests of the code two threads share (engine, line store, window), and the fuzzers. Exits
# non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
start=$SECONDS

# Every build goes through ccache, keyed on paths relative to this checkout, so that a later run
# (a fresh clone elsewhere included) compiles only what changed.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-4G}
cache=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

scripts/format-check.sh

cmake -S . -B build -G Ninja -DTANDREL_WERROR=ON "${cache[@]}"
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DTANDREL_WERROR=ON -DTANDREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  "${cache[@]}"
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -G Ninja -DTANDREL_WERROR=ON -DTANDREL_TSAN=ON "${cache[@]}"
cmake --build build-tsan -j "$jobs" --target platform_tests engine_tests view_store_tests view_widget_tests \
  ui_tests shell_tests batch_page_tests pages_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs"

# The fuzzers: clang's libFuzzer over the settings file, the stored batch list and the
# command-line options, each for a fixed number of inputs from the seed corpus in fuzz/corpus.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTANDREL_FUZZ=ON "${cache[@]}"
cmake --build build-fuzz -j "$jobs" --target fuzz_settings fuzz_batch fuzz_cli
ctest --test-dir build-fuzz --output-on-failure -j "$jobs"

ccache --show-stats 2>/dev/null | grep -E "Hits|Misses" || true
echo "All tests passed in $((SECONDS - start)) s."
