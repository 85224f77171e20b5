# Shared steps of the window's end-to-end checks (sourced).

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_foldex FOLDEX LOG ARG...: starts the program; sets pid, and win to its list window
# once it shows (fails when it does not, or when the program ends first).
start_foldex() {
    local program=$1 log=$2
    shift 2
    "$program" "$@" >"$log" 2>&1 &
    pid=$!
    win=""
    for _ in $(seq 1 100); do
        win=$(xdotool search --name "フォルダー毎サイズ一覧" 2>/dev/null | head -1 || true)
        [[ -n "$win" ]] && break
        kill -0 "$pid" 2>/dev/null || fail "foldex ended early: $(cat "$log")"
        sleep 0.1
    done
    [[ -n "$win" ]] || fail "no list window appeared"
}

# close_foldex [XDOTOOL_KEY_ARGS...]: closes the window with Ctrl+F4 and waits for the
# program to end well; clears pid.
close_foldex() {
    xdotool key "$@" ctrl+F4
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "Ctrl+F4 did not close the window"
    wait "$pid" || fail "foldex exited with $?"
    pid=""
}
