#!/bin/sh
# Removes what `cmake --install BUILD_DIR` installed, as its install_manifest.txt lists it:
#   sh scripts/uninstall.sh [BUILD_DIR]        (make uninstall; BUILD_DIR build/release)
# cpack runs the same install step into its staging folder and writes the package's own paths
# (/usr/bin/brellix, ...) into that list; make package puts the list of cmake --install back,
# but cpack run by hand does not, and an install with --prefix /usr may lie under a package.
# So a path that a Debian package owns (dpkg-query -S) is never removed: the run refuses
# before removing anything. Only regular files and links are removed; a listed path that is
# missing is skipped; anything else refuses the run.
set -eu
BUILD=${1:-build/release}
MANIFEST=$BUILD/install_manifest.txt
if [ ! -f "$MANIFEST" ]; then
    echo "uninstall.sh: nothing to remove: $MANIFEST is missing (cmake --install $BUILD writes it)" >&2
    exit 1
fi
refused=0
while IFS= read -r file || [ -n "$file" ]; do
    [ -n "$file" ] || continue
    if owner=$(dpkg-query -S "$file" 2>/dev/null); then
        echo "uninstall.sh: $file belongs to the Debian package ${owner%%:*}: apt remove ${owner%%:*} removes it" >&2
        refused=1
    elif [ -e "$file" ] && [ ! -f "$file" ] && [ ! -L "$file" ]; then
        echo "uninstall.sh: $file is not a regular file, so cmake --install did not leave it there" >&2
        refused=1
    fi
done <"$MANIFEST"
if [ $refused != 0 ]; then
    echo "uninstall.sh: nothing removed" >&2
    exit 1
fi
while IFS= read -r file || [ -n "$file" ]; do
    if [ -f "$file" ] || [ -L "$file" ]; then
        rm -f "$file"
        echo "removed $file"
    fi
done <"$MANIFEST"
