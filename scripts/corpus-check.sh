#!/usr/bin/env bash
# Recalculates every workbook of a folder (Apache POI's test workbooks by default) and compares
# each formula with the result the saving program cached; saves each one plainly and compares
# every cell before and after. Prints one line per file and the totals; --list adds every root
# disagreement.
#   scripts/corpus-check.sh [--list] [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
list=()
if [[ "${1:-}" == "--list" ]]; then
    list=(--list)
    shift
fi
folder="${1:-/work/corpus/poi}"
if [[ ! -d build ]]; then
    cmake -S . -B build -G Ninja -DKALMORA_WERROR=ON >/dev/null
fi
cmake --build build --target sheet-corpus-check >/dev/null
shopt -s nullglob nocaseglob
files=("$folder"/*.xls "$folder"/*.xlt)
exec build/sheet/tools/sheet-corpus-check --save "${list[@]}" "${files[@]}"
