#!/bin/sh
# The end-to-end scenario for one flash device: run in the VM against the real MTD node
# and on the host against an image file, so that the two records can be compared.
#
#   sh scenario.sh IMAGE DEVICE OUT BRELLIX      (absolute paths)
#
# Writes IMAGE to DEVICE, then runs the program BRELLIX through the main commands and the
# usual mistakes. Each case NAME leaves NAME.out, NAME.err and NAME.rc in OUT (with the
# device path replaced by DEVICE, the one thing that differs between the runs), each
# snapshot NAME.sha256 of the device bytes. POSIX sh: busybox sh runs it in the guest.
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
# lines N: N numbered text lines, so that a misplaced page shows in a diff.
lines() {
    I=0
    while [ "$I" -lt "$1" ]; do
        echo "line $I of $1"
        I=$((I + 1))
    done
}

cat "$IMAGE" >"$DEV"
snap 00-written
run 01-list -l
run 02-list-verbose -l -v
run 03-check -c
run 04-read -r kernel kernel.read
run 05-read-stdout -rs config
run 06-read-by-index -r %1 config.read
run 07-read-unchecked -rs notes
run 08-read-forced --force -rs notes
lines 300 >in-room.txt
run 09-write -w kernel in-room.txt
run 10-read-back -rs kernel
lines 2000 >too-big.txt
run 11-write-too-big -w kernel too-big.txt
: >empty.txt
run 12-write-empty -w splash empty.txt
run 13-rename -mv config settings
run 14-exists -e settings
run 15-exists-missing -e config
run 16-set-mac -sm 02:00:5e:10:00:01
run 17-get-mac -gm
run 18-set-device-id -sdid BX-VM-000123
run 19-get-device-id -gdid
run 20-all-in-one -q -sm 02:00:5e:10:00:02 -sdid BX-VM-000124 -w splash in-room.txt -mv settings config
run 21-unknown-option -l --bogus
run 22-missing-local-file -w kernel missing.txt
run 23-missing-file -r nothing nothing.read
run 24-bad-mac-length -sm 02:00:5e:10:00
run 25-long-device-id -sdid 0123456789abcdef0123456789abcdefX
run 26-check-after -c
run 27-list-after -l -v
snap 28-changed
# What an erase of the FAT region (0x4000..0xbfff) leaves behind: 0xff bytes.
dd if=/dev/zero bs=1024 count=32 2>/dev/null | tr '\000' '\377' |
    dd of="$DEV" bs=1024 seek=16 conv=notrunc 2>/dev/null
run 29-list-erased -l
run 30-check-erased -c
run 31-get-device-id-erased -gdid
snap 32-final
