# Debian packages through CPack: "cpack" in a build tree makes
# brellix_<version>_<architecture>.deb holding the two programs, their manual pages,
# their bash completions, the copyright file and the changelog, for the architecture the
# build's compiler targets. A cross build also leaves its programs stripped in stripped/,
# as they go to a board.

# The Debian architecture the build's compiler produces code for, from its multiarch
# triplet; empty when the triplet is not one the project builds for.
set(BRELLIX_TRIPLET_ARCHITECTURES
    x86_64-linux-gnu=amd64
    aarch64-linux-gnu=arm64
    arm-linux-gnueabihf=armhf
    arm-linux-gnueabi=armel)
set(BRELLIX_COMPILER_ARCHITECTURE "")
foreach(PAIR ${BRELLIX_TRIPLET_ARCHITECTURES})
  string(REPLACE "=" ";" PAIR "${PAIR}")
  list(GET PAIR 0 TRIPLET)
  list(GET PAIR 1 ARCHITECTURE)
  if(CMAKE_CXX_LIBRARY_ARCHITECTURE STREQUAL TRIPLET)
    set(BRELLIX_COMPILER_ARCHITECTURE ${ARCHITECTURE})
  endif()
endforeach()

# A toolchain file or preset may set the architecture; otherwise a native build takes
# the machine's own and a cross build the one of its compiler.
set(BRELLIX_DEB_ARCHITECTURE "" CACHE STRING "Debian architecture of the package (amd64, armel, armhf, arm64)")
if(NOT BRELLIX_DEB_ARCHITECTURE)
  if(NOT CMAKE_CROSSCOMPILING)
    find_program(BRELLIX_DPKG dpkg)
    if(BRELLIX_DPKG)
      execute_process(COMMAND ${BRELLIX_DPKG} --print-architecture
                      OUTPUT_VARIABLE BRELLIX_NATIVE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
    set(BRELLIX_FOUND_ARCHITECTURE "${BRELLIX_NATIVE_ARCHITECTURE}")
  else()
    set(BRELLIX_FOUND_ARCHITECTURE "${BRELLIX_COMPILER_ARCHITECTURE}")
  endif()
  if(NOT BRELLIX_FOUND_ARCHITECTURE)
    message(FATAL_ERROR "Cannot tell the Debian architecture of this build "
                        "(compiler triplet \"${CMAKE_CXX_LIBRARY_ARCHITECTURE}\"): "
                        "set BRELLIX_DEB_ARCHITECTURE")
  endif()
  set(BRELLIX_DEB_ARCHITECTURE "${BRELLIX_FOUND_ARCHITECTURE}" CACHE STRING
      "Debian architecture of the package (amd64, armel, armhf, arm64)" FORCE)
endif()
message(STATUS "Debian package architecture: ${BRELLIX_DEB_ARCHITECTURE}")
# A package whose Architecture field names another machine than its binaries were
# built for installs there and fails to run, so such a pair is refused here.
if(BRELLIX_COMPILER_ARCHITECTURE AND NOT BRELLIX_COMPILER_ARCHITECTURE STREQUAL BRELLIX_DEB_ARCHITECTURE)
  message(FATAL_ERROR "BRELLIX_DEB_ARCHITECTURE is ${BRELLIX_DEB_ARCHITECTURE}, but the compiler "
                      "${CMAKE_CXX_COMPILER} builds for ${CMAKE_CXX_LIBRARY_ARCHITECTURE} "
                      "(${BRELLIX_COMPILER_ARCHITECTURE})")
endif()

set(BRELLIX_DEB_MAINTAINER "Brellix Developers <dev@brellix.invalid>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brellix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Brellix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maintain the tinyfs image on a board's flash device")
set(CPACK_PACKAGE_DESCRIPTION
    "brellix lists and checks the files of the tinyfs image on an embedded board's
page-organised flash (an MTD character device), copies them out, rewrites them
in place, renames them, and reads and sets the board's MAC address and device
identifier. It programs only the flash pages whose bytes change.

mktinyfs makes complete tinyfs image files from local files, for development,
tests and factory pipelines, and programs whole images onto the device (only
the pages that differ) and dumps it; brellix works on such a file as on the
device.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${BRELLIX_DEB_ARCHITECTURE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BRELLIX_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The completions load through bash-completion; boards often run without bash, so it is
# suggested, not recommended.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)

# Depends: the shared libraries the programs need, found by dpkg-shlibdeps for a native
# build. The board builds are static and need nothing; another cross build names its
# dependencies in BRELLIX_DEB_DEPENDS. Without dpkg-shlibdeps (or file, which CPack uses
# to find the programs) CPack would make a package without Depends that installs and then
# fails to start, so such a build is refused here.
set(BRELLIX_DEB_DEPENDS "" CACHE STRING "Depends field of the Debian package; empty: found by dpkg-shlibdeps")
if(BRELLIX_DEB_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS ${BRELLIX_DEB_DEPENDS})
elseif(NOT CMAKE_CROSSCOMPILING)
  find_program(BRELLIX_SHLIBDEPS dpkg-shlibdeps)
  find_program(BRELLIX_FILE file)
  if(NOT BRELLIX_SHLIBDEPS OR NOT BRELLIX_FILE)
    message(FATAL_ERROR "dpkg-shlibdeps or file not found: the package's Depends cannot be found. "
                        "Install them (sh scripts/deps.sh build), or name the Depends in BRELLIX_DEB_DEPENDS")
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

# usr/share/doc/brellix: the copyright file (Debian's machine-readable format, the
# licence text from LICENSE) and the changelog (Debian's format, from CHANGELOG.md).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(BRELLIX_DOC ${PROJECT_BINARY_DIR}/doc)
set(BRELLIX_DOC_TOOL ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/debianDoc.py)
add_custom_command(
  OUTPUT ${BRELLIX_DOC}/copyright
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BRELLIX_DOC}
  COMMAND ${BRELLIX_DOC_TOOL} copyright ${PROJECT_SOURCE_DIR}/LICENSE ${BRELLIX_DOC}/copyright
  DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/debianDoc.py
  COMMENT "Writing the copyright file"
  VERBATIM)
add_custom_command(
  OUTPUT ${BRELLIX_DOC}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BRELLIX_DOC}
  COMMAND ${BRELLIX_DOC_TOOL} changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_VERSION}
          ${BRELLIX_DEB_MAINTAINER} ${BRELLIX_DOC}/changelog
  COMMAND ${BRELLIX_GZIP} -9nf ${BRELLIX_DOC}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${CMAKE_CURRENT_LIST_DIR}/debianDoc.py
  COMMENT "Writing the changelog"
  VERBATIM)
