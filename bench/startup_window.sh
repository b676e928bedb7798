#!/bin/sh
# Start-up as the user sees it: from the process start to the main window mapped on a private Xvfb,
# and the memory held 3 s later, for a program folder with no VMs and one with 1,000 VMs in 10
# stores, against the toolkit's floor (a bare Qt main window with a 1,000-item tree) measured in
# the same run. Machines differ, so the ratios are the figures to compare.
#   sh bench/startup_window.sh BUILD [RUNS]      BUILD: a build folder (build-test); RUNS starts
#                                                of each, taking turns (9)
# Needs the "bench" packages: sh scripts/install-packages bench
set -eu
build=$(cd "${1:?usage: startup_window.sh BUILD [RUNS]}" && pwd)
runs=${2:-9}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

g++ -O2 -fPIC -o "$work/floor" "$here/window-map/floor.cpp" $(pkg-config --cflags --libs Qt6Widgets)
cp -a "$build/vimor" "$work/empty"
rm -rf "$work/empty/VMs"/*
# A returning user's start: the first-run wizard has been answered.
sed -i '0,/^\[General\]/s//[General]\r\nWizard7Complete=1/' "$work/empty/vimor.ini"
cp -a "$work/empty" "$work/library"
"$build/bench/bench_startup" --lay-out "$work/library" 100
# The library's files are written and synced one by one; nothing is left to write back meanwhile.
sync

measure() { bash "$here/window-map/window-map.sh" -r 1 "$@"; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
# The three take turns, one start each per round: this machine's speed drifts by up to 2x over
# minutes, and a drift then slows all three alike instead of whichever ran during it.
: >"$work/floor.runs"; : >"$work/empty.runs"; : >"$work/library.runs"
for round in $(seq 1 "$runs"); do
    measure -n '^Floor 1000$' -- "$work/floor" >>"$work/floor.runs"
    measure -- "$build/vimor/vimor" --program-folder "$work/empty" >>"$work/empty.runs"
    measure -- "$build/vimor/vimor" --program-folder "$work/library" >>"$work/library.runs"
done
floor_ms=$(field map_ms <"$work/floor.runs" | median)
floor_kb=$(field rss_kb <"$work/floor.runs" | median)
report() {
    ms=$(field map_ms <"$2" | median); kb=$(field rss_kb <"$2" | median)
    awk -v n="$1" -v ms="$ms" -v kb="$kb" -v fms="$floor_ms" -v fkb="$floor_kb" 'BEGIN {
        printf "%-16s %7.1f ms  %5.2fx the floor  %6.1f MB  (floor %.1f ms, %.1f MB)\n",
               n, ms, ms / fms, kb / 1024, fms, fkb / 1024 }'
}
report "no VMs" "$work/empty.runs"
report "1,000 VMs" "$work/library.runs"
for kind in floor empty library; do
    echo "runs: $kind $(field map_ms <"$work/$kind.runs" | tr '\n' ' ')"
done
