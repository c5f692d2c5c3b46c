# Toolchain of the ARMv7 boards: hard float, Thumb-2 (package g++-arm-linux-gnueabihf).
# The flags are Debian's default for armhf today (ARMv7-A with VFPv3-D16), pinned; the
# tests run on an ARMv7 core (qemu's default core would accept ARMv8 instructions too).
set(CMAKE_SYSTEM_PROCESSOR arm)
set(BRELLIX_TRIPLET arm-linux-gnueabihf)
set(BRELLIX_ARCH_FLAGS "-march=armv7-a+fp -mfloat-abi=hard -mthumb")
set(BRELLIX_QEMU qemu-arm-static)
set(BRELLIX_CPU cortex-a7)
set(BRELLIX_MUSL_TRIPLET arm-linux-musleabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
