#!/usr/bin/env bash
# Makes a Wine prefix for another test slot from a prepared one, in a few seconds where wineboot
# takes half a minute: the system folder's programs, libraries and tables (never written after
# wineboot) are hard links, everything else is copied, and the user's folder links that led to
# the source's home lead to the new home. The new prefix gets its own wineserver (the server is
# found by the prefix folder, and the source's server record is left behind).
# Usage: copy-prefix.sh SOURCE_PREFIX SOURCE_HOME NEW_PREFIX NEW_HOME
set -euo pipefail
src=$1 src_home=$2 dst=$3 dst_home=$4
part=$dst.part
rm -rf "$part"
mkdir -p "$part" "$dst_home"
tar -C "$src" --exclude=./drive_c/windows --exclude=./wineserver -cf - . | tar -C "$part" -xf -
cp -al "$src/drive_c/windows" "$part/drive_c/windows"
# Only images and tables stay shared; a file Wine may write (ini files, inf caches) gets its own copy.
(cd "$part/drive_c/windows" &&
  find . -type f ! -iregex '.*\.\(dll\|exe\|sys\|drv\|ocx\|cpl\|acm\|tlb\|ax\|ds\|com\|nls\|msstyles\)' -print0) |
  while IFS= read -r -d '' file; do
    cp -p "$src/drive_c/windows/$file" "$part/drive_c/windows/$file.copy"
    mv -f "$part/drive_c/windows/$file.copy" "$part/drive_c/windows/$file"
  done
while IFS= read -r -d '' link; do
  target=$(readlink "$link")
  if [ "$target" = "$src_home" ] || [ "${target#"$src_home"/}" != "$target" ]; then
    ln -sfn "$dst_home${target#"$src_home"}" "$link"
  fi
done < <(find "$part/drive_c/users" -type l -print0)
rm -rf "$dst"
mv "$part" "$dst"
