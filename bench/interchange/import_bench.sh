#!/usr/bin/env bash
# Times reading an exported scan of the benchmark tree (about 20,000 folders and 400,000
# files): `foldex --report --import` of an `ncdu -o` export against the report of the tree
# itself and against ncdu reading the same export, the peak memory of each, and filling a
# list window from the export (bench_window). Check that the import's totals equal the
# scan's.
#
# usage: bench/interchange/import_bench.sh FOLDEX_BINARY [BENCH_WINDOW_BINARY] [TREE] [RUNS]
set -euo pipefail
"$(dirname "$0")/../../scripts/setup.sh" bench  # hyperfine

FOLDEX=${1:?usage: $0 FOLDEX_BINARY [BENCH_WINDOW_BINARY] [TREE] [RUNS]}
WINDOW=${2:-$(dirname "$FOLDEX")/bench_window}
TREE=${3:-/tmp/foldex-bench-tree}
RUNS=${4:-10}
export FOLDEX_HOME=${FOLDEX_HOME:-$(mktemp -d)}
if [[ ! -f "$TREE/.complete" ]]; then
    BUILD_ONLY=1 "$(dirname "$0")/../scan/report_vs_du.sh" "$FOLDEX" "$TREE"
fi

EXPORT=$(mktemp --suffix=.json)
trap 'rm -f "$EXPORT"' EXIT
ncdu -o "$EXPORT" "$TREE" 2>/dev/null
echo "export: $(stat -c %s "$EXPORT") bytes from ncdu $(ncdu -v | awk '{print $2}')"

# The totals row of the CSV report: folders, files and file bytes (occupied sizes differ:
# ncdu gives a sparse file's blocks, a scan counts whole clusters of its size).
totals() {
    "$FOLDEX" --report "$@" --csv | tail -n 1 |
        python3 -c 'import csv, sys; print(" ".join(f.strip() for f in next(csv.reader(sys.stdin))[:3]))'
}
T_SCAN=$(totals "$TREE")
T_IMPORT=$(totals --import "$EXPORT")
echo "scan:   $T_SCAN"
echo "import: $T_IMPORT"
status=0
if [[ "$T_SCAN" != "$T_IMPORT" ]]; then
    echo "MISMATCH between the scan and the import"
    status=1
fi

echo "== time (warm cache, $RUNS runs) =="
JSON=$(mktemp)
hyperfine --warmup 2 --runs "$RUNS" --export-json "$JSON" -N \
    "$FOLDEX --report --import $EXPORT --csv --output /dev/null" \
    "$FOLDEX --report $TREE --csv --output /dev/null" \
    "ncdu -f $EXPORT -o /dev/null" >&2
read -r T_IMP T_REP T_NCDU < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(r[0]["median"], r[1]["median"], r[2]["median"])' "$JSON")
rm -f "$JSON"

peak() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
P_IMP=$(peak "$FOLDEX" --report --import "$EXPORT" --csv --output /dev/null)
P_REP=$(peak "$FOLDEX" --report "$TREE" --csv --output /dev/null)
P_NCDU=$(peak ncdu -f "$EXPORT" -o /dev/null)

echo "== window =="
"$WINDOW" "$EXPORT" 5

python3 - "$T_IMP" "$T_REP" "$T_NCDU" "$P_IMP" "$P_REP" "$P_NCDU" <<'PY'
import sys
ti, tr, tn = map(float, sys.argv[1:4])
pi, pr, pn = map(int, sys.argv[4:7])
print("== result ==")
print("report from the export %.3f s (target < 1 s), from the tree %.3f s, "
      "ncdu reading the export %.3f s" % (ti, tr, tn))
print("peak memory: import %.1f MB, report of the tree %.1f MB, ncdu -f %.1f MB"
      % (pi / 1024, pr / 1024, pn / 1024))
PY
exit $status