add_custom_target(brellix_doc ALL DEPENDS ${BRELLIX_DOC}/copyright ${BRELLIX_DOC}/changelog.gz)
install(FILES ${BRELLIX_DOC}/copyright ${BRELLIX_DOC}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# What lintian reports on purpose, each with its reason. Static programs are what the
# boards need (no C library of theirs to match), and the tool's one failure message for
# unforeseen errors keeps the spelling that scripts already match.
set(BRELLIX_OVERRIDES "# Scripts match the failure message \"unknown problem occured\" as it is spelt.
brellix: spelling-error-in-binary occured occurred [usr/bin/brellix]\n")
if(CMAKE_EXE_LINKER_FLAGS MATCHES "(^| )-static( |$)")
  foreach(PROGRAM brellix mktinyfs)
    string(APPEND BRELLIX_OVERRIDES "# Static on purpose: it runs on a board whatever C library the board has.
brellix: statically-linked-binary [usr/bin/${PROGRAM}]\n")
  endforeach()
endif()
file(CONFIGURE OUTPUT ${BRELLIX_DOC}/brellix.overrides CONTENT "${BRELLIX_OVERRIDES}")
install(FILES ${BRELLIX_DOC}/brellix.overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME brellix)

# Everything the install step copies, for builds that make only part of the tree.
add_custom_target(brellix_installable)
add_dependencies(brellix_installable brellix mktinyfs brellix_man brellix_doc)

# The programs of a cross build as they go to a board: stripped, in stripped/.
if(CMAKE_CROSSCOMPILING)
  set(BRELLIX_STRIPPED)
  foreach(PROGRAM brellix mktinyfs)
    add_custom_command(
      OUTPUT ${PROJECT_BINARY_DIR}/stripped/${PROGRAM}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/stripped
      COMMAND ${CMAKE_STRIP} -o ${PROJECT_BINARY_DIR}/stripped/${PROGRAM} $<TARGET_FILE:${PROGRAM}>
      DEPENDS ${PROGRAM}
      COMMENT "Stripping ${PROGRAM} into stripped/"
      VERBATIM)
    list(APPEND BRELLIX_STRIPPED ${PROJECT_BINARY_DIR}/stripped/${PROGRAM})
  endforeach()
  add_custom_target(brellix_stripped ALL DEPENDS ${BRELLIX_STRIPPED})
endif()

include(CPack)
