#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DKALMORA_BENCH=OFF
cmake --build build --target kalmora
exec ./build/app/kalmora "$@"
