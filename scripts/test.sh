#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the format check, the development
# build with every test (the interoperability checks against LibreOffice and Gnumeric and the
# package included), the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, and
# a bounded libFuzzer run of the reader and the formulas (clang). The builds are the presets of
# CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --tests
jobs=$(nproc)

bash scripts/check-format.sh

cmake --preset ci
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs"
ctest --preset fuzz
