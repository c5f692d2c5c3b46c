#!/bin/sh
# CI stages: brellix on a real MTD character device, in Debian's own kernels under
# qemu-system (TCG: no KVM needed):
#
#   sh .ci/mtd-vm/run.sh [GUEST]...       GUEST: x86_64 (the default), arm64, armhf
#
#   x86_64  the host build, on the kernel of linux-image-amd64
#   arm64   the arm64 board programs, on linux-image-arm64 (-M virt -cpu cortex-a53)
#   armhf   the armhf and armel board programs, on linux-image-armmp (-M virt,highmem=off
#           -cpu cortex-a15): the ARMv5 build runs natively on an ARMv7 kernel
#
# Each guest boots with a busybox initramfs whose init (beside this file) loads mtdram with
# the board's geometry and runs scenario.sh on /dev/mtd0 with each of its builds (legs). The
# same scenario runs here on an image file with the host build; every leg's outputs and
# device checksums must agree with it, else the differences are shown and the exit status is
# 1. Work goes to build/mtd-vm; what is fetched and built once per kernel version to the
# user's cache (BRELLIX_CACHE, by default ~/.cache/brellix), outside the checkout, so that
# a fresh clone on the same machine finds it.
#
# Kernels, their headers and busybox come from Debian with apt-get download. The ARM kernels
# have no mtdram: it is built out of tree (M=, the module alone) from linux-source with the
# kernel's headers, the host's kbuild tools and the cross compiler, and is loaded with a
# taint warning (unsigned). The x86 host build goes into its guest with the shared libraries
# ldd names: the leg runs that very binary, so the device is the only difference. Results
# come back as a tar archive on a second raw virtio disk: unlike the serial console, it
# carries bytes unchanged and no kernel message mixes in. qemu's default x86 CPU has no
# PCLMULQDQ, so the x86 leg checks the portable CRC against the host's carry-less one too.
set -eu
TIMEOUT=${MTD_VM_TIMEOUT:-600}
cd "$(dirname "$0")/../.."
TOP=$PWD HERE=$PWD/.ci/mtd-vm W=$PWD/build/mtd-vm
C=${BRELLIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/brellix}/mtd-vm
[ $# -gt 0 ] || set -- x86_64
# shellcheck disable=SC1091 # needs.sh, beside this file
. "$HERE/needs.sh"
for GUEST in "$@"; do
    needs "$GUEST" || { echo "mtd-vm: no such guest: $GUEST (x86_64, arm64, armhf)" >&2 && exit 2; }
    # shellcheck disable=SC2086 # one group per word
    sh scripts/deps.sh $NEEDED_GROUPS
done
START=$(date +%s)
mkdir -p "$W" "$C/debs"
fail() {
    echo "mtd-vm: $1; end of the console ($W/$GUEST/console.log):" >&2
    tail -n 40 "$W/$GUEST/console.log" >&2
    exit 1
}
quiet() {
    "$@" >"$W/step.log" 2>&1 || { cat "$W/step.log" >&2 && echo "mtd-vm: failed: $*" >&2 && exit 1; }
}

# apt-cache reads every package list on each call (seconds here), so each asks for all it
# needs at once. lookup PKG... adds "NAME[:ARCH] VERSION DEPENDS" lines in $W/packages
# (ARCH when foreign), for version and depends.
lookup() {
    apt-cache show --no-all-versions "$@" >"$W/packages.txt" 2>/dev/null ||
        { quiet apt-get update -q && apt-cache show --no-all-versions "$@" >"$W/packages.txt"; }
    awk -v host="$(dpkg --print-architecture)" '
        /^Package: / { name = $2 } /^Version: / { version = $2 } /^Architecture: / { arch = $2 }
        /^Depends: / { depends = $2; sub(/,$/, "", depends) }
        /^$/ { if (name != "") print name (arch == "all" || arch == host ? "" : ":" arch), version, depends
               name = depends = "" }
        END { if (name != "") print name (arch == "all" || arch == host ? "" : ":" arch), version, depends }
    ' "$W/packages.txt" >>"$W/packages"
}
field() { awk -v name="$1" -v n="$2" '$1 == name { print $n; exit }' "$W/packages"; }
version() { field "$1" 2; }
# The .deb of NAME[:ARCH] in its version from the last lookup, fetched into the cache when
# missing (apt-get download names the epoch's colon %3a).
deb() {
    V=$(version "$1" | sed 's/:/%3a/')
    case $1 in
    *:*) A=${1#*:} ;;
    *) A=$(dpkg --print-architecture) ;;
    esac
    for TRY in fetched download; do
        F=$(find "$C/debs" \( -name "${1%%:*}_${V}_$A.deb" -o -name "${1%%:*}_${V}_all.deb" \) | head -n 1)
        [ -n "$F" ] || [ $TRY = download ] || (cd "$C/debs" && quiet apt-get download -q -o APT::Sandbox::User=root "$1")
    done
    echo "$F"
}

