#!/usr/bin/env bash
# End to end: the real program under Xvfb with a fixture folder as its drive.
# window_e2e.sh FOLDEX   (run inside xvfb-run)
set -euo pipefail
foldex=$1
work=$(mktemp -d)
pid=""
trap 'if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
export FOLDEX_HOME=$work/home
export XDG_CACHE_HOME=$work/cache  # snapshots, never the user's cache
mkdir -p "$FOLDEX_HOME"
fixture=$work/fixture
mkdir -p "$fixture"/{写真/2024/夏,docs/a/b,"blank name",empty}
head -c 200000 /dev/zero >"$fixture/写真/2024/夏/img.raw"
head -c 5000 /dev/zero >"$fixture/docs/a/b/x.txt"
head -c 100 /dev/zero >"$fixture/docs/readme"
ln -s /etc "$fixture/docs/link-to-etc"

. "$(dirname "$0")/e2e_lib.sh"
start_foldex "$foldex" "$work/out.log" "$fixture"
title=$(xdotool getwindowname "$win")
[[ "$title" =~ ^Drive\ [A-Z]:\ \ フォルダー毎サイズ一覧$ ]] || fail "title is '$title'"
echo "window: $title"

# The title names the drive from the start of the listing: wait until the window's picture
# stands still, the list painted.
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
import -window "$win" "$work/before.png"
for _ in $(seq 1 50); do
    sleep 0.1
    import -window "$win" "$work/settled.png"
    same=$(compare -metric AE "$work/before.png" "$work/settled.png" null: 2>&1 || true)
    mv "$work/settled.png" "$work/before.png"
    [[ "${same%% *}" == "0" ]] && break
done
numlockx on 2>/dev/null || xdotool key Num_Lock
xdotool key KP_1
diff=0
for _ in $(seq 1 50); do
    sleep 0.1
    import -window "$win" "$work/after.png"
    diff=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
    diff=${diff%% *}
    [[ "$diff" =~ ^[0-9]+$ && "$diff" -gt 100 ]] && break
done
echo "pixels changed by numeric-pad 1: $diff"
[[ "$diff" =~ ^[0-9]+$ && "$diff" -gt 100 ]] || fail "numeric-pad 1 changed nothing"

close_foldex
settings=$FOLDEX_HOME/FOLDEX.Opt
for key in WIDTH HEIGHT KB MB GB; do
    grep -q "^$key=" "$settings" || fail "$key missing from the settings: $(cat "$settings")"
done
echo "settings: $(grep -E '^(WIDTH|HEIGHT|KB|MB|GB)=' "$settings" | tr '\n' ' ')"
echo "1 passed, 0 failed"
