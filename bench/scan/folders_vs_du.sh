#!/usr/bin/env bash
# Compares `foldex --report TREE --csv --output /dev/null` and `foldex --export` with `du -sx
# TREE` on a tree of 100,000 folders and no files (ten levels of fan-out, made once), warm
# cache, all in the same hyperfine run; then the peak memory of the report above the
# program's base (the report of an empty folder), per folder.
#
# usage: bench/scan/folders_vs_du.sh FOLDEX_BINARY [TREE_FOLDER] [RUNS]
set -euo pipefail
"$(dirname "$0")/../../scripts/setup.sh" bench  # hyperfine

FOLDEX=${1:?usage: $0 FOLDEX_BINARY [TREE_FOLDER] [RUNS]}
TREE=${2:-/tmp/foldex-bench-folders}
RUNS=${3:-15}
export FOLDEX_HOME=${FOLDEX_HOME:-$(mktemp -d)}

if [[ ! -f "$TREE/.complete" ]]; then
    echo "building $TREE (100,000 folders) ..."
    rm -rf "$TREE"
    mkdir -p "$TREE"
    python3 - "$TREE" <<'PY'
import os, sys
root = sys.argv[1]
made = 0
# Breadth first: 10 at the top, each folder 10 below it, until 100,000 are made.
level = [root]
while made < 100000:
    nxt = []
    for parent in level:
        for i in range(10):
            if made == 100000:
                break
            p = os.path.join(parent, "folder%d" % i)
            os.mkdir(p)
            nxt.append(p)
            made += 1
    level = nxt
PY
    touch "$TREE/.complete"
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/empty"

echo "== warm, $RUNS runs each =="
hyperfine -N --warmup 2 --runs "$RUNS" --export-json "$WORK/h.json" \
    "du -sx $TREE" \
    "$FOLDEX --report $TREE --csv --output /dev/null" \
    "$FOLDEX --export $WORK/out.json $TREE" >/dev/null
python3 - "$WORK/h.json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
du = r[0]["median"]
for x in r:
    print("%-60s median %7.1f ms  user %6.1f ms  sys %6.1f ms  du/this %.2f" % (
        x["command"][:60], x["median"] * 1000, x["user"] * 1000, x["system"] * 1000,
        du / x["median"]))
PY

echo "== peak memory =="
rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
BASE=$(rss "$FOLDEX" --report "$WORK/empty" --csv --output /dev/null)
FULL=$(rss "$FOLDEX" --report "$TREE" --csv --output /dev/null)
DU=$(rss du -sx "$TREE")
FOLDERS=$(find "$TREE" -mindepth 1 -type d | wc -l)
echo "base ${BASE} KiB, report ${FULL} KiB, du ${DU} KiB, folders ${FOLDERS}"
echo "bytes per folder above the base: $(( (FULL - BASE) * 1024 / FOLDERS ))"
