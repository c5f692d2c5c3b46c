# Shell functions for the transcripts in tests/cases, which work on the image "img".
# mkimg ARGS: builds img with mktinyfs (without ARGS an empty one, which mktinyfs puts over no image with
# files); snap: keeps a copy; unchanged: silent while img still holds the bytes of the copy.
mkimg() { [ $# != 0 ] || rm -f img; mktinyfs img "$@" && snap; }
snap() { cp img img.0; }
unchanged() { cmp img.0 img; }
# poke FILE OFFSET HEX: writes bytes; peek FILE OFFSET LENGTH: prints them, in hexadecimal, 32 a line.
poke() { printf "$(sed 's/../\\x&/g' <<<"$3")" | dd of="$1" bs=1 seek=$(($2)) conv=notrunc status=none; }
peek() { od -An -tx1 -v -w32 -j $(($2)) -N $(($3)) "$1" | tr -d ' '; }
# differ A B: how many pages of 1056 bytes differ between the files A and B.
differ() { cmp -l "$1" "$2" | awk '{ print int(($1 - 1) / 1056) }' | sort -u | wc -l; }
# slot N FIELD VALUE: stores the 32-bit number VALUE in a field of FAT slot N of img.
declare -A FIELD=([flags]=16 [offset]=20 [size]=24 [load]=28)
slot() { poke img $((0x4000 + 32 * $1 + FIELD[$2])) "$(printf '%08x' $(($3)) | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')"; }
# slowly CMD: runs CMD with each read of img delayed by $DELAY microseconds, so long transfers take seconds.
slowly() { fault @img read:delay_exit="${DELAY:-50000}" -- "$@"; }
# onterminal CMD: runs the shell command CMD on a pseudo-terminal; each erasure of the status line shows "|".
onterminal() { script -qec "$1" /dev/null | sed 's/\r\x1b\[K/|/g; s/\r$//'; }
# skip WHAT: ends the transcript here, as this machine lacks WHAT (root, a loop device).
skip() { echo "needs $*"; exit 77; }
# holding -x|-s CMD...: runs CMD while img's lock is held alone or shared as another run of this account holds
# it (root's: its lock file; others: a record lock of img's first byte), however slow the machine.
holding() {
    local holder status lock
    rm -f held
    if [ "$(id -u)" = 0 ]; then
        lock=/run/brellix/brellix-file-$(stat -c %Hd-%Ld-%i img).lock
        { [ -d /run/brellix ] || mkdir -m 700 /run/brellix; } && { [ -e "$lock" ] || install -m 600 /dev/null "$lock"; }
        flock -o "$1" "$lock" sh -c ': >held; exec sleep 60' &>/dev/null &
    else
        python3 -c 'import fcntl, os, struct, sys, time
fcntl.fcntl(os.open("img", os.O_RDWR), fcntl.F_OFD_SETLK, struct.pack("@hhqqi0q", fcntl.F_WRLCK
            if sys.argv[1] == "-x" else fcntl.F_RDLCK, 0, 0, 1, 0)); open("held", "w"); time.sleep(60)' "$1" &>/dev/null &
    fi
    holder=$!
    until [ -e held ]; do sleep 0.05; done
    "${@:2}"
    status=$?
    kill $holder
    [ "$(id -u)" != 0 ] || rm -f "$lock"
    return $status
}
# privately CMD: runs the shell command CMD in its own mount namespace, on an empty /run no other run sees.
privately() { unshare -m bash -c "mount -t tmpfs -o mode=755 tmpfs /run && $1"; }
# fault [@PATH | =NAME ...] CLASS:HARM ... -- CMD...: runs CMD with strace doing each HARM (strace's
# error=E..., retval=N, signal=SIG or delay_exit=US, with :when=N as it reads it) to CMD's calls of that
# class, only on the PATHs (relative to the current folder) or NAMEs (a name as a call within its folder
# gives it) when some are named (LeakSanitizer cannot run under a tracer). A class stands for every name
# that C libraries and architectures give its calls, which are spelt here and nowhere else (sweep.py reads
# them from here); a row of refused, a fault.
declare -A CALLS=([open]='?open,?openat,?openat2,?creat' [read]='?read,?pread64,?readv,?preadv,?preadv2'
    [write]='?write,?pwrite64,?writev,?pwritev,?pwritev2' [writeat]='?pwrite64,?pwritev,?pwritev2'
    [seek]='?lseek,?_llseek' [sync]='?fsync,?fdatasync' [close]='?close' [lock]='?flock,?fcntl,?fcntl64'
    [ioctl]='?ioctl' [link]='?link,?linkat' [unlink]='?unlink,?unlinkat'
    [rename]='?rename,?renameat,?renameat2' [mkdir]='?mkdir,?mkdirat' [readlink]='?readlink,?readlinkat'
    [stat]='?stat,?lstat,?fstat,?newfstatat,?fstatat64,?stat64,?lstat64,?fstat64,?statx'
    [chmod]='?chmod,?fchmod,?fchmodat' [truncate]='?truncate,?ftruncate,?truncate64,?ftruncate64'
    [list]='?getdents,?getdents64' [wait]='?nanosleep,?clock_nanosleep,?clock_nanosleep_time64'
    [chown]='?chown,?fchown,?lchown,?fchownat,?fchown32' [dup]='?dup,?dup2,?dup3' [control]='?fcntl,?fcntl64' [syncfs]='?syncfs' [noreplace]='?renameat2')
# traced CLASS[,CLASS...] CMD...: runs CMD with strace logging its calls of those classes into "log", each
# descriptor with its path; programmed CMD: the length of each write call CMD makes on img.
traced() {
    local class names=()
    for class in ${1//,/ }; do names+=("${CALLS[$class]}"); done
    ASAN_OPTIONS=detect_leaks=0 strace -qqq -y -o log -e trace="$(IFS=,; echo "${names[*]}")" "${@:2}"
}
programmed() { traced write -P "$PWD/img" "$@"; echo "writes:$(sed -n 's/^[a-z0-9_]*(.* = / /p' log | tr -d '\n')"; }
fault() {
    local options=()
    while [ $# != 0 ] && [ "$1" != -- ]; do
        case $1 in
        @*) options+=(-P "$(realpath -m "${1#@}")") ;;
        =*) options+=(-P "${1#=}") ;;
        *:*) [ -n "${CALLS[${1%%:*}]}" ] || { echo "fault: no call class ${1%%:*}" >&2 && return 2; }
            options+=(-e "inject=${CALLS[${1%%:*}]}:${1#*:}") ;;
        *) echo "fault: not a path or a harm: $1" >&2 && return 2 ;;
        esac
        shift
    done
    ASAN_OPTIONS=detect_leaks=0 strace -qqq -o /dev/null "${options[@]}" "${@:2}"
}
# faults CMD HARMS...: rows of refused, each the shell command CMD run with one HARMS as fault reads them.
faults() { FAULTED=$1 refused faulted "${@:2}"; }
faulted() { eval "fault $* -- $FAULTED"; }
# refused CMD ARGS...: runs CMD ARGS (CMD may be empty) through eval for each ARGS, printing on standard error
# a row of ARGS, a colon, what the command printed there and " [N]" for a status N other than 1.
refused() {
    local args message status
    for args in "${@:2}"; do
        { message=$(eval "$1${1:+${args:+ }}$args" 2>&1 >&3 3>&-); status=$?; } 3>&1
        [ $status = 1 ] && status= || status=" [$status]"
        echo "$args:${message:+ $message}$status" >&2
    done
}
