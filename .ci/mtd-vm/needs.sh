# What each MTD-device stage runs on this machine beyond Debian's required packages, and the
# groups of scripts/deps.sh that install it: run.sh installs them before anything else, so
# that each stage runs alone on a fresh machine, and make lint (scripts/stage-deps.py) checks
# that those groups name the package of each program, and that run.sh and scenario.sh start
# no other program of a package Debian does not require.
# needs GUEST: sets NEEDED_GROUPS and NEEDED_PROGRAMS for that guest's stage.
needs() {
    case $1 in
    x86_64)
        NEEDED_GROUPS="build vm"
        NEEDED_PROGRAMS="cmake cc busybox cpio qemu-system-x86_64"
        ;;
    arm64 | armhf)
        NEEDED_GROUPS="build arm armvm"
        NEEDED_PROGRAMS="cmake cc busybox cpio make xz qemu-system-aarch64 qemu-system-arm aarch64-linux-gnu-gcc
            arm-linux-gnueabihf-gcc"
        ;;
    *) return 1 ;;
    esac
}
