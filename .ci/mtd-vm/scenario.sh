#!/bin/sh
# The end-to-end scenario for one flash device, run in the VM on the real MTD node and on
# the host on an image file, so that the two records can be compared.
#
#   sh scenario.sh IMAGE DEVICE OUT BRELLIX      (absolute paths)
#
# Writes IMAGE to DEVICE and runs the program BRELLIX through the main commands and the
# usual mistakes. Each case leaves NAME.out, NAME.err (the device path, which differs
# between the runs, replaced by DEVICE) and NAME.rc in OUT, each snapshot NAME.sha256 of
# the device bytes. POSIX sh, for busybox sh in the guest.
set -eu
IMAGE=$1 DEV=$2 OUT=$3 BRELLIX=$4
mkdir -p "$OUT"
cd "$OUT"

run() {
    NAME=$1
    shift
    "$BRELLIX" -d "$DEV" "$@" >"$NAME.out" 2>"$NAME.err" && RC=0 || RC=$?
    echo "$RC" >"$NAME.rc"
    sed "s|$DEV|DEVICE|g" "$NAME.out" >"$NAME.tmp" && mv "$NAME.tmp" "$NAME.out"
    sed "s|$DEV|DEVICE|g" "$NAME.err" >"$NAME.tmp" && mv "$NAME.tmp" "$NAME.err"
}
snap() { sha256sum <"$DEV" >"$1.sha256"; }
cat "$IMAGE" >"$DEV"
snap 00-written
run 01-list -l
run 02-list-verbose -l -v
run 03-check -c
run 04-read -r kernel kernel.read
run 05-read-stdout -rs config
seq 1000 >in-room.txt
run 06-write -w kernel in-room.txt
run 07-read-back -rs kernel
seq 2000 >too-big.txt
run 08-write-too-big -w kernel too-big.txt
: >empty.txt
run 09-write-empty -w config empty.txt
run 10-rename -mv config settings
run 11-exists -e settings
run 12-exists-missing -e config
run 13-set-mac -sm 02:00:5e:10:00:01
run 14-get-mac -gm
run 15-set-device-id -sdid BX-VM-000123
run 16-get-device-id -gdid
run 17-all-in-one -q -sm 02:00:5e:10:00:02 -sdid BX-VM-000124 -w splash in-room.txt \
    -mv settings config
run 18-unknown-option -l --bogus
run 19-missing-local-file -w kernel missing.txt
run 20-missing-file -r nothing nothing.read
run 21-bad-mac-length -sm 02:00:5e:10:00
run 22-long-device-id -sdid 0123456789abcdef0123456789abcdefX
run 22b-read-to-the-device -r kernel "$DEV"
run 23-check-after -c
run 24-list-after -l -v
snap 25-changed
# What an erase of the FAT region (0x4000..0xbfff) leaves behind: 0xff bytes.
dd if=/dev/zero bs=1024 count=32 2>/dev/null | tr '\000' '\377' |
    dd of="$DEV" bs=1024 seek=16 conv=notrunc 2>/dev/null
run 26-list-erased -l
run 27-get-device-id-erased -gdid
snap 28-final
