#!/usr/bin/env bash
# build.sh DIR [--target NAME]... [cmake options...]: configures DIR and builds the
# named targets into it, or everything when none is named.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
targets=()
options=()
while (($#)); do
    if [[ "$1" == "--target" ]]; then
        targets+=(--target "$2"); shift 2
    else
        options+=("$1"); shift
    fi
done
# Configured every time (a second or two): packages installed since the last run, such as
# the test tools after scripts/run.sh, are then found.
if [[ ! -f "$dir/build.ninja" ]]; then
    cmake -S . -B "$dir" -G Ninja "${options[@]}"
else
    cmake -S . -B "$dir" "${options[@]}" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
