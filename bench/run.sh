#!/bin/sh
# Page-program and timing benchmark of a built tree: sh bench/run.sh BUILD_DIR
#
# Every scenario runs the real tool once under strace, which shows the pages it reads
# and programs and its write calls on the device, and compares
# what it programmed with the fewest pages that could do: the pages whose bytes differ
# between the image before and after. Wall times are of the whole process without the
# library, the best of several runs, each from a fresh copy of the image. The CRC-16
# microbenchmark follows the table.
#
# Builds nothing: "make bench" builds the optimised tree first. BENCH_RUNS sets how
# many timed runs each row takes the best of.
set -eu

BUILD=${1:?usage: sh bench/run.sh BUILD_DIR}
BRELLIX=$BUILD/tool/brellix
MKTINYFS=$BUILD/host/mktinyfs/mktinyfs
PAGEDIFF=$BUILD/bench/pagediff
CRCBENCH=$BUILD/bench/crc16_bench
for TOOL in "$BRELLIX" "$MKTINYFS" "$PAGEDIFF" "$CRCBENCH"; do
  [ -e "$TOOL" ] || { echo "bench: $TOOL is missing; build the tree first (make bench)" >&2; exit 1; }
done

PAGE_SIZE=1056
KIB=1024
MIB=$((1024 * KIB))
RUNS=${BENCH_RUNS:-20}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/brellix-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
DEVICE=$WORK/device.bin
BEFORE=$WORK/before.bin
LOG=$WORK/io.log
MISMATCH=0
ROWS=$WORK/rows

# hyperfine when it is installed, else the shell and date(1); BENCH_TIMER=date forces
# the latter.
if [ "${BENCH_TIMER:-}" != date ] && command -v hyperfine >/dev/null 2>&1; then TIMER="hyperfine"; else TIMER="date"; fi

# random FILE BYTES: contents no page of any image shares by chance
random() {
  head -c "$2" /dev/urandom >"$1"
}

# best_ms PREPARE COMMAND: the shortest wall time of COMMAND in milliseconds over
# $RUNS runs, PREPARE run (untimed) before each; both are simple words, no shell.
best_ms() {
  if [ "$TIMER" = hyperfine ]; then
    hyperfine -N --style none --warmup 1 --runs "$RUNS" --output null --prepare "$1" \
      --export-csv "$WORK/time.csv" "$2" >/dev/null 2>&1
    awk -F, 'NR == 2 { printf "%.2f", $7 * 1000 }' "$WORK/time.csv"
  else
    BEST=
    i=0
    while [ "$i" -lt "$RUNS" ]; do
      $1
      START=$(date +%s%N)
      $2 >/dev/null 2>&1 || true
      END=$(date +%s%N)
      T=$((END - START))
      if [ -z "$BEST" ] || [ "$T" -lt "$BEST" ]; then BEST=$T; fi
      i=$((i + 1))
    done
    awk -v t="$BEST" 'BEGIN { printf "%.2f", t / 1e6 }'
  fi
}

