#!/bin/bash
# Copy and delete with FOLDEX's folder-operation engine against `cp -a` and `rm -rf`, on the
# same trees in the same file system, page cache warm and cold, and prints engine/GNU ratios.
#   bench/folderops/ops_vs_gnu.sh [BUILD_DIR] [PARENT_DIR]
# BUILD_DIR holds bench_folderops (default: build).
# PARENT_DIR gets a scratch folder, removed at the end (default: /tmp). Pick a tmpfs
# (/dev/shm) or a disk folder; the file system used is printed.
# Environment: RUNS (default 5), COPY_MB (default 1024), DEL_DIRS (1000), DEL_FILES (100).
# Each timed command ends with `sync`, so written data reaches the disk inside the timing.
# Cold runs drop the page cache before each run (needs root); otherwise they are skipped.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
parent=${2:-/tmp}
runs=${RUNS:-5}
copy_mb=${COPY_MB:-1024}
del_dirs=${DEL_DIRS:-1000}
del_files=${DEL_FILES:-100}
bin=$build/bench_folderops
for b in "$bin"; do
    [ -x "$b" ] || { echo "missing $b: build bench_folderops" >&2; exit 2; }
done

w=$(mktemp -d "$parent/foldex_ops_bench.XXXXXX")
trap 'rm -rf "$w"' EXIT
echo "scratch: $w ($(stat -f -c %T "$w"), $(df --output=source "$w" | tail -1))"

cold=0
if [ "$(id -u)" = 0 ] && sync && (echo 3 > /proc/sys/vm/drop_caches) 2>/dev/null; then
    cold=1
else
    echo "cold runs skipped: dropping the page cache needs root (/proc/sys/vm/drop_caches)"
fi
drop='sync; echo 3 > /proc/sys/vm/drop_caches'

