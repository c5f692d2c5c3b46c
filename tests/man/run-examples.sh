#!/bin/sh
# Runs the examples of a manual page and compares their output with the page.
#
#   sh tests/man/run-examples.sh PAGE DIR...
#
# PAGE is a configured roff page; each DIR is put in front of PATH, so the examples
# run the programs built there. Every .EX/.EE block of the page is an example; in it a
# line starting with "$ " is a command (a command whose line ends in a backslash goes
# on to the next line), and the lines up to the next command or .EE are what that
# command prints, standard output and standard error together, exactly. All examples
# run in page order in one shell, in one fresh directory, so later ones see the files
# earlier ones made.
#
# Example lines are roff text: \- stands for "-", \e for a backslash, \(aq for "'",
# \(dq for a double quote, \& for nothing. A bare "-" or "'" there is refused, since
# it would not print as the character to type. Exit status 0 when every command
# printed what the page says, 1 otherwise.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: sh tests/man/run-examples.sh PAGE DIR..." >&2
    exit 2
fi
PAGE=$1
shift
for DIR in "$@"; do
    PATH=$(cd "$DIR" && pwd):$PATH
done
export PATH

WORK=$(mktemp -d "${TMPDIR:-/tmp}/man-examples.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
trap 'exit 1' HUP INT TERM
mkdir "$WORK/run" "$WORK/out"

# The page becomes a script that runs each command with its output in out/N, and
# out/N.expected with what the page says; out/N.command keeps the command for reports.
awk -v OUT="$WORK/out" -v SCRIPT="$WORK/script.sh" '
function fail(sWhy) {
    printf "%s:%d: %s\n", FILENAME, FNR, sWhy > "/dev/stderr"
    bad = 1
    exit 1
}
function unescape(sLine,    sOut, i, c, sName) {
    sOut = ""
    for (i = 1; i <= length(sLine); i++) {
        c = substr(sLine, i, 1)
        if (c == "-")
            fail("bare \"-\" in an example: write \\-")
        if (c == "\047")
            fail("bare \"\047\" in an example: write \\(aq")
        if (c != "\\") {
            sOut = sOut c
            continue
        }
        c = substr(sLine, ++i, 1)
        if (c == "-")
            sOut = sOut "-"
        else if (c == "e")
            sOut = sOut "\\"
        else if (c == "&")
            sOut = sOut ""
        else if (c == "(") {
            sName = substr(sLine, i + 1, 2)
            i += 2
            if (sName == "aq")
                sOut = sOut "\047"
            else if (sName == "dq")
                sOut = sOut "\""
            else
                fail("escape \\(" sName " is not known to this runner")
        } else
            fail("escape \\" c " is not known to this runner")
    }
    return sOut
}
function startCommand(sText) {
    n++
    sCommand = sText
    printf "" > (OUT "/" n ".expected")
    bContinued = sText ~ /\\$/
}
function endCommand() {
    printf "%s\n", sCommand > (OUT "/" n ".command")
    printf "{ %s\n} >\"$OUT/%d\" 2>&1\n", sCommand, n > SCRIPT
}
BEGIN { n = 0; bInExample = 0; bContinued = 0 }
/^\.EX/ { bInExample = 1; bHaveCommand = 0; next }
/^\.EE/ {
    if (!bInExample)
        fail(".EE without .EX")
    if (bContinued)
        fail("command continued past .EE")
    if (bHaveCommand)
        endCommand()
    bInExample = 0
    bHaveCommand = 0
    next
}
!bInExample { next }
/^[.\047]/ { fail("request inside an example: " $0) }
{
    sLine = unescape($0)
    if (bContinued) {
        sCommand = sCommand "\n" sLine
        bContinued = sLine ~ /\\$/
        next
    }
    if (substr(sLine, 1, 2) == "$ ") {
        if (bHaveCommand)
            endCommand()
        startCommand(substr(sLine, 3))
        bHaveCommand = 1
        next
    }
    if (!bHaveCommand)
        fail("output before any command in an example")
    printf "%s\n", sLine >> (OUT "/" n ".expected")
}
END {
    if (bad)
        exit 1
    if (bInExample)
        fail("example without .EE")
    if (n == 0)
        fail("no examples")
    printf "%d\n", n > (OUT "/count")
}
' "$PAGE"

COUNT=$(cat "$WORK/out/count")
(cd "$WORK/run" && OUT="$WORK/out" sh "$WORK/script.sh") || true

FAILED=0
I=1
while [ "$I" -le "$COUNT" ]; do
    if ! cmp -s "$WORK/out/$I.expected" "$WORK/out/$I"; then
        FAILED=$((FAILED + 1))
        printf '%s: example command %d printed other output:\n$ %s\n' "$PAGE" "$I" "$(cat "$WORK/out/$I.command")"
        diff -u "$WORK/out/$I.expected" "$WORK/out/$I" | sed 1,2d || true
    fi
    I=$((I + 1))
done
echo "$((COUNT - FAILED)) passed, $FAILED failed: examples of $(basename "$PAGE")"
[ "$FAILED" -eq 0 ]
