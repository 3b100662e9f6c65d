#!/usr/bin/env bash
# run-fuzz.sh SECONDS: builds the libFuzzer targets with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer in build/fuzz (VELMOR_FUZZ_BUILD_DIR
# overrides), writes the seed corpus, and fuzzes the PNG memory loader for
# SECONDS. Only the fuzz targets and what they link are built. Ends with a
# ctest-style summary line, which the test script counts.
set -uo pipefail
seconds=${1:?usage: run-fuzz.sh SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${VELMOR_FUZZ_BUILD_DIR:-$root/build/fuzz}

summary() {  # summary FAILED
  if [ "$1" -eq 0 ]; then
    echo "fuzz: 100% tests passed, 0 tests failed out of 1"
  else
    echo "fuzz: 0% tests passed, 1 tests failed out of 1"
  fi
  exit "$1"
}

# fuzzer-no-link instruments our code for coverage (the fuzz target itself
# links the libFuzzer runtime); the fuzzing macro lets the loader accept bad
# chunk CRCs so that mutations reach past the first chunk.
flags="-fsanitize=fuzzer-no-link -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMOR_BUILD_FUZZ=ON -DVELMOR_SANITIZE=address,undefined -DVELMOR_BUILD_TESTS=OFF \
  -DVELMOR_BUILD_BENCH=OFF -DVELMOR_BUILD_HOST=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null || summary 1
cmake --build "$build" -j"$(nproc)" --target png_memory_fuzzer png_seed_generator || summary 1

seeds="$build/fuzz-seeds/png"
corpus="$build/fuzz-corpus/png"
artifacts="$build/fuzz-artifacts/"
mkdir -p "$seeds" "$corpus" "$artifacts"
"$build/tests/fuzz/png_seed_generator" "$seeds" || summary 1

# The memory limit sits above the largest image the loader accepts
# (2^26 pixels = 256 MiB of storage). libpng's own error messages on stderr
# are dropped (-close_fd_mask=2); sanitizer and crash reports still show.
"$build/tests/fuzz/png_memory_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=320 \
  -timeout=10 -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$seeds"
summary $?
