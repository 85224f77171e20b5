#!/usr/bin/env bash
# package.sh: builds FOLDEX as a release into build-pkg/ and makes the Debian package there
# (build-pkg/foldex_VERSION_ARCH.deb). Install it with: sudo apt install ./build-pkg/foldex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in dpkg-shlibdeps cpack; do
    command -v "$tool" >/dev/null ||
        { echo "$tool is missing: scripts/setup.sh test installs it" >&2; exit 1; }
done
# Only what the package holds is built: the program and its icons.
scripts/build.sh build-pkg -DCMAKE_BUILD_TYPE=Release -DFOLDEX_TESTS=OFF \
    --target foldex --target foldex_icon_set
(cd build-pkg && cpack -G DEB)
ls -1 build-pkg/foldex_*.deb
