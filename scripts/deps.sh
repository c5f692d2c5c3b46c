#!/bin/sh
# Installs the Debian packages a task needs, when they are missing (idempotent):
#   sh scripts/deps.sh [build] [ci] [arm] [vm]
# build: build, demo, tests and benchmarks; ci: the extra stages of .ci/run; arm: cross
# builds and emulation; vm: the MTD-device stage. As root it runs apt-get; otherwise it
# prints the one command to run and fails.
set -eu
packages() {
    case $1 in
    build) echo cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev python3 strace bsdutils ;;
    ci) echo valgrind clang libclang-rt-14-dev clang-format shellcheck dpkg-dev groff-base man-db binutils ;;
    arm) echo g++-arm-linux-gnueabi g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user-static googletest \
        musl-dev:armel ;;
    vm) echo qemu-system-x86 qemu-user-static busybox-static cpio ;;
    *) echo "deps.sh: no such group: $1" >&2 && exit 2 ;;
    esac
}
missing=
for group in "${@:-build}"; do
    list=$(packages "$group") || exit 2
    for package in $list; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $package"
    done
done
[ -z "$missing" ] && exit 0
# Packages of another architecture (NAME:ARCH) need that architecture known to dpkg.
foreign=$(echo "$missing" | tr ' ' '\n' | sed -n 's/.*://p' | sort -u)
add=
for arch in $foreign; do
    dpkg --print-foreign-architectures | grep -qx "$arch" || add="$add $arch"
done
if [ "$(id -u)" != 0 ]; then
    for arch in $add; do
        echo "missing architecture; run: sudo dpkg --add-architecture $arch && sudo apt-get update" >&2
    done
    echo "missing packages; run: sudo apt-get install$missing" >&2
    exit 1
fi
for arch in $add; do
    dpkg --add-architecture "$arch"
done
echo "== installing:$missing"
apt-get update -qq
# shellcheck disable=SC2086 # one package per word
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >/dev/null
