#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal build (with the
# interoperability checks against LibreOffice and Gnumeric), once under ASan and UBSan, and a
# bounded libFuzzer run of the workbook reader (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --tests
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B build -G Ninja -DKALMORA_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DKALMORA_SANITIZE=ON -DKALMORA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE interop

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSHEET_FUZZ=ON -DKALMORA_BENCH=OFF
cmake --build build-fuzz -j "$jobs" --target engine_reader_fuzzer formula_fuzzer import_fuzzer
ctest --test-dir build-fuzz --output-on-failure -L fuzz
