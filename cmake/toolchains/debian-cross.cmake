# What the board toolchains share: Debian's cross compilers for BRELLIX_TRIPLET, libraries
# and packages from the target's tree only, and test programs run under BRELLIX_QEMU on
# the core BRELLIX_CPU (-L lets a dynamically linked program find the target's loader).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${BRELLIX_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${BRELLIX_TRIPLET}-g++)
set(CMAKE_C_FLAGS_INIT "${BRELLIX_ARCH_FLAGS}")
# -Wno-psabi: GCC notes at each std::sort that GCC 7.1 changed how 32-bit ARM passes some
# arguments, which matters only when linking code built by an older compiler; a static
# program from one compiler never does, so the notes are noise.
set(CMAKE_CXX_FLAGS_INIT "${BRELLIX_ARCH_FLAGS} -Wno-psabi")
# Static, and the linker keeps only the sections of the C and C++ libraries in use.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--gc-sections")

set(CMAKE_FIND_ROOT_PATH /usr/${BRELLIX_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${BRELLIX_QEMU} -cpu ${BRELLIX_CPU} -L /usr/${BRELLIX_TRIPLET})
