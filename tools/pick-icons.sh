#!/bin/sh
# Copies the pictures named in app/images/strips.map out of the installed Tango icon theme into
# app/images/strips/, where the build turns them into the image library. Run by hand after
# changing the map (needs the tango-icon-theme package); the copies are kept in the repository.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
map="$here/app/images/strips.map"
out="$here/app/images/strips"
mkdir -p "$out"
grep -v '^#' "$map" | while read -r name icon; do
    [ -n "$name" ] || continue
    cp "/usr/share/icons/Tango/16x16/$icon.png" "$out/$name.png"
done