# mtdram for an ARM kernel KVER of architecture ARCH, built into the unpacked kernel K.
build_mtdram() {
    case $2 in
    arm64) KARCH=arm64 CROSS=aarch64-linux-gnu- ;;
    armhf) KARCH=arm CROSS=arm-linux-gnueabihf- ;;
    esac
    SERIES=$(echo "$1" | cut -d. -f1,2)
    B=$C/build.tmp
    rm -rf "$B" && mkdir -p "$B/module"
    for PKG in "linux-headers-$1:$2" "linux-headers-${1%-*}-common" "linux-kbuild-$SERIES"; do
        dpkg-deb -x "$(deb "$PKG")" "$B/root"
    done
    # The headers include their common part by its installed path, and their scripts are
    # the host's kbuild tools through a relative link.
    H=$B/root/usr/src/linux-headers-$1
    sed -i "s|/usr/src/|$B/root/usr/src/|" "$H/Makefile"
    # The one source file is kept; the source package (140 MB) is not.
    SOURCE=$C/mtdram-$SERIES-$(version "linux-source-$SERIES").c
    if [ ! -f "$SOURCE" ]; then
        SRC=$(deb "linux-source-$SERIES")
        dpkg-deb --fsys-tarfile "$SRC" | tar -xO "./usr/src/linux-source-$SERIES.tar.xz" | xz -dc |
            tar -xO "linux-source-$SERIES/drivers/mtd/devices/mtdram.c" >"$SOURCE.tmp"
        mv "$SOURCE.tmp" "$SOURCE"
        rm -f "$SRC"
    fi
    cp "$SOURCE" "$B/module/mtdram.c"
    # Its built-in defaults, which the module parameters replace.
    printf 'obj-m := mtdram.o\nccflags-y := -DCONFIG_MTDRAM_TOTAL_SIZE=4096 -DCONFIG_MTDRAM_ERASE_SIZE=128\n' \
        >"$B/module/Kbuild"
    echo "== mtd-vm: building mtdram for $1 with ${CROSS}gcc (once per kernel version)"
    quiet make -C "$H" M="$B/module" ARCH="$KARCH" CROSS_COMPILE="$CROSS" -j 2 modules
    mkdir -p "$3/lib/modules/$1/extra"
    cp "$B/module/mtdram.ko" "$3/lib/modules/$1/extra/"
    rm -rf "$B"
}

# The host leg's programs and the sample image, shared by every guest.
echo "== mtd-vm: building the host programs (build/release)"
cmake --preset release >/dev/null
quiet cmake --build --preset release --target brellix mktinyfs
BRELLIX=$TOP/build/release/tool/brellix MKTINYFS=$TOP/build/release/host/mktinyfs/mktinyfs
cc -O2 -static -o "$W/onwrite" "$HERE/onwrite.c"
head -c 3000 /bin/busybox >"$W/kernel.bin"
printf 'console=ttyS0,115200\nroot=/dev/mtdblock1\n' >"$W/board.cfg"
"$MKTINYFS" --device-id BX-VM-0001 --mac 00:11:22:33:44:55 "$W/sample.img" kernel="$W/kernel.bin" \
    --load 0x20008000 --x --room 0x1000 config="$W/board.cfg" --room 1024 splash= --room 0x4000
