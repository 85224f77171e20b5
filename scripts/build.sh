#!/usr/bin/env bash
# build.sh DIR [--target NAME]... [cmake options...]: configures DIR (once) and builds the
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
if [[ ! -f "$dir/build.ninja" ]]; then
    cmake -S . -B "$dir" -G Ninja "${options[@]}"
fi
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
