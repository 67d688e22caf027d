#!/usr/bin/env bash
# Installs what is missing, builds into build/, starts build/quelmora with the
# arguments given.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
quelmora_install >&2
quelmora_build build >&2
exec build/quelmora "$@"
