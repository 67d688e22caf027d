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
fi
quelmora_install
quelmora_build "$dir" "${opts[@]}"
cd "$dir"
ctest --output-on-failure -j"$(nproc)" "$@"
