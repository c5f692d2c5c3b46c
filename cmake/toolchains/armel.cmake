# Toolchain of the oldest boards: ARMv5TE, soft float, with Debian's arm-linux-gnueabi
# cross compilers (package g++-arm-linux-gnueabi).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
# Debian's default for armel today; pinned so that a changed default cannot raise the
# instruction set above what the oldest boards execute.
set(CMAKE_C_FLAGS_INIT "-march=armv5te -mfloat-abi=soft")
set(CMAKE_CXX_FLAGS_INIT "-march=armv5te -mfloat-abi=soft")

# Libraries and packages come from the target's tree only, never from the host's.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabi)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under qemu-user with an ARMv5 core (arm926), so an instruction the
# oldest boards lack ends a test with SIGILL instead of passing on a newer emulated
# core. -L lets a dynamically linked program find the target's loader and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm-static -cpu arm926 -L /usr/arm-linux-gnueabi)
