# Shell functions for the transcripts in tests/cases. A case works on the image "img" in
# its scratch directory; img.0 keeps the image as it was built.

# mkimg ARGS...: builds img with mktinyfs and keeps a copy of it (snap).
mkimg() { mktinyfs img "$@" && snap; }

# snap: keeps a copy of img as img.0; unchanged: silent while img still holds those bytes.
snap() { cp img img.0; }
unchanged() { cmp img.0 img; }

# poke FILE OFFSET HEX: writes the bytes given in hexadecimal at OFFSET.
poke() { printf "$(sed 's/../\\x&/g' <<<"$3")" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }

# le32 N: N as four little-endian bytes in hexadecimal.
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }

# slot N FIELD VALUE: stores the number VALUE in a field of FAT slot N of img.
declare -A FIELD=([flags]=16 [offset]=20 [size]=24 [load]=28)
slot() { poke img $((0x4000 + 32 * $1 + FIELD[$2])) "$(le32 "$3")"; }

# peek FILE OFFSET LENGTH: those bytes in hexadecimal.
peek() { od -An -tx1 -v -j $(($2)) -N $(($3)) "$1" | tr -d ' \n' && echo; }

# pages A B: the numbers of the 1056-byte pages in which the files A and B differ.
pages() { cmp -l "$1" "$2" | awk '{ p = int(($1 - 1) / 1056); if (p != q) print p; q = p }'; }

# slowly CMD...: runs CMD with every read of img delayed, so that long transfers take
# seconds: $DELAY microseconds each (LeakSanitizer cannot run under a tracer).
slowly() {
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace -qqq -o /dev/null -P "$PWD/img" \
        -e trace=read -e inject=read:delay_exit=${DELAY:-50000} "$@"
}

# onterminal CMD: runs the shell command CMD on a pseudo-terminal; each erasure of the
# status line shows as "|", line ends as usual.
onterminal() { script -qec "$1" /dev/null | sed 's/\r\x1b\[K/|/g; s/\r$//'; }
