#!/bin/sh
# Makes the Debian package of a built tree and puts it in build/packages:
#   sh scripts/package.sh BUILD_DIR        (make package, make package-arm)
# BUILD_DIR is relative to the top of the source tree. cpack's own output is shown only
# when it fails. Prints the package's path.
set -eu
cd "$(dirname "$0")/.."
if [ $# -ne 1 ] || [ ! -f "$1/CPackConfig.cmake" ]; then
    echo "usage: sh scripts/package.sh BUILD_DIR (a configured and built tree)" >&2
    exit 2
fi
BUILD=$1
OUT=build/packages
rm -f "$BUILD"/*.deb
# cpack runs the install step into its staging folder, which writes the package's own paths
# (/usr/bin/brellix, ...) into the build's install_manifest.txt: the list that cmake --install
# left there is what make uninstall removes, so it is put back.
MANIFEST=$BUILD/install_manifest.txt
rm -f "$MANIFEST.kept"
[ ! -f "$MANIFEST" ] || mv "$MANIFEST" "$MANIFEST.kept"
(cd "$BUILD" && cpack -G DEB >cpack.log 2>&1) && packed=0 || packed=$?
rm -f "$MANIFEST"
[ ! -f "$MANIFEST.kept" ] || mv "$MANIFEST.kept" "$MANIFEST"
if [ "$packed" != 0 ]; then
    cat "$BUILD/cpack.log" >&2
    echo "package.sh: cpack failed in $BUILD (its output is above)" >&2
    exit 1
fi
set -- "$BUILD"/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "package.sh: cpack made no single package in $BUILD: $*" >&2
    exit 1
fi
mkdir -p "$OUT"
# A package of another version for the same architecture would be mistaken for this one.
rm -f "$OUT/brellix_"*"_${1##*_}"
mv "$1" "$OUT/"
echo "$OUT/${1##*/}"
