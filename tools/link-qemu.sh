#!/bin/sh
# Makes the host's QEMU reachable in a program folder's "qemu" folder under the names the program
# starts: the emulators and image tool as symbolic links, and the firmware the emulators load.
set -eu
qemu=$1
mkdir -p "$qemu"
link() { # link NAME HOST-PROGRAM
    target=$(command -v "$2" 2>/dev/null || true)
    if [ -n "$target" ]; then ln -sfn "$target" "$qemu/$1"; else rm -f "$qemu/$1"; fi
}
link qemu.exe qemu-system-i386
link qemu-system-x86_64.exe qemu-system-x86_64
link qemu-img.exe qemu-img
link qemu-system-arm.exe qemu-system-arm
link qemu-system-ppc.exe qemu-system-ppc
link qemu-system-ppc64.exe qemu-system-ppc64
link qemu-system-mips.exe qemu-system-mips
link qemu-system-mips64.exe qemu-system-mips64
link qemu-system-mipsel.exe qemu-system-mipsel
link qemu-system-mips64el.exe qemu-system-mips64el
link qemu-system-sparc.exe qemu-system-sparc
link qemu-system-sparc64.exe qemu-system-sparc64
link qemu-system-m68k.exe qemu-system-m68k
link qemu-system-cris.exe qemu-system-cris
# The firmware ("*.bin", "*.rom") and keymaps, found where the version's folder is given to -L.
if [ -d /usr/share/qemu ]; then
    for f in /usr/share/qemu/*; do
        [ -e "$f" ] && ln -sfn "$f" "$qemu/$(basename "$f")"
    done
fi
exit 0
