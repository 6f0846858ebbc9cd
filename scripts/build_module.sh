#!/usr/bin/env bash
# Builds the image of an on-board module from one C source file with sdcc:
#   bash scripts/build_module.sh module.c module.img
# The source includes onboard/module_c/module_services.h. The image is the
# 8051 code space cut to 65535 bytes, with the start stack pointer (one below
# the linker's stack start) and the internal RAM address of m_kom_message
# stored in the cells the simulator reads.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 source.c image.img" >&2
  exit 2
fi
source_file=$1
image=$2
include_dir="$(cd "$(dirname "$0")/.." && pwd)/onboard/module_c"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
name=$(basename "$source_file" .c)

sdcc -mmcs51 --code-size 0xFF00 -I"$include_dir" -o "$work/$name.ihx" "$source_file"
makebin -s 65536 "$work/$name.ihx" "$work/$name.bin"

# The address of a symbol in the linker map, empty when it is absent.
symbol_address() {
  awk -v sym="$1" '$2 == sym { print $1; exit }' "$work/$name.map"
}

# Writes one byte at an offset of the binary.
patch_byte() {
  printf "\\$(printf '%03o' "$2")" | dd of="$work/$name.bin" bs=1 seek="$1" conv=notrunc status=none
}

stack=$(symbol_address __start__stack)
if [ -z "$stack" ]; then
  echo "$0: no __start__stack in the linker map of $source_file" >&2
  exit 1
fi
patch_byte $((0xFFFC)) $(( (0x$stack - 1) & 0xFF ))
message=$(symbol_address _m_kom_message)
if [ -n "$message" ]; then
  patch_byte $((0xFF8F)) $(( 0x$message & 0xFF ))
fi
head -c 65535 "$work/$name.bin" > "$image"
