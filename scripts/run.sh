#!/usr/bin/env bash
# Sets up, builds and starts Tandrel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
if [ -x build/src/app/tandrel ]; then
  exec build/src/app/tandrel
fi
exec build/src/cli/tandrel-cli --help
