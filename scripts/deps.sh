#!/bin/sh
# The one installer of the Debian packages a task needs; installs only what is missing:
#   sh scripts/deps.sh GROUP...
# build: build, demo, tests, install, and man to read the manual pages built (man -l);
# bench: make bench; fuzz: make fuzz (clang); format: make format;
# package: make package and make package-arm (with arm);
# package-check: .ci/check-packages (dpkg-deb, lintian, man); lint: make lint;
# arm: cross builds for the boards and their emulation; ci: the valgrind stage of .ci/run;
# coverage: make coverage (gcovr); vm: the MTD-device stage of .ci/run; armvm: its ARM stages (with arm), whose kernels and
# busybox are fetched with apt-get download, which needs dpkg to know arm64 and armhf:
# a word @ARCH names an architecture a group needs without installing a package of it.
# Each MTD-device stage runs alone with its groups (.ci/mtd-vm/needs.sh, checked by make lint).
#   sh scripts/deps.sh --list GROUP...   prints the packages the groups name, one a line.
# As root it runs apt-get without questions and shows apt's output only when it fails;
# otherwise it prints the command to run as root (and with sudo, where installed) and fails.
set -eu
packages() {
    case $1 in
    build) echo cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev python3 strace bsdutils \
        dpkg-dev file man-db ;;
    bench) echo valgrind strace binutils python3 ;;
    fuzz) echo clang libclang-rt-14-dev ;;
    format) echo clang-format git ;;
    package) echo dpkg-dev file binutils ;;
    package-check) echo dpkg-dev binutils lintian groff-base man-db ;;
    lint) echo clang-format shellcheck pyflakes3 git ;;
    arm) echo g++-arm-linux-gnueabi g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user-static googletest \
        musl-dev:armel musl-dev:armhf musl-dev:arm64 ;;
    ci) echo valgrind ;;
    vm) echo qemu-system-x86 busybox-static cpio gcc ;;
    coverage) echo gcovr ;;
    armvm) echo qemu-system-arm busybox-static cpio gcc gcc-aarch64-linux-gnu gcc-arm-linux-gnueabihf make xz-utils \
        @arm64 @armhf ;;
    *) echo "deps.sh: no such group: $1" >&2 && exit 2 ;;
    esac
}
[ $# -gt 0 ] || set -- build
if [ "$1" = --list ]; then
    shift
    for group in "$@"; do
        packages "$group" >/dev/null || exit 2
    done
    for group in "$@"; do
        packages "$group"
    done | tr ' ' '\n' | sed -e '/^@/d' -e '/^$/d' -e 's/:.*//'
    exit 0
fi
missing=''
arches=''
for group in "$@"; do
    list=$(packages "$group") || exit 2
    for package in $list; do
        case $package in @*) arches="$arches ${package#@}" && continue ;; esac
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $package"
    done
done
# Packages of another architecture (NAME:ARCH) need that architecture known to dpkg.
foreign=$( (echo "$missing" | tr ' ' '\n' | sed -n 's/.*://p'; echo "$arches" | tr ' ' '\n') | sed '/^$/d' | sort -u)
add=
for arch in $foreign; do
    [ "$arch" = "$(dpkg --print-architecture)" ] || dpkg --print-foreign-architectures | grep -qx "$arch" ||
        add="$add $arch"
done
[ -z "$missing$add" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    self="$(cd "$(dirname "$0")" && pwd)/deps.sh $*"
    echo "deps.sh: missing Debian packages:$missing" >&2
    [ -z "$add" ] || echo "deps.sh: and dpkg must learn the architecture$add" >&2
    # The last line is the command itself, as root runs it; sudo only where there is one.
    ! command -v sudo >/dev/null || echo "deps.sh: with sudo: sudo sh $self" >&2
    echo "deps.sh: install them as root, then run the same command again; as root:" >&2
    echo "    sh $self" >&2
    exit 1
fi
log=$(mktemp "${TMPDIR:-/tmp}/deps.XXXXXX")
trap 'rm -f "$log"' EXIT
for arch in $add; do
    for=$(echo "$missing" | tr ' ' '\n' | grep ":$arch$" | sed 's/^/ /' | tr -d '\n')
    echo "== deps.sh: dpkg --add-architecture $arch (for${for:- apt-get download of $arch packages})"
    dpkg --add-architecture "$arch"
done
# apt takes a minute or more on a fresh machine: this says first what it waits for.
[ -z "$missing" ] || echo "== deps.sh: installing $(echo "$missing" | wc -w) Debian packages:$missing"
# No questions, no debconf notes: apt's output is shown only when it fails.
export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086 # one package per word
# An index that fails to download (a mirror caught mid-sync) fails the update but
# not always the install, which then takes the indexes it has: only the install decides.
if ! { apt-get update -q || echo "deps.sh: apt-get update failed; installing from the indexes at hand"
    [ -z "$missing" ] || apt-get install -y -q $missing; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "deps.sh: apt-get failed (its output is above)" >&2
    exit 1
fi
