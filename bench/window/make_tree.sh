#!/bin/sh
# Makes a tree of N small files (default 400000) under DIR: 2,000 folders in two levels,
# file sizes spread from 0 to about 64 KiB, written sparse so the tree takes little room.
#   bench/window/make_tree.sh DIR [N]
set -eu
dir=$1
n=${2:-400000}
mkdir -p "$dir"
python3 - "$dir" "$n" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
per = max(1, n // 2000)
made = 0
for a in range(40):
    for b in range(50):
        d = os.path.join(root, f"d{a:02}", f"e{b:02}")
        os.makedirs(d, exist_ok=True)
        for k in range(per):
            if made >= n:
                break
            with open(os.path.join(d, f"f{k:04}"), "wb") as f:
                f.truncate((made * 7919) % 65536)
            made += 1
PY
