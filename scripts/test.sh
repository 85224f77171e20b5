#!/usr/bin/env bash
# Builds FOLDEX and runs every test.
#   scripts/test.sh             normal build (build/)
#   scripts/test.sh --sanitize  AddressSanitizer + UBSan build (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
if [[ "${1:-}" == "--sanitize" ]]; then
    dir=build-asan
    scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Debug -DFOLDEX_SANITIZE=ON
    # strict_string_checks trips over libxkbcommon-x11 when a real display is used.
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
    dir=build
    scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cd "$dir"
ctest --output-on-failure -j"$(nproc)" --timeout 300
