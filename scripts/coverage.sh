#!/bin/sh
# make coverage, after the build of the coverage preset (gcc --coverage, no sanitizers):
#   sh scripts/coverage.sh
# Runs every test of that build from fresh counters, then gcovr with gcovr.cfg (what is
# counted and the floors): prints line and branch coverage of each product file and in
# total, writes the HTML report build/coverage/report/index.html, and fails when the
# total is below a floor.
set -eu
cd "$(dirname "$0")/.."
BUILD=build/coverage
REPORT=$BUILD/report
find "$BUILD" -name '*.gcda' -delete
rm -rf "$REPORT" && mkdir -p "$REPORT"
# The counters are written when each program ends, into the folders of its objects, which
# another account may not enter (a clone in a home folder of mode 700): every run writes
# them under COUNTS instead, a folder every account may read, and they are moved beside the
# objects after the tests. A program run under a tracer that fails its calls may not write
# them: its complaint goes into gcov-errors.log there, not into the output a test compares.
COUNTS=$(mktemp -d "${TMPDIR:-/tmp}/brellix-counts.XXXXXX")
trap 'rm -rf "$COUNTS"' EXIT
chmod 755 "$COUNTS"
export GCOV_PREFIX="$COUNTS" GCOV_ERROR_FILE="$COUNTS/gcov-errors.log"
: >"$GCOV_ERROR_FILE" && chmod 666 "$GCOV_ERROR_FILE"
# A run as another account adds its counts only to files it may write: both programs show
# their help once (as the tests do too), so that their files exist, then every account may
# write them. The programs themselves stay root's.
"$BUILD/tool/brellix" --help >/dev/null
"$BUILD/host/mktinyfs/mktinyfs" --help >/dev/null
find "$COUNTS" -name '*.gcda' -exec chmod 666 {} +
echo "== coverage: every test of $BUILD, counted"
ctest --preset coverage -j "$(nproc)"
# Each counter file back beside its object: the path under COUNTS is the object's own.
(cd "$COUNTS" && find . -name '*.gcda') | while read -r counts; do
    cp "$COUNTS/$counts" "$BUILD/${counts#*/"$BUILD"/}"
done
cp "$GCOV_ERROR_FILE" "$REPORT/gcov-errors.log"
status=0
gcovr --html-details "$REPORT/index.html" --json-summary "$REPORT/summary.json" "$BUILD" || status=$?
python3 - "$REPORT/summary.json" <<'PYTHON'
import json, sys
summary = json.load(open(sys.argv[1]))
def percent(covered, total):
    return f"{100.0 * covered / total:5.1f} %" if total else "    - "
print(f"{'file':44} {'lines':>16} {'branches':>16}")
for f in summary["files"]:
    print(f"{f['filename']:44} {percent(f['line_covered'], f['line_total'])} {f['line_covered']:4}/{f['line_total']:<4}"
          f" {percent(f['branch_covered'], f['branch_total'])} {f['branch_covered']:4}/{f['branch_total']:<4}")
print(f"{'total':44} {percent(summary['line_covered'], summary['line_total'])} "
      f"{summary['line_covered']:4}/{summary['line_total']:<4} "
      f"{percent(summary['branch_covered'], summary['branch_total'])} "
      f"{summary['branch_covered']:4}/{summary['branch_total']:<4}")
PYTHON
echo "HTML report: $REPORT/index.html"
[ "$status" = 0 ] || echo "coverage: below the floors of gcovr.cfg (gcovr's lines above)" >&2
exit "$status"
