#!/bin/sh
# Runs every fuzz target of a build for a bounded time each: first once over each of its
# seeds (fuzz/corpus/<target>/) and the stored reproducers of earlier findings
# (fuzz/regressions/<target>/) at their full length, then fuzzing from a scratch copy of
# the seeds, so the committed corpus never changes. Prints the executions each target
# reached; exits non-zero when a target crashed, leaked, timed out or broke one of its
# checks, with the input kept in BUILD_DIR/fuzz-findings/<target>/.
#
# Usage: sh fuzz/run.sh BUILD_DIR SECONDS
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
BUILD_DIR=$1
SECONDS_EACH=$2
SOURCE_DIR=$(cd "$(dirname "$0")" && pwd)
TARGETS="fuzz_image fuzz_find fuzz_cmdline"
# One input must never run this long; a hang is a finding, not a slow run.
INPUT_TIMEOUT=25
RSS_LIMIT_MB=2048
# Fuzzed inputs stay this short: the capacity rule makes a table cost the square of its
# length, and a few hundred entries reach every branch a full table does except its
# missing end slot, which the full-table seed covers in the fixed run.
MAX_LEN=4096

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/brellix-fuzz-XXXXXX") || exit 2
trap 'rm -rf "$SCRATCH"' EXIT INT TERM

STATUS=0
for TARGET in $TARGETS; do
    BINARY=$BUILD_DIR/fuzz/$TARGET
    if [ ! -x "$BINARY" ]; then
        echo "$TARGET: not built ($BINARY missing)"
        STATUS=1
        continue
    fi
    FINDINGS=$BUILD_DIR/fuzz-findings/$TARGET
    mkdir -p "$FINDINGS"
    LOG=$SCRATCH/$TARGET.log

    set -- "$SOURCE_DIR/corpus/$TARGET"/*
    REGRESSIONS=$SOURCE_DIR/regressions/$TARGET
    if [ -d "$REGRESSIONS" ] && [ -n "$(ls -A "$REGRESSIONS")" ]; then
        set -- "$@" "$REGRESSIONS"/*
    fi
    if ! "$BINARY" -rss_limit_mb=$RSS_LIMIT_MB -timeout=$INPUT_TIMEOUT "$@" >"$LOG" 2>&1; then
        tail -n 60 "$LOG"
        echo "$TARGET: FAILED on a seed or stored reproducer"
        STATUS=1
        continue
    fi

    CORPUS=$SCRATCH/$TARGET
    mkdir -p "$CORPUS"
    cp "$SOURCE_DIR/corpus/$TARGET"/* "$CORPUS"/
    "$BINARY" -max_total_time="$SECONDS_EACH" -max_len=$MAX_LEN -rss_limit_mb=$RSS_LIMIT_MB -timeout=$INPUT_TIMEOUT \
        -print_final_stats=1 -artifact_prefix="$FINDINGS/" "$CORPUS" >"$LOG" 2>&1
    RESULT=$?
    EXECUTIONS=$(sed -n 's/^stat::number_of_executed_units: *//p' "$LOG" | tail -n 1)
    if [ $RESULT -ne 0 ]; then
        tail -n 60 "$LOG"
        echo "$TARGET: FAILED (exit status $RESULT) after ${EXECUTIONS:-unknown} executions; input kept in $FINDINGS/"
        STATUS=1
    else
        echo "$TARGET: ${EXECUTIONS:-unknown} executions in ${SECONDS_EACH} s, nothing found"
    fi
done
exit $STATUS
