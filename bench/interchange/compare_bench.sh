#!/usr/bin/env bash
# What comparing costs: on the benchmark tree of bench/scan/report_vs_du.sh (20,000 folders,
# 400,000 files), `foldex --report` without snapshots, keeping one, and reporting the changes
# since the last one (--compare last), beside `du -sx`, warm, in one hyperfine run; the size of
# a snapshot; then, for an exported scan of many folders (EXPORT_TREE, e.g. the 1,000,000
# folders of a tree made like bench/scan/folders_vs_du.sh's), `--report --import` of it with
# and without `--compare` against another export: time and peak memory per folder on top.
#
# usage: bench/interchange/compare_bench.sh FOLDEX_BINARY [TREE] [RUNS]
#   EXPORT_TREE=/tmp/foldex-1m   the folder for the large case (left out when not set)
set -euo pipefail
"$(dirname "$0")/../../scripts/setup.sh" bench  # hyperfine

FOLDEX=$(realpath "${1:?usage: $0 FOLDEX_BINARY [TREE] [RUNS]}")
TREE=${2:-/tmp/foldex-bench-tree}
RUNS=${3:-10}
[[ -f "$TREE/.complete" ]] || { echo "make $TREE with bench/scan/report_vs_du.sh first" >&2; exit 2; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CACHE_HOME=$WORK/cache
mkdir -p "$WORK/on" "$WORK/off"
printf '[Options]\r\nKeepSnapshots=0\r\n' > "$WORK/off/FOLDEX.Opt"

FOLDEX_HOME=$WORK/on "$FOLDEX" --report "$TREE" --csv --output /dev/null  # a first snapshot
hyperfine --warmup 2 --runs "$RUNS" -N \
    -n "du -sx" "du -sx $TREE" \
    -n "report, no snapshot" "env FOLDEX_HOME=$WORK/off $FOLDEX --report $TREE --csv --output /dev/null" \
    -n "report, snapshot kept" "env FOLDEX_HOME=$WORK/on $FOLDEX --report $TREE --csv --output /dev/null" \
    -n "report --compare last" "env FOLDEX_HOME=$WORK/on $FOLDEX --report $TREE --csv --output /dev/null --compare last"
echo "snapshot of $TREE:"
ls -l "$XDG_CACHE_HOME"/foldex/*.snap | awk '{print $5, $9}' | head -3

if [[ -n "${EXPORT_TREE:-}" ]]; then
    "$FOLDEX" --export "$WORK/a.json" "$EXPORT_TREE"
    cp "$WORK/a.json" "$WORK/b.json"
    folders=$(FOLDEX_HOME=$WORK/off "$FOLDEX" --report --import "$WORK/a.json" --csv | wc -l)
    echo "export of $EXPORT_TREE: $((folders - 2)) folders"
    for args in "" "--compare $WORK/b.json"; do
        for i in 1 2 3; do
            /usr/bin/time -f "%e s %M KB" env FOLDEX_HOME=$WORK/off "$FOLDEX" --report --import \
                "$WORK/a.json" --csv --output /dev/null $args 2>&1 | tail -1 | sed "s|^|${args:-plain}: |"
        done
    done
fi
