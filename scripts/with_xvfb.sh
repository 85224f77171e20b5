#!/usr/bin/env bash
# with_xvfb.sh COMMAND [ARGS...]: runs COMMAND on an Xvfb server of its own. The server picks
# a free display itself (no race with other servers started at the same time); a server that
# has not come up within XVFB_START_TIMEOUT seconds (default 15) is stopped and started once
# more. A server that does not answer on its display is replaced the same way. XVFB_SCREEN
# sets the screen (default 1280x800x24).
set -euo pipefail
timeout=${XVFB_START_TIMEOUT:-15}
work=$(mktemp -d)
xvfb=""
stop_server() {
    if [[ -n "$xvfb" ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
        xvfb=""
    fi
}
trap 'stop_server; rm -rf "$work"' EXIT

start_server() {
    : >"$work/display"
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x800x24}" -nolisten tcp 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    local waited=0
    while ((waited < timeout * 10)); do
        if [[ -s "$work/display" ]] && grep -q '^[0-9]' "$work/display"; then
            display=":$(head -1 "$work/display" | tr -dc '0-9')"
            return 0
        fi
        kill -0 "$xvfb" 2>/dev/null || break
        sleep 0.1
        ((++waited))
    done
    echo "Xvfb did not start within ${timeout}s: $(cat "$work/xvfb.log")" >&2
    stop_server
    return 1
}

# The server has named its display; it must also answer there before the command starts (a
# server that named one and then went away left the command without a display).
server_answers() {
    local tries=0
    while ((tries < 50)); do
        kill -0 "$xvfb" 2>/dev/null || return 1
        DISPLAY=$display XAUTHORITY= xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
        ((++tries))
    done
    return 1
}

display=""
ready=""
for _ in 1 2 3; do
    if start_server && server_answers; then
        ready=1
        break
    fi
    echo "Xvfb on ${display:-?} does not answer; starting another: $(cat "$work/xvfb.log")" >&2
    stop_server
done
[[ -n "$ready" ]] || exit 1
set +e
DISPLAY=$display XAUTHORITY= "$@"
rc=$?
set -e
# A failure says which server it ran on and what that server said.
if ((rc != 0)); then
    echo "with_xvfb: exit $rc on $display (Xvfb $(kill -0 "$xvfb" 2>/dev/null && echo running || echo gone)): $(cat "$work/xvfb.log")" >&2
fi
exit $rc
