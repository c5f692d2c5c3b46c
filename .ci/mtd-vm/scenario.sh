#!/bin/sh
# The end-to-end scenario for one flash device, run in the VMs on the real MTD node and on
# the host on an image file, so that the records can be compared.
#
#   sh scenario.sh IMAGE DEVICE OUT BRELLIX MKTINYFS ONWRITE      (absolute paths)
#
# Writes IMAGE to DEVICE and runs the program BRELLIX through the main commands and the
# usual mistakes, then what needs a kernel: a second name of the device, a signal at a
# chosen write (ONWRITE, built from onwrite.c), a FIFO, MKTINYFS's unnamed temporary file,
# and MKTINYFS putting a whole image on the device and reading it back.
# Each case leaves NAME.out, NAME.err (the device paths, which differ between the runs,
# replaced by DEVICE and DEVICE2) and NAME.rc in OUT, each snapshot NAME.sha256 of the
# device bytes. POSIX sh, for busybox sh in the guest.
set -eu
IMAGE=$1 DEV=$2 OUT=$3 BRELLIX=$4 MKTINYFS=$5 ONWRITE=$6
# The device's second name: a node with its numbers, or a hard link of the image file.
DEV2=$(dirname "$DEV")/second-name
mkdir -p "$OUT"
cd "$OUT"
# For the commands onwrite runs while brellix is stopped (ONWRITE_STOPPED).
export IMAGE DEV2 BRELLIX ONWRITE_STOPPED

# Device paths as the records show them: the second name first, as it may extend the first.
normalise() {
    for FILE in "$@"; do
        sed -e "s|$DEV2|DEVICE2|g" -e "s|$DEV|DEVICE|g" "$FILE" >"$FILE.tmp" && mv "$FILE.tmp" "$FILE"
    done
}
# keep NAME COMMAND...: runs COMMAND, keeping its output and exit status under NAME.
keep() {
    NAME=$1
    shift
    "$@" >"$NAME.out" 2>"$NAME.err" && RC=0 || RC=$?
    echo "$RC" >"$NAME.rc"
    normalise "$NAME.out" "$NAME.err"
}
run() {
    NAME=$1
    shift
    keep "$NAME" "$BRELLIX" -d "$DEV" "$@"
}
snap() { sha256sum <"$DEV" >"$1.sha256"; }
# Which of SIGHUP, SIGINT, SIGPIPE and SIGTERM the programs get ignored (bits 1, 2, 13 and 15
# of the shell's mask, which they inherit): none, on the host (run.sh resets them) as in a guest.
IGNORED=$(sed -n 's/^SigIgn:[[:space:]]*//p' "/proc/$$/status")
echo "ignored signals: $((0x${IGNORED#"${IGNORED%????}"} & 0x5003))" >00-signals.out
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

# What only a kernel shows. A fresh image first.
cat "$IMAGE" >"$DEV"
rm -f "$DEV2"
if [ -c "$DEV" ]; then
    # shellcheck disable=SC2046 # major and minor, two words
    mknod "$DEV2" c $(stat -c '%t %T' "$DEV" | while read -r MAJ MIN; do echo $((0x$MAJ)) $((0x$MIN)); done)
else
    ln "$DEV" "$DEV2"
fi
# Two writers on two names of the device: the first is stopped right after its first write
# to the device, holding the lock; the second waits its 3 s and refuses; the first then ends
# its write.
# shellcheck disable=SC2016 # for the shell onwrite starts
ONWRITE_STOPPED='"$BRELLIX" -d "$DEV2" -w config in-room.txt >29-second-writer.out 2>29-second-writer.err
    echo $? >29-second-writer.rc'
keep 29-first-writer "$ONWRITE" "$DEV" STOP "$BRELLIX" -d "$DEV" -w splash in-room.txt
normalise 29-second-writer.out 29-second-writer.err
run 30-check-two-writers -c
snap 31-two-writers
# SIGTERM, SIGINT and SIGHUP right after the first write to the device (the contents, before
# the table): the write is finished, and one Fatal: line says so.
for SIGNAL in TERM INT HUP; do
    cat "$IMAGE" >"$DEV"
    keep "32-$SIGNAL-during-write" "$ONWRITE" "$DEV" "$SIGNAL" "$BRELLIX" -d "$DEV" -w kernel in-room.txt
    run "33-check-after-$SIGNAL" -c
    snap "34-after-$SIGNAL"
done
# A write the flash does not keep. mtdram keeps every write, so the device is given its old
# bytes back through its second name while brellix is stopped after its first write, before
# it reads the pages back: as a driver that drops writes would leave them.
cat "$IMAGE" >"$DEV"
# shellcheck disable=SC2016 # for the shell onwrite starts
ONWRITE_STOPPED='cat "$IMAGE" >"$DEV2"'
keep 35-write-not-taken "$ONWRITE" "$DEV" STOP "$BRELLIX" -d "$DEV" -w kernel in-room.txt
run 36-check-after-not-taken -c
snap 37-after-not-taken
rm -f "$DEV2"
# --read onto a FIFO, with a reader. Opening the FIFO here too ends the reader's wait
# should brellix refuse before opening it.
cat "$IMAGE" >"$DEV"
rm -f fifo && mkfifo fifo
cat fifo >fifo.read &
run 38-read-to-fifo -r kernel "$OUT/fifo"
exec 3<>fifo
exec 3>&-
wait
sha256sum <fifo.read >38-fifo-read.sha256
rm -f fifo fifo.read
# mktinyfs builds an image through its unnamed temporary file: nothing else is left in the
# folder.
rm -rf made && mkdir made
keep 39-mktinyfs "$MKTINYFS" --device-id BX-VM-0002 --mac 00:11:22:33:44:56 "$OUT/made/board.img" \
    kernel="$OUT/in-room.txt" --room 0x2000 config= --room 1024
ls -a made >39-mktinyfs.files
sha256sum <made/board.img >39-mktinyfs.sha256
rm -rf made
# The whole flash as safely as one file: a dump, taken apart and rebuilt with another kernel,
# programmed onto the device, programmed again (onwrite sees no write call then: no
# NAME.programmed), dumped back and compared, with brellix's check after each step.
cat "$IMAGE" >"$DEV"
keep 40-dump "$MKTINYFS" --dump "$DEV" "$OUT/dump.bin"
sha256sum <dump.bin >40-dump.sha256
run 41-check-dumped -c
rm -rf rebuilt
keep 42-extract "$MKTINYFS" --extract "$OUT/dump.bin" "$OUT/rebuilt"
printf 'rebuilt kernel\n' >rebuilt/0001-kernel
keep 43-rebuild "$MKTINYFS" "$OUT/rebuilt.img" @"$OUT/rebuilt/manifest"
for STEP in 44-program 46-program-again; do
    ONWRITE_STOPPED="echo a write call >$STEP.programmed"
    keep "$STEP" "$ONWRITE" "$DEV" STOP "$MKTINYFS" --program "$OUT/rebuilt.img" "$DEV"
    run "$STEP-check" -c
done
keep 48-dump-back "$MKTINYFS" --dump "$DEV" "$OUT/back.bin"
keep 49-compare cmp "$OUT/rebuilt.img" "$OUT/back.bin"
run 50-check-back -c
snap 51-round-trip
rm -rf rebuilt dump.bin rebuilt.img back.bin
