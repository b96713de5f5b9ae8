#!/bin/sh
# run32.sh <32-bit program> [qemu-i386]: runs it directly, or under qemu-i386 when the kernel
# cannot execute 32-bit programs (the shell reports that as 126); exits 77 (skipped) when neither
# can.
program=$1
qemu=${2:-}
"$program"
status=$?
[ "$status" -ne 126 ] && exit "$status"
if [ -n "$qemu" ] && [ -x "$qemu" ]; then
  exec "$qemu" "$program"
fi
echo "skipped: this machine runs no 32-bit x86 program (no IA-32 emulation, no qemu-i386)"
exit 77