# counters: "pages-read pages-programmed write-calls" from the strace log of the device;
# every transfer on it is of whole pages.
counters() {
  awk -v page="$PAGE_SIZE" -F' = ' '
    /^(read|pread64)\(/ { r += $NF / page }
    /^(write|pwrite64)\(/ { w += $NF / page; calls++ }
    END { printf "%d %d %d", r, w, calls }' "$LOG"
}

# scenario NAME IMAGE 'TOOL ARGUMENTS': one row of the table. The arguments are split
# at spaces; no path or value used here contains one.
scenario() {
  NAME=$1 ARGS=$3
  cp "$2" "$BEFORE"
  cp "$BEFORE" "$DEVICE"
  rm -f "$LOG"
  # shellcheck disable=SC2086
  if ! strace -qqq -o "$LOG" -P "$DEVICE" -e trace=read,write,pread64,pwrite64 "$BRELLIX" -q -d "$DEVICE" $ARGS \
      >"$WORK/out" 2>"$WORK/err"; then
    echo "bench: $NAME failed:" >&2
    cat "$WORK/err" >&2
    exit 1
  fi
  # The image the tool left must still pass its own check.
  if ! "$BRELLIX" -q -d "$DEVICE" --check >/dev/null 2>"$WORK/err"; then
    echo "bench: $NAME left an image that fails the check:" >&2
    cat "$WORK/err" >&2
    exit 1
  fi
  COUNTS=$(counters)
  READ=${COUNTS%% *} CALLS=${COUNTS##* }
  PROGRAMMED=${COUNTS#* } PROGRAMMED=${PROGRAMMED%% *}
  MINIMUM=$("$PAGEDIFF" "$BEFORE" "$DEVICE")
  TIME=$(best_ms "cp $BEFORE $DEVICE" "$BRELLIX -q -d $DEVICE $ARGS")
  MARK=
  if [ "$PROGRAMMED" -ne "$MINIMUM" ]; then
    MARK=" MISMATCH"
    MISMATCH=1
  fi
  printf '| %s | %s | %s | %s | %s | %s |%s\n' "$NAME" "$READ" "$PROGRAMMED" "$MINIMUM" "$CALLS" "$TIME" "$MARK" \
    >>"$ROWS"
}

# The images. Contents are random, so no page stays the same by chance.
random "$WORK/small" 100
random "$WORK/old1m" "$MIB"
random "$WORK/new1m" "$MIB"
random "$WORK/full8m" $((8 * MIB))
ALIGNED=$((64 * PAGE_SIZE))
ROOM=$((64 * KIB))
MAC=00:11:22:33:44:55
ID=BENCH-0001
"$MKTINYFS" "$WORK/aligned.img" boot="$WORK/small" \
  kernel="$WORK/old1m" --offset "$ALIGNED" --room "$ROOM" rootfs="$WORK/small"
"$MKTINYFS" "$WORK/unaligned.img" boot="$WORK/small" \
  kernel="$WORK/old1m" --offset $((ALIGNED + 100)) --room "$ROOM" rootfs="$WORK/small"
# Nine files and the MAC file: a table of 10 entries.
# names COUNT DIGITS: the file arguments f01=..., f02=..., one per word.
names() {
  i=1
  while [ "$i" -le "$1" ]; do
    printf "f%0${2}d=%s " "$i" "$WORK/small"
    i=$((i + 1))
  done
}
# shellcheck disable=SC2046 # one file argument per word
"$MKTINYFS" --device-id "$ID" --mac "$MAC" "$WORK/table10.img" $(names 9 2)
# shellcheck disable=SC2046
"$MKTINYFS" "$WORK/table1023.img" $(names 1023 4)
"$MKTINYFS" "$WORK/full.img" kernel="$WORK/full8m"

: >"$ROWS"
scenario "write 1 MiB, page-aligned offset, new contents" "$WORK/aligned.img" "--write kernel $WORK/new1m"
scenario "write 1 MiB, page-aligned offset, same contents" "$WORK/aligned.img" "--write kernel $WORK/old1m"
scenario "write 1 MiB, unaligned offset, new contents" "$WORK/unaligned.img" "--write kernel $WORK/new1m"
scenario "write 1 MiB, unaligned offset, same contents" "$WORK/unaligned.img" "--write kernel $WORK/old1m"
scenario "rename, table of 10 entries" "$WORK/table10.img" "--rename f05 renamed"
scenario "rename, table of 1023 entries" "$WORK/table1023.img" "--rename f0512 renamed"
random "$WORK/small2" 100
scenario "write 100 bytes, table of 1023 entries" "$WORK/table1023.img" "--write f0512 $WORK/small2"
scenario "set-mac, new address" "$WORK/table10.img" "--set-mac 00:11:22:33:44:66"
scenario "set-mac, same address" "$WORK/table10.img" "--set-mac $MAC"
scenario "set-device-id, new identifier" "$WORK/table10.img" "--set-device-id BENCH-0002"
scenario "set-device-id, same identifier" "$WORK/table10.img" "--set-device-id $ID"
scenario "check, one file of 8 MiB" "$WORK/full.img" "--check"
CHECK_MS=$TIME
CAT_MS=$(best_ms true "cat $WORK/full.img")

MODEL=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1)
echo "Measured $(date -u +%Y-%m-%d) on ${MODEL:-an unknown processor}, $(nproc) cores; times with $TIMER, best of $RUNS."
echo
echo "| scenario | pages read | pages programmed | minimum | write calls | wall time (ms) |"
echo "|---|---:|---:|---:|---:|---:|"
cat "$ROWS"
echo "| cat of that whole image > /dev/null | | | | | $CAT_MS |"
echo
awk -v c="$CHECK_MS" -v k="$CAT_MS" 'BEGIN { printf "check takes %.2f times as long as cat (target: at most 2).\n", c / k }'
echo
"$CRCBENCH" --benchmark_counters_tabular=true 2>/dev/null

if [ "$MISMATCH" -ne 0 ]; then
  echo "MISMATCH: a scenario programmed pages that did not change, or a page twice" >&2
  exit 1
fi
