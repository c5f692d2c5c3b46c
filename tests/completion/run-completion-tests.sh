#!/usr/bin/env bash
# Tests of the bash completions of brellix and mktinyfs: each case gives the words of
# a command line as bash splits them ("=" is a word of its own, as with the default
# COMP_WORDBREAKS) and the candidates the completion must offer, sorted.
#
#   bash tests/completion/run-completion-tests.sh BASH_COMPLETION COMPLETIONS_DIR
#
# BASH_COMPLETION is the bash-completion library the completions are loaded under on a
# system; COMPLETIONS_DIR holds the files brellix and mktinyfs.
set -u

if [ $# -ne 2 ]; then
    echo "usage: bash tests/completion/run-completion-tests.sh BASH_COMPLETION COMPLETIONS_DIR" >&2
    exit 2
fi
# The library reads settings that an interactive shell would have.
# shellcheck disable=SC1090
source "$1" || exit 1
# shellcheck disable=SC1091
source "$2/brellix" && source "$2/mktinyfs" || exit 1

WORK=$(mktemp -d "${TMPDIR:-/tmp}/completion-tests.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
touch zImage zebra.bin board.img
mkdir sub

PASSED=0
FAILED=0

# expect "EXPECTED CANDIDATES" WORD... : the last word is the one being completed.
expect() {
    local sExpected=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    local fCompletion
    fCompletion=$(complete -p "$1" | sed 's/.*-F \([^ ]*\) .*/\1/')
    "$fCompletion" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local sGot
    sGot=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
    if [ "$sGot" = "$sExpected" ]; then
        PASSED=$((PASSED + 1))
    else
        FAILED=$((FAILED + 1))
        printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "$COMP_LINE" "$sExpected" "$sGot"
    fi
}

# brellix: options, unused ones only; paths after -d and as the second argument of -r
# and -w; nothing for values and names inside the image.
expect "--verbose --version" brellix --ver
expect "--check --exists --force --get-device-id --get-mac --help --read --read-stdout --rename --set-device-id --set-mac --verbose --version --write -c -e -gdid -gm -h -mv -r -rs -sdid -sm -v -w" \
    brellix -q -l -d x -
expect "--check --device --exists --force --get-device-id --get-mac --help --read --read-stdout --rename --set-device-id --set-mac --verbose --version --write" brellix -q -l --
expect "--check --exists --force --get-device-id --get-mac --help --list --quiet --read --read-stdout --rename --set-device-id --set-mac --verbose --version --write" brellix --device board.img --
expect "zImage zebra.bin" brellix -d z
expect "sub" brellix -d board.img -r kernel s
expect "zImage zebra.bin" brellix -d board.img --write kernel z
expect "" brellix -d board.img -r k
expect "" brellix -d board.img -e k
expect "" brellix -d board.img -rs k
expect "" brellix -d board.img -mv kernel k
expect "" brellix -sm 0
expect "" brellix -sdid B

# mktinyfs: the image path first, then paths after "NAME=", options anywhere, nothing
# for values and names.
expect "board.img sub zImage zebra.bin" mktinyfs ""
expect "zImage zebra.bin" mktinyfs --device-id BX-1 z
expect "zImage zebra.bin" mktinyfs out.img kernel = z
expect "board.img sub zImage zebra.bin" mktinyfs out.img kernel =
expect "" mktinyfs out.img kern
expect "--room" mktinyfs out.img kernel = zImage --ro
expect "--no-checksum" mktinyfs out.img --no
expect "" mktinyfs out.img kernel = zImage --room 0
expect "" mktinyfs --mac 0

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
