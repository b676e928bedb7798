#!/bin/sh
# Kills a writer with SIGKILL at a random moment, ROUNDS times each (1000 unless given): during
# writes of a VM definition file, then during appends, edits and deletes of a table. After every
# kill the file must hold whole content: the VM file exactly the old or the new content of a
# write, the table must open and every record its header counts must be whole.
#     sh bench/reliability_kill.sh BUILD [ROUNDS]      (BUILD: a build folder, e.g. build-test)
set -eu
build=${1:?usage: sh bench/reliability_kill.sh BUILD [ROUNDS]}
rounds=${2:-1000}
writer=$(realpath "$build/bench/reliability_writer")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Waits for the writer to be writing, lets 0-49 ms pass and kills it.
kill_after_start() {
    pid=$1
    ready=$2
    while [ ! -e "$ready" ] && kill -0 "$pid" 2>/dev/null; do sleep 0.002; done
    ms=$(($(od -An -N2 -tu2 /dev/urandom) % 50))
    sleep "0.0$(printf %02d "$ms")"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Temporary copies a kill left beside the file; start-up removes them, here they are counted.
count_leftovers() {
    n=$(find "$work" -maxdepth 1 -name "$1.??????" | wc -l)
    find "$work" -maxdepth 1 -name "$1.??????" -delete
    echo "$n"
}

start=$(date +%s)
"$writer" vm-init "$work/template.vm2"
cp "$work/template.vm2" "$work/vm.vm2"
bad=0
leftovers=0
i=0
while [ "$i" -lt "$rounds" ]; do
    rm -f "$work/vm.vm2.ready"
    "$writer" vm-write "$work/vm.vm2" &
    kill_after_start $! "$work/vm.vm2.ready"
    "$writer" vm-check "$work/vm.vm2" "$work/template.vm2" || bad=$((bad + 1))
    leftovers=$((leftovers + $(count_leftovers vm.vm2)))
    i=$((i + 1))
done
writes=$(grep -a '^RAM=' "$work/vm.vm2" | cut -d= -f2 | tr -d '\r')
echo "VM file writes: $rounds kills, $bad files neither old nor new content, $leftovers" \
    "temporary copies left behind, $writes writes done ($(($(date +%s) - start)) s)"

start=$(date +%s)
mkdir "$work/tables"
"$writer" table-init "$work/tables" 20
cp "$work/tables/process.dat" "$work/template.dat"
bad=0
cut=0
i=0
while [ "$i" -lt "$rounds" ]; do
    cp "$work/template.dat" "$work/tables/process.dat"
    rm -f "$work/tables/process.dat.ready"
    "$writer" table-write "$work/tables" &
    kill_after_start $! "$work/tables/process.dat.ready"
    if result=$("$writer" table-check "$work/tables"); then
        [ "${result#* }" -gt 1 ] && cut=$((cut + 1))
    else
        bad=$((bad + 1))
    fi
    i=$((i + 1))
done
echo "table appends, edits and deletes: $rounds kills, $bad tables that do not open or hold" \
    "a torn counted record, $cut with the bytes of a cut-short append past the count" \
    "($(($(date +%s) - start)) s)"
