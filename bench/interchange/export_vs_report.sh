#!/usr/bin/env bash
# Compares `foldex --export FILE TREE` with `foldex --report TREE --csv --output FILE` on the
# benchmark tree of bench/scan/report_vs_du.sh (built by it when absent), both in the same
# hyperfine run with a warm cache, and their peak memory with /usr/bin/time -v. Checks that
# the export's totals match the report's total row, and that ncdu and gdu read the export.
#
# usage: bench/interchange/export_vs_report.sh FOLDEX_BINARY [TREE_FOLDER] [RUNS]
set -euo pipefail
HERE=$(dirname "$0")
"$HERE/../../scripts/setup.sh" bench  # hyperfine

FOLDEX=${1:?usage: $0 FOLDEX_BINARY [TREE_FOLDER] [RUNS]}
TREE=${2:-/tmp/foldex-bench-tree}
RUNS=${3:-10}
export FOLDEX_HOME=${FOLDEX_HOME:-$(mktemp -d)}
[[ -f "$TREE/.complete" ]] || BUILD_ONLY=1 "$HERE/../scan/report_vs_du.sh" "$FOLDEX" "$TREE"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
EXPORT="$WORK/tree.json"
CSV="$WORK/tree.csv"

echo "== figures =="
"$FOLDEX" --export "$EXPORT" "$TREE"
"$FOLDEX" --report "$TREE" --csv --output "$CSV"
TOTAL=$(tail -n 1 "$CSV" | tr -d '\r')
REP_FILES=$(echo "$TOTAL" | awk -F'","' '{print $2}' | tr -d '", ')
REP_BYTES=$(echo "$TOTAL" | awk -F'","' '{print $3}' | tr -d '", ')
REP_ALLOC=$(echo "$TOTAL" | awk -F'","' '{print $4}' | tr -d '", ')
# Folders are arrays: "[{" opens one; a file is an object in a line of its own.
read -r EXP_FILES EXP_BYTES EXP_ALLOC < <(python3 - "$EXPORT" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1], "rb"))
files = size = alloc = 0
stack = [doc[3]]
while stack:
    d = stack.pop()
    alloc += d[0].get("dsize", 0)
    for item in d[1:]:
        if isinstance(item, list):
            stack.append(item)
        else:
            files += 1
            size += item.get("asize", 0)
            alloc += item.get("dsize", 0)
print(files, size, alloc)
PY
)
echo "report: files $REP_FILES  bytes $REP_BYTES  occupied $REP_ALLOC"
echo "export: files $EXP_FILES  bytes $EXP_BYTES  occupied $EXP_ALLOC  ($(stat -c %s "$EXPORT") bytes of JSON)"
status=0
if [[ "$REP_FILES" != "$EXP_FILES" || "$REP_BYTES" != "$EXP_BYTES" || "$REP_ALLOC" != "$EXP_ALLOC" ]]; then
    echo "MISMATCH between the export and the report"
    status=1
else
    echo "the export's totals are the report's"
fi
if command -v ncdu >/dev/null; then
    ncdu -f "$EXPORT" -o /dev/null 2>/dev/null && echo "ncdu reads the export" || { echo "ncdu FAILED"; status=1; }
fi
if command -v gdu >/dev/null; then
    echo "gdu total: $(gdu -f "$EXPORT" -n -p -s --no-prefix)"
fi

echo "== time (warm cache, $RUNS runs) =="
JSON=$(mktemp)
hyperfine --warmup 2 --runs "$RUNS" --export-json "$JSON" -N \
    "$FOLDEX --export $EXPORT $TREE" "$FOLDEX --report $TREE --csv --output $CSV" >&2
read -r T_EXPORT T_REPORT < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(r[0]["median"], r[1]["median"])' "$JSON")
rm -f "$JSON"

# Other work on the machine drifts between hyperfine's blocks of runs; runs that take turns
# see the same load, so their medians give the steadier ratio.
echo "== time (warm cache, $RUNS runs taking turns) =="
read -r I_EXPORT I_REPORT < <(python3 - "$RUNS" "$FOLDEX" "$EXPORT" "$TREE" "$CSV" <<'PY'
import statistics, subprocess, sys, time
runs, foldex, export, tree, csv = int(sys.argv[1]), *sys.argv[2:]
commands = [[foldex, "--export", export, tree], [foldex, "--report", tree, "--csv", "--output", csv]]
times = [[], []]
for _ in range(runs):
    for i, c in enumerate(commands):
        start = time.monotonic()
        subprocess.run(c, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times[i].append(time.monotonic() - start)
print(statistics.median(times[0]), statistics.median(times[1]))
PY
)

peak() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
P_EXPORT=$(peak "$FOLDEX" --export "$EXPORT" "$TREE")
P_STDOUT=$(peak "$FOLDEX" --export - "$TREE")
P_REPORT=$(peak "$FOLDEX" --report "$TREE" --csv --output "$CSV")

python3 - "$T_EXPORT" "$T_REPORT" "$P_EXPORT" "$P_STDOUT" "$P_REPORT" "$I_EXPORT" "$I_REPORT" <<'PY'
import sys
te, tr = float(sys.argv[1]), float(sys.argv[2])
pe, ps, pr = (int(x) / 1024 for x in sys.argv[3:6])
ie, ir = float(sys.argv[6]), float(sys.argv[7])
print("== result ==")
print("warm, hyperfine: --export median %.3f s, --report median %.3f s, ratio %.2f (target <= 1.20)"
      % (te, tr, te / tr))
print("warm, taking turns: --export median %.3f s, --report median %.3f s, ratio %.2f"
      % (ie, ir, ie / ir))
print("peak memory: --export to a file %.1f MB, to standard output %.1f MB (target < 80),"
      " --report %.1f MB" % (pe, ps, pr))
PY
exit $status
