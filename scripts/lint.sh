#!/usr/bin/env bash
# The checks to pass before committing (make lint, which installs what they need; the
# last stage of CI). Each runs over what git tracks:
#   1. clang-format (the committed .clang-format) leaves every C and C++ file as it is;
#   2. shellcheck finds nothing in any shell script; files without a #! line (the
#      transcripts' helpers, the completions) are fragments that bash sources, checked
#      for warnings and errors, their variables being for the shell that sources them;
#   3. pyflakes finds nothing in any Python script;
#   4. commit subjects since LINT_BASE are at most 72 characters; by default, since the
#      commit that brought this check in;
#   5. no tracked file names the place this checkout lives in;
#   6. each layer includes only the layers below it (CONTRIBUTING.md's Code conventions);
#   7. the tests stay at most 0.36 of the product code (scripts/test-ratio.sh);
#   8. no product unit (a header with its source) includes itself through others;
#   9. no line of a transcript (tests/cases/*.t) passes 110 columns, but for expected lines
#      that end in " (wide)": a program's own long line, which tests/e2e/run.py then
#      compares without the marker (most are split instead, ending in " \").
#  10. each MTD-device stage, run alone, installs the package of every program it runs
#      (.ci/mtd-vm/needs.sh, scripts/stage-deps.py);
#  11. scripts/deps.sh, run by another account with packages missing, ends with the command
#      for root, and names sudo only where there is one.
# Runs them all, then exits 1 when any failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
failed=""
check() {
    local name=$1
    shift
    echo "== $name"
    "$@" || failed="$failed${failed:+, }$name"
}

# Tracked files whose first line starts with "#!" and names one of the interpreters given.
scripts_of() {
    local file
    git ls-files -z | while IFS= read -r -d '' file; do
        [ -f "$file" ] && head -c 256 "$file" | head -n 1 | grep -qE "^#!.*[/ ]($1)\$" && echo "$file"
    done
}

format() {
    git ls-files -z '*.h' '*.cpp' '*.c' | xargs -0 clang-format --dry-run -Werror
}

shell() {
    local shebang sourced
    mapfile -t shebang < <(scripts_of 'sh|bash')
    mapfile -t sourced < <(git ls-files '*.sh' 'completions/*' ':!:*.txt' | while IFS= read -r file; do
        head -n 1 "$file" | grep -q '^#!' || echo "$file"
    done)
    local status=0
    shellcheck "${shebang[@]}" || status=1
    shellcheck -s bash -S warning -e SC2034 "${sourced[@]}" || status=1
    return $status
}

python() {
    local files
    mapfile -t files < <({ git ls-files '*.py'; scripts_of 'python3?'; } | sort -u)
    pyflakes3 "${files[@]}"
}

subjects() {
    local base=${LINT_BASE:-} long
    if [ -z "$base" ]; then
        base=$(git log --diff-filter=A --format=%H -- scripts/lint.sh | tail -n 1)
        if [ -z "$base" ]; then
            echo "no commit brought in scripts/lint.sh yet: set LINT_BASE"
            return 0
        fi
        base=$(git rev-parse --verify --quiet "$base^") || return 0
    fi
    long=$(git log --format='%h %s' "$base..HEAD" | awk 'length($0) - index($0, " ") > 72')
    [ -z "$long" ] || { printf 'commit subjects longer than 72 characters:\n%s\n' "$long"; return 1; }
    echo "$(git rev-list --count "$base..HEAD") commit subjects since $(git rev-parse --short "$base"), none above 72 characters"
}

paths() {
    local found
    found=$(git grep -n -F -e "$PWD" -- . || true)
    [ -z "$found" ] || { printf 'tracked files name this checkout'"'"'s folder:\n%s\n' "$found"; return 1; }
}

# FOLDER=what it may not include, one layer a line.
LAYERS="tinyfs=tool|cmdline|host|tests|bench|fuzz
cmdline=tool|tinyfs|host|tests|bench|fuzz
tool=host|tests|bench|fuzz
host=tool|cmdline|tests|bench|fuzz"
layers() {
    local folder forbidden found status=0
    while IFS='=' read -r folder forbidden; do
        found=$(git grep -n -E "#[[:space:]]*include[[:space:]]*[<\"]($forbidden)/" -- "$folder")
        [ -z "$found" ] || { printf '%s/ includes what it may not:\n%s\n' "$folder" "$found"; status=1; }
    done <<<"$LAYERS"
    return $status
}

