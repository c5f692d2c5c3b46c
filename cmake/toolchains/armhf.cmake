# Toolchain of the ARMv7 boards: hard float, Thumb-2, with Debian's arm-linux-gnueabihf
# cross compilers (package g++-arm-linux-gnueabihf).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# Debian's default for armhf today (ARMv7-A with VFPv3-D16), pinned like the others.
set(CMAKE_C_FLAGS_INIT "-march=armv7-a+fp -mfloat-abi=hard -mthumb")
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a+fp -mfloat-abi=hard -mthumb")

# Libraries and packages come from the target's tree only, never from the host's.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under qemu-user on an ARMv7 core (qemu's default core would accept
# ARMv8 instructions too). -L lets a dynamically linked program find the target's loader
# and libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm-static -cpu cortex-a7 -L /usr/arm-linux-gnueabihf)
