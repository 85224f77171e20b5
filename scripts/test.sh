#!/usr/bin/env bash
# Builds FOLDEX and runs its tests.
#   scripts/test.sh             every test, normal build (build/)
#   scripts/test.sh --sanitize  every test, AddressSanitizer + UBSan + LeakSanitizer (build-asan/)
#   scripts/test.sh --tsan      the scan and platform tests under ThreadSanitizer (build-tsan/)
# Further arguments go to ctest (-R PATTERN, -L LABEL ...).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
export QT_QPA_PLATFORM=offscreen
mode=normal
if [[ "${1:-}" == "--sanitize" || "${1:-}" == "--tsan" ]]; then
    mode=$1
    shift
fi
labels=()
case "$mode" in
    --sanitize)
        dir=build-asan
        scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Debug -DFOLDEX_SANITIZE=ON
        export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
        export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
        ;;
    --tsan)
        # Only the code with threads of its own: the scan's readers and the platform layer.
        dir=build-tsan
        scripts/build.sh "$dir" --target test_scan --target test_platform \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFOLDEX_TSAN=ON
        export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
        labels=(-L '^(scan|platform)$')
        ;;
    *)
        dir=build
        scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
        ;;
esac
cd "$dir"
ctest --output-on-failure -j"$(nproc)" --timeout 300 "${labels[@]}" "$@"
