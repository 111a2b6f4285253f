#!/usr/bin/env bash
# Fails when a C++ file of the tree is not formatted as .clang-format says, and names the files.
#   scripts/check-format.sh            every C++ file under version control
#   scripts/check-format.sh FILE...    those files
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi
present=()
for f in "${files[@]}"; do [ -f "$f" ] && present+=("$f"); done
files=("${present[@]+"${present[@]}"}")
[ ${#files[@]} -gt 0 ] || exit 0
if ! out=$(clang-format --dry-run -Werror "${files[@]}" 2>&1); then
    echo "Not formatted (clang-format -i FILE formats it):" >&2
    echo "$out" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/  \1/p' | sort -u >&2
    exit 1
fi
echo "clang-format: ${#files[@]} files formatted"