rm -rf "$W/host"
echo "== host leg"
# The programs under test get the four signals the scenario sends or meets at their defaults,
# as each guest's do (its init starts with every disposition at its default), whatever this
# run inherited: under nohup, or from a service, SIGHUP or SIGPIPE may come ignored, and the
# tool keeps an ignored SIGHUP ignored.
env --default-signal=HUP,INT,TERM,PIPE \
    sh "$HERE/scenario.sh" "$W/sample.img" "$W/host.img" "$W/host" "$BRELLIX" "$MKTINYFS" "$W/onwrite"

settings() {
    case $1 in
    x86_64)
        ARCH=amd64 META=linux-image-amd64 LEGS=x86_64 MODULES="virtio_pci virtio_blk"
        QEMU="qemu-system-x86_64" CONSOLE=ttyS0 DISK=virtio
        # clocksource=hpet: on a loaded host the guest misjudges the TSC and its clock runs fast.
        APPEND="clocksource=hpet"
        ;;
    arm64)
        ARCH=arm64 META=linux-image-arm64:arm64 LEGS=arm64 MODULES="virtio_mmio virtio_blk"
        QEMU="qemu-system-aarch64 -M virt -cpu cortex-a53" CONSOLE=ttyAMA0 DISK=mmio APPEND=
        ;;
    armhf)
        ARCH=armhf META=linux-image-armmp:armhf LEGS="armhf armel" MODULES="virtio_mmio virtio_blk"
        QEMU="qemu-system-arm -M virt,highmem=off -cpu cortex-a15" CONSOLE=ttyAMA0 DISK=mmio APPEND=
        ;;
    esac
}

# The kernel packages the metapackages depend on now, and what goes with each.
METAS='' PACKAGES=''
rm -f "$W/packages"
for GUEST in "$@"; do
    settings "$GUEST"
    METAS="$METAS $META"