# --- trees ---
# Copy: 20 folders in two levels, 15 files each of mixed sizes (100 B to 16 MB), about
# COPY_MB in all; random contents.
sizes_kb=(16384 4096 1024 256 64 4 8192 2048 512 128 32 1 12288 0 6144)
per_folder_kb=0
for s in "${sizes_kb[@]}"; do per_folder_kb=$((per_folder_kb + s)); done
folders=$(( (copy_mb * 1024 + per_folder_kb - 1) / per_folder_kb ))
src=$w/copy/src   # drive T:
dst=$w/copy/dst   # drive U:
mkdir -p "$src/tree" "$dst"
for ((i = 0; i < folders; i++)); do
    d=$src/tree/g$((i % 4))/f$i
    mkdir -p "$d"
    for ((k = 0; k < ${#sizes_kb[@]}; k++)); do
        n=${sizes_kb[k]}
        if [ "$n" = 0 ]; then head -c 100 /dev/urandom > "$d/file$k.dat"
        else head -c $((n * 1024)) /dev/urandom > "$d/file$k.dat"; fi
    done
done
# Delete: DEL_DIRS folders of DEL_FILES 512-byte files, copied afresh for every run.
tmpl=$w/del/template/tree
root=$w/del/root  # drive T:
mkdir -p "$tmpl" "$root"
chunk=$(head -c 512 /dev/zero | tr '\0' x)
for ((i = 0; i < del_dirs; i++)); do
    d=$tmpl/d$i
    mkdir "$d"
    for ((k = 0; k < del_files; k++)); do printf %s "$chunk" > "$d/f$k.txt"; done
done
sync
echo "copy tree:   $(find "$src/tree" -type f | wc -l) files in $(find "$src/tree" -mindepth 1 -type d | wc -l) folders, $(du -sh "$src/tree" | cut -f1)"
echo "delete tree: $(find "$tmpl" -type f | wc -l) files in $(find "$tmpl" -mindepth 1 -type d | wc -l) folders, $(du -sh "$tmpl" | cut -f1)"
echo "runs: $runs each; times in seconds, mean ± sd of the whole command (process start, list, run, sync)"
echo

# The engine's own figure (the run alone, without start-up, listing and sync) per run.
inner=$w/inner
mkdir -p "$inner"

# bench NAME PREPARE ENGINE_CMD GNU_CMD: one hyperfine or loop comparison; prints the ratio.
results=()
bench() {
    local name=$1 prep=$2 engine=$3 gnu=$4 csv=$w/$1.csv
    : > "$inner/$name"
    local ecmd="$engine >> $inner/$name && sync" gcmd="$gnu && sync"
    if command -v hyperfine > /dev/null; then
        hyperfine --style basic --runs "$runs" --export-csv "$csv" \
            --prepare "$prep" -n "foldex $name" "$ecmd" \
            --prepare "$prep" -n "gnu $name" "$gcmd" | grep -E 'Benchmark|Time|Range' || true
        e=$(awk -F, 'NR == 2 {print $2}' "$csv")
        es=$(awk -F, 'NR == 2 {print $3}' "$csv")
        g=$(awk -F, 'NR == 3 {print $2}' "$csv")
        gs=$(awk -F, 'NR == 3 {print $3}' "$csv")
        em=$(awk -F, 'NR == 2 {print $4}' "$csv")
        gm=$(awk -F, 'NR == 3 {print $4}' "$csv")
    else
        local et=$w/$name.e gt=$w/$name.g
        : > "$et"; : > "$gt"
        for ((r = 0; r < runs; r++)); do
            sh -c "$prep"; /usr/bin/time -f %e -a -o "$et" sh -c "$ecmd"
            sh -c "$prep"; /usr/bin/time -f %e -a -o "$gt" sh -c "$gcmd"
        done
        read -r e es < <(awk '{s += $1; q += $1 * $1} END {m = s / NR; v = q / NR - m * m; print m, sqrt(v > 0 ? v : 0)}' "$et")
        read -r g gs < <(awk '{s += $1; q += $1 * $1} END {m = s / NR; v = q / NR - m * m; print m, sqrt(v > 0 ? v : 0)}' "$gt")
        em=$(sort -n "$et" | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
        gm=$(sort -n "$gt" | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')
    fi
    local alone
    alone=$(awk '{s += $1} END {if (NR) printf "%.3f", s / NR}' "$inner/$name")
    local line
    line=$(printf '%-12s foldex %7.3f ± %.3f   gnu %7.3f ± %.3f   ratio %5.2f   median ratio %5.2f   (engine run alone, no start-up/list/sync: %s, /gnu %.2f)' \
        "$name" "$e" "$es" "$g" "$gs" "$(echo "$e / $g" | bc -l)" "$(echo "$em / $gm" | bc -l)" "$alone" "$(echo "$alone / $g" | bc -l)")
    echo "$line"
    echo
    results+=("$line")
}

# Each run starts with no copy at the destination and the previous one flushed.
copy_prep="rm -rf $dst/tree; sync"
copy_engine="$bin copy $src tree $dst"
copy_gnu="cp -a $src/tree $dst/tree"
del_prep="rm -rf $root/tree; cp -a $tmpl $root/tree; sync"
del_engine="$bin delete $root tree"
del_gnu="rm -rf $root/tree"

# The engine's copy must match the source before its speed means anything.
$copy_engine > /dev/null
diff -r "$src/tree" "$dst/tree" > /dev/null || { echo "engine copy differs from the source" >&2; exit 1; }

# Warm: the source (copy) or the tree (delete) is read or written just before, so cached.
sh -c "cat $(printf '%q' "$src")/tree/*/*/* > /dev/null"
bench copy-warm "$copy_prep" "$copy_engine" "$copy_gnu"
bench delete-warm "$del_prep" "$del_engine" "$del_gnu"
if [ "$cold" = 1 ]; then
    bench copy-cold "$copy_prep; $drop" "$copy_engine" "$copy_gnu"
    bench delete-cold "$del_prep; $drop" "$del_engine" "$del_gnu"
fi
echo "summary (engine/GNU; ratio > 1: the engine is slower)"
printf '%s\n' "${results[@]}"
