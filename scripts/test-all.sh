#!/usr/bin/env bash
# Runs the whole test suite: the source format check, native,
# AddressSanitizer + UndefinedBehaviorSanitizer with g++ and again with clang
# (with a bounded fuzz run),
# ThreadSanitizer on the threading tests, and the Windows build under Wine.
# Ends with one pass/fail summary line.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
jobs=$(nproc)

"$here/setup-deps.sh" || { echo "setup failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
stages=()

# ctest prints "NN% tests passed, F tests failed out of T"; add those up.
count_ctest() {
  local log=$1 line t f
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1)
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
  passed=$((passed + t - f))
  failed=$((failed + f))
}

stage() {  # stage NAME COMMAND...
  local name=$1; shift
  local log="$root/build/logs/$name.log"
  mkdir -p "$root/build/logs"
  echo "== $name"
  if "$@" >"$log" 2>&1; then
    stages+=("$name: ok")
  else
    stages+=("$name: FAILED (see build/logs/$name.log)")
    tail -n 60 "$log"
  fi
  count_ctest "$log"
}

native() {
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build build/native -j"$jobs" &&
    ctest --test-dir build/native -j"$jobs" --output-on-failure
}

sanitize() {
  cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMOR_SANITIZE=address,undefined -DVELMOR_BUILD_BENCH=OFF &&
    cmake --build build/asan -j"$jobs" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build/asan -j"$jobs" --output-on-failure
}

# clang's UndefinedBehaviorSanitizer checks what g++ 12's does not, such as
# indexes past a declared trailing array. Its own build folder keeps it from
# disturbing the g++ one; the benchmarks are left out as in the g++ stage.
sanitize_clang() {
  CC=clang CXX=clang++ cmake -S . -B build/asan-clang -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMOR_SANITIZE=address,undefined -DVELMOR_BUILD_BENCH=OFF &&
    cmake --build build/asan-clang -j"$jobs" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      ctest --test-dir build/asan-clang -j"$jobs" --output-on-failure
}

fuzz() {
  if [ -x "$here/run-fuzz.sh" ]; then "$here/run-fuzz.sh" 30; else echo "no fuzz targets"; fi
}

threads() {
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMOR_SANITIZE=thread -DVELMOR_BUILD_BENCH=OFF -DVELMOR_BUILD_HOST=OFF &&
    cmake --build build/tsan -j"$jobs" --target velmor_thread_tests &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
      ctest --test-dir build/tsan -L threads -j"$jobs" --output-on-failure
}

windows() {
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DMINGW_DEPS_PREFIX="$root/.deps/mingw" \
    -DVELMOR_BUILD_BENCH=OFF &&
    cmake --build build/windows -j"$jobs" &&
    "$here/run-wine.sh" "$root/build/windows" ctest --test-dir "$root/build/windows" -j"$jobs" --output-on-failure
}

stage format "$here/check-format.sh"
stage native native
stage sanitize sanitize
stage sanitize-clang sanitize_clang
stage fuzz fuzz
stage threads threads
stage windows windows

echo
echo "== summary"
for s in "${stages[@]}"; do echo "  $s"; done
stage_failures=$(printf '%s\n' "${stages[@]}" | grep -c FAILED)
# A stage that failed without a ctest verdict (build error) counts once.
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$stage_failures" -eq 0 ]
