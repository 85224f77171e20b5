#!/usr/bin/env bash
# End to end: under a window manager on a 1024x768 screen, a window remembered as large as the
# screen opens with its frame on the screen, and its remembered size stays as it was.
# window_frame_e2e.sh FOLDEX   (run inside with_xvfb.sh with XVFB_SCREEN=1024x768x24)
set -euo pipefail
foldex=$1
work=$(mktemp -d)
pid=""
wm=""
trap 'for p in $pid $wm; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
export FOLDEX_HOME=$work/home
export XDG_CACHE_HOME=$work/cache
mkdir -p "$FOLDEX_HOME" "$work/drive/a"
# 1024 x 768 pixels at 96 dpi.
printf '[Options]\nWIDTH=15360\nHEIGHT=11520\nPositionX=0\nPositionY=0\n' >"$FOLDEX_HOME/FOLDEX.Opt"

. "$(dirname "$0")/e2e_lib.sh"

read -r sw sh < <(xdotool getdisplaygeometry)
# The window manager; started again should it not take the display at once.
for _ in 1 2 3; do
    openbox >"$work/wm.log" 2>&1 &
    wm=$!
    for _ in $(seq 1 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break 2
        kill -0 "$wm" 2>/dev/null || break
        sleep 0.1
    done
    kill "$wm" 2>/dev/null || true
    wm=""
done
[[ -n "$wm" ]] || fail "openbox did not start: $(cat "$work/wm.log")"

start_foldex "$foldex" "$work/out.log" "$work/drive"

# The window manager frames the window (its borders in _NET_FRAME_EXTENTS), then the window
# fits its frame to the screen.
frame() {
    local x y extents l r t b
    x=$(xwininfo -id "$win" | sed -n 's/.*Absolute upper-left X: *//p')
    y=$(xwininfo -id "$win" | sed -n 's/.*Absolute upper-left Y: *//p')
    w=$(xwininfo -id "$win" | sed -n 's/.*Width: *//p')
    h=$(xwininfo -id "$win" | sed -n 's/.*Height: *//p')
    extents=$(xprop -id "$win" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ')
    [[ -n "$extents" ]] || return 1
    IFS=, read -r l r t b <<<"$extents"
    echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}
fits=""
for _ in $(seq 1 50); do
    if read -r fx fy fw fh < <(frame) &&
        ((fx >= 0 && fy >= 0 && fx + fw <= sw && fy + fh <= sh)); then
        fits=1
        break
    fi
    sleep 0.1
done
echo "screen ${sw}x${sh}, frame ${fw:-?}x${fh:-?} at ${fx:-?},${fy:-?}"
[[ -n "$fits" ]] || fail "the frame reaches past the screen: ${fw:-?}x${fh:-?} at ${fx:-?},${fy:-?}"

close_foldex --window "$win"
settings=$FOLDEX_HOME/FOLDEX.Opt
grep -q '^WIDTH= 15360' "$settings" || fail "the remembered width changed: $(cat "$settings")"
grep -q '^HEIGHT= 11520' "$settings" || fail "the remembered height changed: $(cat "$settings")"
echo "1 passed, 0 failed"
