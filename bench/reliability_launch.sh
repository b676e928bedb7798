#!/bin/sh
# Starts and stops 8 VMs ROUNDS times (100 unless given) through the real main window and
# launcher (bench/reliability_launch.cpp checks every round), then checks from outside that no
# QEMU process and no socket of the run is left.
#     sh bench/reliability_launch.sh BUILD [ROUNDS]      (BUILD: a build folder, e.g. build-test)
set -eu
build=${1:?usage: sh bench/reliability_launch.sh BUILD [ROUNDS]}
rounds=${2:-100}
# A runtime folder of its own, so the sockets and the lock are this run's alone.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
"$build/bench/reliability_launch" "$rounds"
left=$(pgrep -f "$XDG_RUNTIME_DIR/vimor" | wc -l)
sockets=$(find "$XDG_RUNTIME_DIR" -type s | wc -l)
echo "afterwards: $left QEMU processes of the run, $sockets sockets in its runtime folder"
[ "$left" -eq 0 ] && [ "$sockets" -eq 0 ]
