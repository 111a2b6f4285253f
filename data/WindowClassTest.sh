#!/bin/sh
# The program's window carries the class its desktop entry names (StartupWMClass), so that a
# dock groups the window with its launcher. Run under an X server (xvfb-run):
#   WindowClassTest.sh KALMORA DESKTOP_ENTRY
set -eu
kalmora=$1
entry=$2
expected=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$expected" ] || { echo "FAIL: $entry names no StartupWMClass" >&2; exit 1; }

scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT INT TERM
# Nothing of the user's: settings, logs, work files.
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 700 "$scratch/runtime"
QT_QPA_PLATFORM=xcb "$kalmora" &
pid=$!
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n 1)
class=$(xprop -id "$window" WM_CLASS)
echo "$class"
case "$class" in
*"\"$expected\""*) ;;
*) echo "FAIL: the window's class is not \"$expected\", which the desktop entry names" >&2; exit 1 ;;
esac
