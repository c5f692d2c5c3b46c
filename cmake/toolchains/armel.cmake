# Toolchain of the oldest boards: ARMv5TE, soft float (package g++-arm-linux-gnueabi).
# The flags are Debian's default for armel today, pinned so that a changed default cannot
# raise the instruction set above what the oldest boards execute; the tests run on an
# ARMv5 core (arm926), where an instruction those boards lack ends them with SIGILL.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(BRELLIX_TRIPLET arm-linux-gnueabi)
set(BRELLIX_ARCH_FLAGS "-march=armv5te -mfloat-abi=soft")
set(BRELLIX_QEMU qemu-arm-static)
set(BRELLIX_CPU arm926)
set(BRELLIX_MUSL_TRIPLET arm-linux-musleabi)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
