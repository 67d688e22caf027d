#!/usr/bin/env bash
# Installs what is missing, builds, runs every test. With --sanitize the whole
# suite is built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
dir=build
opts=()
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  opts=(-DQUELMORA_SANITIZE=ON)
  shift
  # Every finding fails its test, in the test programs and in the programs
  # they start.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$PWD/tests/sanitize.supp:print_suppressions=0
fi
quelmora_install
quelmora_build "$dir" "${opts[@]}"
cd "$dir"
ctest --output-on-failure -j"$(nproc)" "$@"
