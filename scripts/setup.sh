#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing FOLDEX need,
# skipping those already present.
set -euo pipefail
PACKAGES=(g++ cmake ninja-build ccache qt6-base-dev libgl-dev libgtest-dev libbenchmark-dev
          fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2
          xvfb xdotool imagemagick hyperfine)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
