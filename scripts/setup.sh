#!/usr/bin/env bash
# Installs the Debian packages FOLDEX needs, skipping those already present.
#   scripts/setup.sh [run|test|bench]
#     run    building and running the program (the default)
#     test   adds the test tools (GoogleTest, Google Benchmark, Xvfb, xdotool, ImageMagick,
#            the openbox window manager and xwininfo;
#            pdftotext for the print tests; ncdu and gdu, which read the program's JSON
#            exports back; desktop-file-validate, dpkg-shlibdeps and file, which the
#            package builder calls, for the package test)
#     bench  adds the benchmark tools (hyperfine) to the test tools
set -euo pipefail
need=${1:-run}
RUN=(g++ cmake ninja-build ccache qt6-base-dev libgl-dev qt6-translations-l10n
     fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2)
TEST=(libgtest-dev libbenchmark-dev xvfb xdotool imagemagick openbox x11-utils poppler-utils ncdu gdu
      desktop-file-utils dpkg-dev file)
BENCH=(hyperfine)
case "$need" in
    run) packages=("${RUN[@]}") ;;
    test) packages=("${RUN[@]}" "${TEST[@]}") ;;
    bench) packages=("${RUN[@]}" "${TEST[@]}" "${BENCH[@]}") ;;
    *) echo "usage: $0 [run|test|bench]" >&2; exit 2 ;;
esac

if ! command -v dpkg-query >/dev/null; then
    echo "This is not a Debian system: install the equivalents of these Debian packages" >&2
    echo "yourself, then run the command again: ${packages[*]}" >&2
    exit 1
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

if [[ $(id -u) -eq 0 ]]; then
    SUDO=()
elif command -v sudo >/dev/null; then
    SUDO=(sudo)
else
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "There is no sudo here, so install them as root (for example after 'su -'):" >&2
    echo "    apt-get update && apt-get install -y ${missing[*]}" >&2
    echo "then run this command again." >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
"${SUDO[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -qq "${missing[@]}"
