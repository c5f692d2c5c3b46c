# The C library of every board: musl (Debian's musl-dev for the target, in the multiarch
# folder BRELLIX_MUSL_TRIPLET), with the cross compiler's own C++ library. An empty
# program linked with static glibc is 485600 bytes stripped on armel; with musl each whole
# program takes less than half of that, on every board.
#
# The C++ library was built for glibc. The C headers are musl's, so that every structure
# the program shares with the C library has musl's layout, and the compiler's C++ headers
# are named by hand after -nostdinc, in the order their #include_next needs. What the
# C++ library calls in the C library (allocation, stdio, errno, pthread_once, and
# clock_gettime) musl provides under the same names and calling rules. On 32-bit ARM the
# C++ library was built with glibc's 32-bit time_t, and musl keeps the plain name
# clock_gettime for that time_t (its own is 64 bits, under another name); on 64-bit ARM
# time_t has 64 bits in both. The C++ streams and locales read glibc's locale internals
# and cannot be linked: the programs print through stdio. musl-glibcxx.h fills the gaps
# left in the C++ headers and the compiler's unwinder.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpversion OUTPUT_VARIABLE BRELLIX_GCC_VERSION
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include OUTPUT_VARIABLE BRELLIX_GCC_INCLUDE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(BRELLIX_MUSL_LIB /usr/lib/${BRELLIX_MUSL_TRIPLET})
if(NOT EXISTS ${BRELLIX_MUSL_LIB}/libc.a)
  message(FATAL_ERROR "musl for ${BRELLIX_MUSL_TRIPLET} not found: sh scripts/deps.sh arm")
endif()
set(BRELLIX_CXX_INCLUDE /usr/${BRELLIX_TRIPLET}/include/c++/${BRELLIX_GCC_VERSION})
# musl has no kernel headers (linux/, asm/): those of the target's kernel, from the cross
# compiler's own, come in through a folder that holds nothing else, so that no glibc header
# can stand in for a musl one.
set(BRELLIX_KERNEL_INCLUDE ${CMAKE_BINARY_DIR}/kernel-include)
file(MAKE_DIRECTORY ${BRELLIX_KERNEL_INCLUDE})
foreach(BRELLIX_KERNEL_FOLDER linux asm asm-generic)
  file(CREATE_LINK /usr/${BRELLIX_TRIPLET}/include/${BRELLIX_KERNEL_FOLDER}
       ${BRELLIX_KERNEL_INCLUDE}/${BRELLIX_KERNEL_FOLDER} SYMBOLIC)
endforeach()
set(BRELLIX_C_INCLUDE
    "-isystem ${BRELLIX_GCC_INCLUDE} -isystem /usr/include/${BRELLIX_MUSL_TRIPLET} -isystem ${BRELLIX_KERNEL_INCLUDE}")
string(APPEND CMAKE_C_FLAGS_INIT " -nostdinc ${BRELLIX_C_INCLUDE}")
string(APPEND CMAKE_CXX_FLAGS_INIT
       " -nostdinc -isystem ${BRELLIX_CXX_INCLUDE} -isystem ${BRELLIX_CXX_INCLUDE}/${BRELLIX_TRIPLET}"
       " -isystem ${BRELLIX_CXX_INCLUDE}/backward ${BRELLIX_C_INCLUDE}"
       " -include ${CMAKE_CURRENT_LIST_DIR}/musl-glibcxx.h")
# -B puts musl's folder first for the start files (crt1.o, crti.o, crtn.o) and libraries,
# so the linker takes musl's libc.a before glibc's; crtbegin and crtend stay the compiler's.
# -z norelro: musl never write-protects a static program's relocated data after start-up,
# and the page alignment that the protection needs pads the file by up to 64 KiB.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -B${BRELLIX_MUSL_LIB}/ -Wl,-z,norelro")
