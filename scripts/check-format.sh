#!/usr/bin/env bash
# Checks that every tracked C and C++ source follows .clang-format. Prints
# the offending places and a one-line verdict in CTest's form, which the test
# script adds to its count.
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
if clang-format --dry-run --Werror "${files[@]}"; then
  echo "format: 100% tests passed, 0 tests failed out of 1"
else
  echo "format: files above differ from .clang-format (run clang-format -i on them)"
  echo "format: 0% tests passed, 1 tests failed out of 1"
  exit 1
fi
