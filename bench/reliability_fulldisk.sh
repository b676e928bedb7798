#!/bin/sh
# Writes a VM definition file and appends to a table when the disk is full, two ways: a file size
# limit (RLIMIT_FSIZE) and a full 64 KB tmpfs (mounted when the user may, else left out). Each
# write must fail with a message, leave the file byte for byte as it was and leave nothing
# half-written beside it.
#     sh bench/reliability_fulldisk.sh BUILD      (BUILD: a build folder, e.g. build-test)
set -eu
build=${1:?usage: sh bench/reliability_fulldisk.sh BUILD}
writer=$(realpath "$build/bench/reliability_writer")
work=$(mktemp -d)
mounted=""
cleanup() {
    [ -n "$mounted" ] && umount "$mounted"
    rm -rf "$work"
}
trap cleanup EXIT
passed=0
failed=0

# check NAME FILE BEFORE-COPY STATUS MESSAGE-FILE
check() {
    leftovers=$(find "$(dirname "$2")" -maxdepth 1 -name "$(basename "$2").?*" ! -name '*.before' |
        wc -l)
    if [ "$4" -ne 0 ] && [ -s "$5" ] && cmp -s "$2" "$3" && [ "$leftovers" -eq 0 ]; then
        passed=$((passed + 1))
        echo "$1: refused, file unchanged, nothing left; shown: $(head -c 160 "$5")"
    else
        failed=$((failed + 1))
        echo "$1: FAILED (exit $4, unchanged: $(cmp -s "$2" "$3" && echo yes || echo no)," \
            "$leftovers files left beside it, message: $(cat "$5"))"
    fi
}

# A limit of 4 blocks of 512 bytes: the template fits, a 20,000-character value does not. The
# signal a write past the limit raises is ignored, so the write fails as on a full disk.
mkdir "$work/limit"
"$writer" vm-init "$work/limit/vm.vm2"
cp "$work/limit/vm.vm2" "$work/limit/vm.vm2.before"
status=0
(trap '' XFSZ && ulimit -f 4 && exec "$writer" vm-once "$work/limit/vm.vm2" 20000) \
    2>"$work/message" || status=$?
check "VM file, file size limit" "$work/limit/vm.vm2" "$work/limit/vm.vm2.before" "$status" \
    "$work/message"

# One row of 355 bytes after the 97-byte header: the next record crosses the 512-byte limit.
"$writer" table-init "$work/limit" 1
cp "$work/limit/process.dat" "$work/limit/process.dat.before"
status=0
(trap '' XFSZ && ulimit -f 1 && exec "$writer" table-once "$work/limit") 2>"$work/message" ||
    status=$?
check "table append, file size limit" "$work/limit/process.dat" \
    "$work/limit/process.dat.before" "$status" "$work/message"

mkdir "$work/tmpfs"
if mount -t tmpfs -o size=64k tmpfs "$work/tmpfs" 2>/dev/null; then
    mounted="$work/tmpfs"
    mkdir "$work/tmpfs/t"
    "$writer" vm-init "$work/tmpfs/vm.vm2"
    # 11 rows end the file at byte 4,003 of its first 4 KB page: the next record needs a second.
    "$writer" table-init "$work/tmpfs/t" 11
    cp "$work/tmpfs/vm.vm2" "$work/vm.vm2.before"
    cp "$work/tmpfs/t/process.dat" "$work/process.dat.before"
    dd if=/dev/zero of="$work/tmpfs/filler" bs=4k 2>/dev/null || true
    status=0
    "$writer" vm-once "$work/tmpfs/vm.vm2" 20000 2>"$work/message" || status=$?
    check "VM file, full file system" "$work/tmpfs/vm.vm2" "$work/vm.vm2.before" "$status" \
        "$work/message"
    status=0
    "$writer" table-once "$work/tmpfs/t" 2>"$work/message" || status=$?
    check "table append, full file system" "$work/tmpfs/t/process.dat" \
        "$work/process.dat.before" "$status" "$work/message"
else
    echo "full file system: left out (this user may not mount a tmpfs)"
fi
echo "full disk: $passed writes refused cleanly, $failed not"
[ "$failed" -eq 0 ]
