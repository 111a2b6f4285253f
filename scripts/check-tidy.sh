#!/usr/bin/env bash
# clang-tidy over the program's and the engine's own sources: scripts/check-tidy.sh BUILD_FOLDER [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/check-tidy.py "$@"