done
# shellcheck disable=SC2086 # one package per word
lookup $METAS
for GUEST in "$@"; do
    settings "$GUEST"
    KPKG=$(field "$META" 3)
    [ "$ARCH" = amd64 ] || KPKG=$KPKG:$ARCH
    KVER=${KPKG%%:*} KVER=${KVER#linux-image-} SERIES=$(echo "$KVER" | cut -d. -f1,2)
    PACKAGES="$PACKAGES $KPKG"
    [ "$ARCH" = amd64 ] || PACKAGES="$PACKAGES linux-headers-$KVER:$ARCH linux-headers-${KVER%-*}-common
        linux-kbuild-$SERIES linux-source-$SERIES busybox-static:$ARCH"
done
# shellcheck disable=SC2046,SC2086 # one package per word
lookup $(echo $PACKAGES | tr ' ' '\n' | sort -u)

STATUS=0
for GUEST in "$@"; do
    G=$W/$GUEST I=$W/$GUEST/initramfs
    settings "$GUEST"
    KPKG=$(field "$META" 3)
    [ "$ARCH" = amd64 ] || KPKG=$KPKG:$ARCH
    KVER=${KPKG%%:*} KVER=${KVER#linux-image-}
    # The kernel, unpacked once, with mtdram built where the kernel lacks it.
    K=$C/$KVER-$(version "$KPKG")
    if [ ! -d "$K" ]; then
        echo "== mtd-vm: fetching and unpacking $KPKG $(version "$KPKG") into $C"
        rm -rf "$K.tmp"
        dpkg-deb -x "$(deb "$KPKG")" "$K.tmp"
        find "$K.tmp/lib/modules/$KVER" -name mtdram.ko | grep -q . || build_mtdram "$KVER" "$ARCH" "$K.tmp"
        busybox depmod -b "$K.tmp" "$KVER"
        mv "$K.tmp" "$K"
        # Kernels of this flavour that Debian has replaced since, and their packages.
        FLAVOUR=${KVER##*-}
        find "$C" -maxdepth 1 -name "*-$FLAVOUR-*" ! -name "${K##*/}" -exec rm -rf {} +
        find "$C/debs" -name "linux-*-${FLAVOUR}_*" ! -name "*-${KVER}_*" -delete
    fi

    # The initramfs: busybox, the modules and those they depend on, the scenario, the sample
    # image, onwrite and the legs' programs.
    M=lib/modules/$KVER
    rm -rf "$G" && mkdir -p "$I/bin" "$I/proc" "$I/sys" "$I/opt" "$I/$M" "$G/results"
    cp "$HERE/init" "$I/init" && chmod +x "$I/init"
    cp "$HERE/scenario.sh" "$W/sample.img" "$I/opt/"
    echo "$MODULES" | tr " " "\n" >"$I/opt/modules"
    cp "$K/$M/modules.dep" "$I/$M/"
    PATTERN=$(echo "mtdram $MODULES" | sed 's/ /|/g')
    (cd "$K/$M" && grep -E "/($PATTERN)\.ko:" modules.dep | tr -d : | tr ' ' '\n' | sort -u |
        xargs cp --parents -t "$I/$M")
    if [ "$GUEST" = x86_64 ]; then
        cp /bin/busybox "$I/bin/"
        cp "$W/onwrite" "$I/bin/"
        mkdir -p "$I/opt/legs/x86_64"
        cp "$BRELLIX" "$MKTINYFS" "$I/opt/legs/x86_64/"
        ldd "$BRELLIX" "$MKTINYFS" | grep -o '/[^ ]*' | grep -v ':$' | sort -u | xargs cp -L --parents -t "$I"
    else
        BB=$C/busybox-$ARCH
        [ -x "$BB/bin/busybox" ] || dpkg-deb -x "$(deb "busybox-static:$ARCH")" "$BB"
        cp "$BB/bin/busybox" "$I/bin/"
        case $ARCH in
        arm64) CC=aarch64-linux-gnu-gcc ;;
        armhf) CC=arm-linux-gnueabihf-gcc ;;
        esac
        "$CC" -O2 -static -o "$I/bin/onwrite" "$HERE/onwrite.c"
        for LEG in $LEGS; do
            echo "== mtd-vm: building the $LEG programs (build/$LEG)"
            cmake --preset "$LEG" >/dev/null
            quiet cmake --build --preset "$LEG" --target brellix_stripped
            mkdir -p "$I/opt/legs/$LEG"
            cp "$TOP/build/$LEG/stripped/brellix" "$TOP/build/$LEG/stripped/mktinyfs" "$I/opt/legs/$LEG/"
        done
    fi
    (cd "$I" && find . | cpio -o -H newc -R 0:0 --quiet) >"$G/initramfs.cpio"

    echo "== guest $GUEST: $KPKG under TCG, legs: $LEGS (timeout ${TIMEOUT}s)"
    truncate -s 16M "$G/results.img"
    if [ "$DISK" = virtio ]; then
        DRIVE="-drive file=$G/results.img,format=raw,if=virtio"
    else
        DRIVE="-drive file=$G/results.img,format=raw,if=none,id=results -device virtio-blk-device,drive=results"
    fi
    BOOT=$(date +%s)
    # shellcheck disable=SC2086 # the machine and drive options, word by word
    timeout "$TIMEOUT" $QEMU -m 512 -nographic -no-reboot -kernel "$K/boot/vmlinuz-$KVER" \
        -initrd "$G/initramfs.cpio" -append "console=$CONSOLE quiet panic=-1 $APPEND" $DRIVE \
        </dev/null >"$G/console.log" 2>&1 || fail "qemu failed or timed out"
    tar -xf "$G/results.img" -C "$G/results" 2>/dev/null || fail "no results from the guest"
    echo "== guest ran $(($(date +%s) - BOOT)) s; its uptime (s) at: $(tr '\n' ' ' <"$G/results/times")"
    echo "== mtdram in sysfs: $(tr '\n' ' ' <"$G/results/sysfs")"
    for LEG in $LEGS; do
        if diff -r "$W/host" "$G/results/$LEG"; then
            echo "== $LEG leg on $GUEST: /dev/mtd0 and the image file agree"
        else
            echo "== $LEG leg on $GUEST: /dev/mtd0 and the image file differ (above; $G/console.log)" >&2
            STATUS=1
        fi
    done
done
echo "== mtd-vm stage ($*): $(($(date +%s) - START)) s in all"
exit $STATUS
