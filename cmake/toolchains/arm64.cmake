# Toolchain of the 64-bit ARM boards (package g++-aarch64-linux-gnu). The flags are
# Debian's default for arm64 today (plain ARMv8.0-A), pinned; the tests run on an ARMv8.0
# core (qemu's default core has every later extension).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(BRELLIX_TRIPLET aarch64-linux-gnu)
set(BRELLIX_ARCH_FLAGS "-march=armv8-a")
set(BRELLIX_QEMU qemu-aarch64-static)
set(BRELLIX_CPU cortex-a53)
set(BRELLIX_MUSL_TRIPLET aarch64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
