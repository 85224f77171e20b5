#!/usr/bin/env bash
# Compares `foldex --report TREE --csv --output /dev/null` with `du -sx TREE` on a seeded
# tree of about 20,000 folders and 400,000 files (sparse, 0 bytes to about 1 MB), with a warm
# cache and with a cold one (caches dropped before every run, where the machine allows it),
# and checks the report's figures against an independent count. Both tools always run in
# the same hyperfine run, so a loaded machine slows both: read the ratios.
#
# usage: bench/scan/report_vs_du.sh FOLDEX_BINARY [TREE_FOLDER] [RUNS]
#   COLD_RUNS=N   runs of the cold case (default 5; 0 leaves it out)
#   THREADS="2 4 8 16"   also time the report with these read-ahead thread counts
set -euo pipefail
"$(dirname "$0")/../../scripts/setup.sh" bench  # hyperfine

FOLDEX=${1:?usage: $0 FOLDEX_BINARY [TREE_FOLDER] [RUNS]}
TREE=${2:-/tmp/foldex-bench-tree}
RUNS=${3:-10}
SEED=4242
FOLDERS=20000
FILES=400000
export FOLDEX_HOME=${FOLDEX_HOME:-$(mktemp -d)}

if [[ ! -f "$TREE/.complete" ]]; then
    echo "building $TREE ($FOLDERS folders, $FILES files, seed $SEED) ..."
    rm -rf "$TREE"
    mkdir -p "$TREE"
    python3 - "$TREE" "$SEED" "$FOLDERS" "$FILES" <<'PY'
import os, random, sys
root, seed, nfolders, nfiles = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(seed)
folders = [root]
depth = {root: 0}
for i in range(nfolders):
    # Deeper folders are likelier parents of recent ones, so the tree has depth and width.
    parent = folders[rng.randrange(max(0, len(folders) - 200), len(folders))] \
        if rng.random() < 0.7 else rng.choice(folders)
    if depth[parent] >= 12:
        parent = root
    name = "%s%05d" % (rng.choice(["dir", "Dir", "data_", "src", "x"]), i)
    path = os.path.join(parent, name)
    os.mkdir(path)
    folders.append(path)
    depth[path] = depth[parent] + 1
for i in range(nfiles):
    folder = rng.choice(folders)
    size = int(rng.random() ** 3 * 1_100_000) if rng.random() < 0.95 else 0
    with open(os.path.join(folder, "f%06d.bin" % i), "wb") as f:
        if size:
            f.truncate(size)  # sparse: no data blocks, quick to build
PY
    touch "$TREE/.complete"
fi

[[ "${BUILD_ONLY:-0}" == 1 ]] && exit 0

echo "== independent count (find) =="
read -r FIND_FILES FIND_BYTES < <(find "$TREE" -xdev -mindepth 1 ! -type d -printf '%s\n' |
    awk '{n++; s+=$1} END {printf "%d %.0f\n", n, s}')
FIND_DIRS=$(find "$TREE" -xdev -mindepth 1 -type d | wc -l)
echo "folders $FIND_DIRS  files $FIND_FILES  bytes $FIND_BYTES"

CSV=$(mktemp)
"$FOLDEX" --report "$TREE" --csv --output "$CSV"
# The total row: "N フォルダ" or "N Folders", then files, file bytes, occupied bytes.
TOTAL=$(tail -n 1 "$CSV" | tr -d '\r')
REP_FILES=$(echo "$TOTAL" | awk -F'","' '{print $2}' | tr -d '", ')
REP_BYTES=$(echo "$TOTAL" | awk -F'","' '{print $3}' | tr -d '", ')
REP_ROWS=$(echo "$TOTAL" | awk -F'","' '{print $1}' | tr -dc '0-9')
REP_ALLOC=$(echo "$TOTAL" | awk -F'","' '{print $4}' | tr -d '", ')
rm -f "$CSV"
# Occupied space as du counts it, less the root folder's own blocks (a drive's root counts none).
DU_ALLOC=$(( $(du -sx -B1 "$TREE" | cut -f1) - $(stat -c %b "$TREE") * 512 ))
echo "foldex: folder rows $REP_ROWS  files $REP_FILES  bytes $REP_BYTES  occupied $REP_ALLOC"
echo "du -sx -B1 less the root's own blocks: $DU_ALLOC"
status=0
if [[ "$REP_FILES" != "$FIND_FILES" || "$REP_BYTES" != "$FIND_BYTES" ||
      "$REP_ROWS" != "$((FIND_DIRS + 1))" || "$REP_ALLOC" != "$DU_ALLOC" ]]; then
    echo "MISMATCH with find or du"
    status=1
else
    echo "figures agree with find and du"
fi

echo "== time (warm cache, $RUNS runs) =="
du -sx "$TREE" > /dev/null
"$FOLDEX" --report "$TREE" --csv --output /dev/null
JSON=$(mktemp)
hyperfine --warmup 2 --runs "$RUNS" --export-json "$JSON" -N \
    "$FOLDEX --report $TREE --csv --output /dev/null" "du -sx $TREE" >&2
read -r T_FOLDEX T_DU < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(r[0]["median"], r[1]["median"])' "$JSON")
rm -f "$JSON"

COLD_RUNS=${COLD_RUNS:-5}
T_FOLDEX_COLD=0
T_DU_COLD=0
if [[ "$COLD_RUNS" != 0 ]]; then
    echo "== time (cold cache, $COLD_RUNS runs) =="
    if sync && { echo 3 > /proc/sys/vm/drop_caches; } 2>/dev/null; then
        JSON=$(mktemp)
        hyperfine --runs "$COLD_RUNS" --export-json "$JSON" -N \
            --prepare 'sh -c "sync; echo 3 > /proc/sys/vm/drop_caches"' \
            "$FOLDEX --report $TREE --csv --output /dev/null" "du -sx $TREE" >&2
        read -r T_FOLDEX_COLD T_DU_COLD < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))["results"]
print(r[0]["median"], r[1]["median"])' "$JSON")
        rm -f "$JSON"
    else
        echo "caches cannot be dropped here (needs root and a writable /proc/sys/vm):" \
             "the cold case is not measured"
    fi
fi

if [[ -n "${THREADS:-}" ]]; then
    echo "== read-ahead threads (warm cache) =="
    commands=()
    for t in $THREADS; do
        commands+=("env FOLDEX_READ_THREADS=$t $FOLDEX --report $TREE --csv --output /dev/null")
    done
    hyperfine --warmup 1 --runs "$RUNS" -N "${commands[@]}" "du -sx $TREE" >&2
fi

peak() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ {print $2}'
}
P_FOLDEX=$(peak "$FOLDEX" --report "$TREE" --csv --output /dev/null)
P_DU=$(peak du -sx "$TREE")

python3 - "$T_FOLDEX" "$T_DU" "$P_FOLDEX" "$P_DU" "$T_FOLDEX_COLD" "$T_DU_COLD" <<'PY'
import sys
tf, td, pf, pd = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
tfc, tdc = float(sys.argv[5]), float(sys.argv[6])
print("== result ==")
print("warm: foldex median %.3f s, du -sx median %.3f s, ratio foldex/du = %.2f (target <= 0.50)"
      % (tf, td, tf / td))
if tdc > 0:
    print("cold: foldex median %.3f s, du -sx median %.3f s, ratio foldex/du = %.2f (target <= 0.50)"
          % (tfc, tdc, tfc / tdc))
print("peak memory: foldex %.1f MB (target <= 80), du %.1f MB" % (pf / 1024, pd / 1024))
PY
exit $status