# No include circle among the product's files: a header and its source are one unit (a
# path without .h or .cpp), and no unit may depend on itself through the units it
# includes, directly or through others. python3 finds the strongly connected units; each
# group of more than one is a circle, and is named.
PRODUCT="tool cmdline tinyfs host"
include_cycles() {
    # shellcheck disable=SC2086
    git ls-files -z -- $PRODUCT | python3 -c '
import re, sys
files = [f for f in sys.stdin.read().split("\0") if f.endswith((".h", ".cpp"))]
unit = lambda path: path.rsplit(".", 1)[0]
units = {unit(f) for f in files}
edges = {u: set() for u in units}
for f in files:
    for line in open(f, encoding="utf-8", errors="replace"):
        m = re.match(r"\s*#\s*include\s*\"([^\"]+)\.(h|cpp)\"", line)
        if m and m.group(1) in units and m.group(1) != unit(f):
            edges[unit(f)].add(m.group(1))
index, low, stack, on, found = {}, {}, [], set(), []
def visit(u):
    index[u] = low[u] = len(index)
    stack.append(u)
    on.add(u)
    for v in sorted(edges[u]):
        if v not in index:
            visit(v)
            low[u] = min(low[u], low[v])
        elif v in on:
            low[u] = min(low[u], index[v])
    if low[u] == index[u]:
        ring = []
        while True:
            v = stack.pop()
            on.discard(v)
            ring.append(v)
            if v == u:
                break
        if len(ring) > 1:
            found.append(sorted(ring))
sys.setrecursionlimit(10000)
for u in sorted(units):
    if u not in index:
        visit(u)
for ring in found:
    print("include circle: " + " <-> ".join(ring))
sys.exit(1 if found else 0)
'
}

# Lines of transcripts longer than 110 columns, unless marked as a program's wide line.
widths() {
    local files found
    mapfile -t files < <(git ls-files 'tests/cases/*.t')
    [ ${#files[@]} = 0 ] && return 0
    found=$(awk 'length($0) > 110 && !(/ \(wide\)$/ && /^  / && !/^  [$>] /) {
        print FILENAME ":" FNR ": " length($0) " columns" }' "${files[@]}")
    [ -z "$found" ] || { printf 'transcript lines over 110 columns (split output lines with " \\" or mark them " (wide)"):\n%s\n' "$found"; return 1; }
}

check "clang-format" format
check "shellcheck" shell
check "pyflakes" python
check "commit subjects" subjects
check "no path of this checkout" paths
check "layers" layers
check "include circles" include_cycles
check "test size" sh scripts/test-ratio.sh
# deps.sh as another account: stand-ins for id (uid 1000), dpkg-query (nothing installed) and,
# on the second run, sudo, first on the PATH.
deps_message() {
    local fake out sudo wrong status=0 expected="    sh $PWD/scripts/deps.sh lint"
    fake=$(mktemp -d) || return 1
    printf '#!/bin/sh\necho 1000\n' >"$fake/id"
    printf '#!/bin/sh\nexit 1\n' >"$fake/dpkg-query"
    chmod +x "$fake/id" "$fake/dpkg-query"
    for sudo in "$(command -v sudo)" "$fake/sudo"; do
        out=$(PATH="$fake:$PATH" sh scripts/deps.sh lint 2>&1)
        wrong=0
        [ "$(printf '%s\n' "$out" | tail -n 1)" = "$expected" ] || wrong=1
        if [ -n "$sudo" ]; then
            grep -qx "deps.sh: with sudo: sudo ${expected#    }" <<<"$out" || wrong=1
        elif grep -q sudo <<<"$out"; then
            wrong=1
        fi
        [ $wrong = 0 ] || { printf 'deps.sh as another account%s printed:\n%s\n' "${sudo:+ with sudo}" "$out"; status=1; }
        cp "$fake/id" "$fake/sudo"
    done
    rm -rf "$fake"
    return $status
}

check "transcript widths" widths
check "stage packages" python3 scripts/stage-deps.py
check "deps.sh for another account" deps_message
if [ -n "$failed" ]; then
    echo "lint: failed: $failed" >&2
    exit 1
fi
echo "lint: all checks passed"
