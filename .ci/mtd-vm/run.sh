#!/bin/sh
# CI stage: brellix on a real MTD character device. Boots the Debian kernel under
# qemu-system-x86_64 (TCG: no KVM needed) with a busybox initramfs whose init (beside
# this file) loads mtdram with the board's geometry and runs scenario.sh on /dev/mtd0
# with the host build and, when build/armel/tool/brellix exists (or MTD_VM_ARMEL names
# one), the static armel build under qemu-arm-static. The same scenario runs here on an
# image file; outputs and device checksums must agree, else the differences are shown
# and the exit status is 1. Work and caches go to build/mtd-vm.
#
# The host build goes into the guest as it is, with the shared libraries ldd names: the
# host leg runs that very binary, so the device is the only difference. Results come back
# as a tar archive on a second raw virtio disk: unlike the serial console, it carries bytes
# unchanged and no kernel message mixes in. qemu's default CPU has no PCLMULQDQ, so the
# guest's x86 leg checks the portable CRC against the host's carry-less one as well.
set -eu
TIMEOUT=${MTD_VM_TIMEOUT:-600}
cd "$(dirname "$0")/../.."
TOP=$PWD HERE=$PWD/.ci/mtd-vm W=$PWD/build/mtd-vm
ARMEL=${MTD_VM_ARMEL:-$TOP/build/armel/tool/brellix}
sh scripts/deps.sh build vm
fail() {
    echo "mtd-vm: $1; end of the console ($W/console.log):" >&2
    tail -n 40 "$W/console.log" >&2
    exit 1
}
START=$(date +%s)
cmake --preset release >/dev/null
cmake --build --preset release --target brellix mktinyfs >/dev/null
BRELLIX=$TOP/build/release/tool/brellix

# The kernel package linux-image-amd64 depends on now, fetched and unpacked once.
depends() { apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: //p'; }
KPKG=$(depends)
[ -n "$KPKG" ] || { apt-get update -qq && KPKG=$(depends); }
KVER=${KPKG#linux-image-} K=$W/cache/$KPKG
if [ ! -d "$K" ]; then
    mkdir -p "$W/cache" && rm -rf "$K.tmp"
    ls "$W/cache/${KPKG}"_*.deb >/dev/null 2>&1 ||
        (cd "$W/cache" && apt-get download -q -o APT::Sandbox::User=root "$KPKG")
    dpkg-deb -x "$W/cache/${KPKG}"_*.deb "$K.tmp"
    busybox depmod -b "$K.tmp" "$KVER"
    mv "$K.tmp" "$K"
fi

# The initramfs: busybox, the modules and those they depend on, the scenario, a sample
# image and the builds.
I=$W/initramfs M=lib/modules/$KVER LEGS=x86_64
rm -rf "$I" "$W/host" "$W/results"
mkdir -p "$I/bin" "$I/proc" "$I/sys" "$I/opt/x86_64" "$I/$M" "$W/results"
cp /bin/busybox "$I/bin/"
cp "$HERE/init" "$I/init" && chmod +x "$I/init"
cp "$HERE/scenario.sh" "$I/opt/"
cp "$K/$M/modules.dep" "$I/$M/"
(cd "$K/$M" && grep -E '/(mtdram|virtio_pci|virtio_blk)\.ko:' modules.dep | tr -d : |
    tr ' ' '\n' | sort -u | xargs cp --parents -t "$I/$M")
cp "$BRELLIX" "$I/opt/x86_64/"
ldd "$BRELLIX" | grep -o '/[^ ]*' | xargs cp -L --parents -t "$I"
if [ -x "$ARMEL" ]; then
    LEGS="x86_64 armel"
    mkdir -p "$I/opt/armel"
    cp /usr/bin/qemu-arm-static "$I/bin/"
    cp "$ARMEL" "$I/opt/armel/brellix.arm"
    printf '#!/bin/sh\nexec qemu-arm-static /opt/armel/brellix.arm "$@"\n' >"$I/opt/armel/brellix"
    chmod +x "$I/opt/armel/brellix"
else
    echo "== NOTICE: armel leg skipped: no $ARMEL (build the armel preset first)"
fi
head -c 3000 /bin/busybox >"$W/kernel.bin"
printf 'console=ttyS0,115200\nroot=/dev/mtdblock1\n' >"$W/board.cfg"
"$TOP/build/release/host/mktinyfs/mktinyfs" --device-id BX-VM-0001 --mac 00:11:22:33:44:55 \
    "$I/opt/sample.img" kernel="$W/kernel.bin" --load 0x20008000 --x --room 0x1000 \
    config="$W/board.cfg" --room 1024 splash= --room 0x4000
(cd "$I" && find . | cpio -o -H newc -R 0:0 --quiet) >"$W/initramfs.cpio"

echo "== host leg"
sh "$HERE/scenario.sh" "$I/opt/sample.img" "$W/host.img" "$W/host" "$BRELLIX"
echo "== guest: $KPKG under TCG, legs: $LEGS (timeout ${TIMEOUT}s)"
rm -f "$W/results.img" && truncate -s 16M "$W/results.img"
BOOT=$(date +%s)
# clocksource=hpet: on a loaded host the guest misjudges the TSC and its clock runs fast.
timeout "$TIMEOUT" qemu-system-x86_64 -m 512 -nographic -no-reboot \
    -kernel "$K/boot/vmlinuz-$KVER" -initrd "$W/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1 clocksource=hpet" \
    -drive file="$W/results.img",format=raw,if=virtio </dev/null >"$W/console.log" 2>&1 ||
    fail "qemu failed or timed out"
tar -xf "$W/results.img" -C "$W/results" 2>/dev/null || fail "no results from the guest"
echo "== guest ran $(($(date +%s) - BOOT)) s; its uptime (s) at: $(tr '\n' ' ' <"$W/results/times")"
echo "== mtdram in sysfs: $(tr '\n' ' ' <"$W/results/sysfs")"

STATUS=0
for LEG in $LEGS; do
    if diff -r "$W/host" "$W/results/$LEG"; then
        echo "== $LEG leg: /dev/mtd0 and the image file agree"
    else
        echo "== $LEG leg: /dev/mtd0 and the image file differ (above; $W/console.log)" >&2
        STATUS=1
    fi
done
echo "== mtd-vm stage: $(($(date +%s) - START)) s in all"
exit $STATUS
