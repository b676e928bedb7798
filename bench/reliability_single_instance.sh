#!/bin/sh
# Starts the real program STARTS times at the same moment (50 unless given), ROUNDS times (100
# unless given): each round exactly one instance must stay, and every other one must say
# "Vimor is already running!" and end with code 0.
#     sh bench/reliability_single_instance.sh BUILD [ROUNDS] [STARTS]
set -eu
build=${1:?usage: sh bench/reliability_single_instance.sh BUILD [ROUNDS] [STARTS]}
rounds=${2:-100}
starts=${3:-50}
vimor=$(realpath "$build/vimor/vimor")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/vimor-layout" "$work/program" >/dev/null
# The lock lives in the runtime folder: one of this run's own, so nothing else running here
# counts as an instance.
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen

start=$(date +%s)
bad=0
round=1
while [ "$round" -le "$rounds" ]; do
    rm -f "$work"/out.* "$work"/code.* "$work"/pid.* "$work"/ready.* "$work/go"
    mkfifo "$work/go"
    i=1
    while [ "$i" -le "$starts" ]; do
        # Each waits at the pipe; closing its only writer lets all of them go at once.
        sh -c '
            : > "$1/ready.$3"
            read -r _ < "$1/go" || true
            "$2" --program-folder "$1/program" --unattended > "$1/out.$3" 2>&1 &
            echo $! > "$1/pid.$3"
            wait $!
            echo $? > "$1/code.$3"' sh "$work" "$vimor" "$i" 2>/dev/null &
        i=$((i + 1))
    done
    while [ "$(find "$work" -name 'ready.*' | wc -l)" -lt "$starts" ]; do sleep 0.05; done
    exec 3<>"$work/go"
    sleep 0.3
    exec 3>&-
    # Wait until all but one have ended (two minutes at most).
    waited=0
    while [ "$(find "$work" -name 'code.*' | wc -l)" -lt $((starts - 1)) ] && [ "$waited" -lt 1200 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    sleep 1
    ended=$(find "$work" -name 'code.*' | wc -l)
    zero=$(cat "$work"/code.* 2>/dev/null | grep -c '^0$' || true)
    told=$(grep -l 'Vimor is already running!' "$work"/out.* 2>/dev/null | wc -l)
    running=0
    for p in "$work"/pid.*; do
        kill -0 "$(cat "$p")" 2>/dev/null && running=$((running + 1))
    done
    if [ "$running" -ne 1 ] || [ "$ended" -ne $((starts - 1)) ] || [ "$zero" -ne "$ended" ] ||
        [ "$told" -ne "$ended" ]; then
        echo "round $round: $running running, $ended ended, $zero with code 0, $told told"
        bad=$((bad + 1))
    fi
    for p in "$work"/pid.*; do
        kill "$(cat "$p")" 2>/dev/null || true
    done
    wait
    round=$((round + 1))
done
echo "single instance: $rounds rounds of $starts starts at once, $bad rounds without exactly" \
    "one instance and $((starts - 1)) that said \"Vimor is already running!\" and ended with 0" \
    "($(($(date +%s) - start)) s)"
