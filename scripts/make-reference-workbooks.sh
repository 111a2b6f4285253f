#!/usr/bin/env bash
# Makes the reference workbooks of the engine's tests again, inside LibreOffice Calc on this
# machine, checks them with Gnumeric, and records where every workbook of sheet/tests/data came
# from in sheet/tests/data/origins.txt.
#   scripts/make-reference-workbooks.sh [--check | --into FOLDER]
# --check only checks that the workbooks are the ones origins.txt records; --into FOLDER makes
# them there and leaves sheet/tests/data as it is.
#
# LibreOffice writes time stamps into its files, so each run gives new bytes with the same
# content. The workbooks written by Excel (Apache POI's test data) cannot be made here: their
# checksums are checked against origins.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
data=sheet/tests/data
origins=$data/origins.txt

check_recorded() {
    local bad=0 file sum
    while read -r file sum _; do
        case "$file" in '' | '#'*) continue ;; esac
        if [ "$(sha256sum "$data/$file" | cut -d' ' -f1)" != "$sum" ]; then
            echo "$data/$file is not the workbook $origins records" >&2
            bad=1
        fi
    done <"$origins"
    return $bad
}

if [ "${1:-}" = "--check" ]; then
    check_recorded && echo "every workbook is the one $origins records"
    exit
fi

into=""
[ "${1:-}" = "--into" ] && into=${2:?--into needs a folder}
bash scripts/deps.sh --reference
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT INT TERM
/usr/bin/python3 scripts/reference/build_reference_workbooks.py "$scratch"

# Gnumeric computes what LibreOffice computed (the first entry of each log, 2004-06-10).
expect() { # file value
    local got
    got=$(ssconvert --export-type=Gnumeric_stf:stf_csv --recalc "$scratch/$1" "$scratch/check.csv" >/dev/null 2>&1 &&
        grep '^2004/06/10,' "$scratch/check.csv")
    case "$got" in *",$2"*) ;; *) echo "Gnumeric reads the first entry of $1 as '$got', without $2" >&2; exit 1 ;; esac
}
expect reference-imperial.xls 155.462
expect reference-metric.xls 53.0703

if [ -n "$into" ]; then
    mkdir -p "$into"
    cp "$scratch"/reference-*.xls "$into/"
    echo "made in $into: reference-imperial.xls, reference-metric.xls"
    exit
fi
version=$(soffice --version | head -n 1)
today=$(date -u +%Y-%m-%d)
for f in reference-imperial.xls reference-metric.xls; do
    cp "$scratch/$f" "$data/$f"
done
{
    echo "# file  sha256  origin (written by scripts/make-reference-workbooks.sh)"
    for f in reference-imperial.xls reference-metric.xls; do
        echo "$f $(sha256sum "$data/$f" | cut -d' ' -f1) $version, its MS Excel 97 export, built through UNO by scripts/reference/build_reference_workbooks.py on $today"
    done
    grep -v -e '^#' -e '^reference-' "$origins"
} >"$scratch/origins.txt"
mv "$scratch/origins.txt" "$origins"
check_recorded
echo "made again: $data/reference-imperial.xls, $data/reference-metric.xls; origins in $origins"
