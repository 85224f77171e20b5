#!/bin/sh
# Copies a tree of ordinary files with FOLDEX's copy engine and with `cp -a`, on the same
# file systems, and prints both times and their ratio.
#   bench/folderops/copy_vs_cp.sh BENCH_BINARY WORK_FOLDER [MEGABYTES] [DEST_FOLDER]
# WORK_FOLDER holds the source tree; DEST_FOLDER (default WORK_FOLDER/dst) another drive.
set -eu
bench=$1
work=$2
mb=${3:-1024}
dest=${4:-$work/dst}
src=$work/src
mkdir -p "$src" "$dest"
if [ ! -d "$src/tree" ]; then
    # 1 MB, 64 KB and 4 KB files in 20 folders: mostly large files, some small ones.
    i=0
    while [ $((i * 1)) -lt "$mb" ]; do
        d=$src/tree/d$((i % 20))
        mkdir -p "$d"
        head -c 1048576 /dev/urandom > "$d/big$i"
        if [ $((i % 4)) -eq 0 ]; then
            for k in 1 2 3 4; do head -c 65536 /dev/urandom > "$d/mid$i-$k"; done
            for k in 1 2 3 4 5 6 7 8; do head -c 4096 /dev/urandom > "$d/small$i-$k"; done
        fi
        i=$((i + 1))
    done
fi
sync
rm -rf "$dest/tree" "$dest/cp"
mkdir -p "$dest/cp"
t0=$(date +%s.%N)
cp -a "$src/tree" "$dest/cp/tree"
sync
t1=$(date +%s.%N)
rm -rf "$dest/cp"
sync
t2=$(date +%s.%N)
"$bench" "$src" tree "$dest" > /dev/null
sync
t3=$(date +%s.%N)
du -sh "$src/tree" | cut -f1 | sed 's/^/tree: /'
echo "cp -a:   $(echo "$t1 - $t0" | bc) s (with sync)"
echo "foldex:  $(echo "$t3 - $t2" | bc) s (with sync)"
echo "ratio:   $(echo "scale=2; ($t3 - $t2) / ($t1 - $t0)" | bc)"
rm -rf "$dest/tree"
