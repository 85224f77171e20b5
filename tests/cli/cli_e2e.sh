#!/usr/bin/env bash
# End to end: the real program's commands without a window, as a shell runs them: exit
# codes, what goes to which stream, a pipe between two runs, and no display.
# cli_e2e.sh FOLDEX
set -euo pipefail
foldex=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export FOLDEX_HOME=$work/home
export XDG_CACHE_HOME=$work/cache  # snapshots, never the user's cache
mkdir -p "$FOLDEX_HOME" "$work/tree/a/b"
printf 'abc' >"$work/tree/a/f"

fail() { echo "FAIL: $*" >&2; exit 1; }
# expect CODE ARGS...: runs foldex with ARGS, standard output to out, errors to err.
expect() {
    local want=$1 rc=0
    shift
    "$foldex" "$@" >"$work/out" 2>"$work/err" || rc=$?
    [[ $rc == "$want" ]] || fail "foldex $* ended $rc, not $want: $(cat "$work/err")"
}

expect 0 --version
grep -q '^FOLDEX Ver\.' "$work/out" || fail "no version line"
expect 2 --bogus
grep -q '^foldex: 不明なオプション: --bogus$' "$work/err" || fail "unknown option not named"
grep -q '^使い方: foldex' "$work/out" || fail "no usage after an unknown option"
expect 2 --report "$work/tree" --level two
[[ ! -s "$work/out" ]] || fail "a refused report wrote something"
expect 3 --import "$work/none.json"
grep -q 'ファイルがありません' "$work/err" || fail "a missing export is not named"
expect 0 --report "$work/tree" --csv --full-path
grep -q '^"a\\b",' "$work/out" || fail "no folder a\\b in the CSV: $(cat "$work/out")"

# A full disk and a closed standard output are failures, never a success.
rc=0
"$foldex" --drives >/dev/full 2>"$work/err" || rc=$?
[[ $rc == 1 ]] || fail "--drives to /dev/full ended $rc"
grep -q '書き込めません' "$work/err" || fail "a failed write is not said"
rc=0
"$foldex" --report "$work/tree" >&- 2>"$work/err" || rc=$?
[[ $rc == 1 ]] || fail "a report to a closed standard output ended $rc"

# An export read back through a pipe gives the same CSV as the scan.
rc=0
"$foldex" --export - "$work/tree" | "$foldex" --report --import - --csv >"$work/piped" || rc=$?
[[ $rc == 0 ]] || fail "export | report --import - ended $rc"
tail -n 1 "$work/piped" >"$work/piped.total"
expect 0 --report "$work/tree" --csv
tail -n 1 "$work/out" | cmp -s - "$work/piped.total" ||
    fail "the total of the piped export differs: $(cat "$work/piped.total")"

# --output naming standard output writes where it goes, as a redirection: appended to a log
# opened with >>, and through a pipe.
expect 0 --report "$work/tree" --csv
cp "$work/out" "$work/plain.csv"
printf 'earlier line\n' >"$work/app.log"
rc=0
"$foldex" --report "$work/tree" --csv --output /dev/stdout >>"$work/app.log" || rc=$?
[[ $rc == 0 ]] || fail "--output /dev/stdout >> app.log ended $rc"
{ printf 'earlier line\n'; cat "$work/plain.csv"; } | cmp -s - "$work/app.log" ||
    fail "--output /dev/stdout did not append: $(head -c 200 "$work/app.log")"
rc=0
"$foldex" --report "$work/tree" --csv --output /dev/stdout 2>"$work/err" | cat >"$work/piped.csv" ||
    rc=$?
[[ $rc == 0 ]] || fail "--output /dev/stdout | cat ended $rc: $(cat "$work/err")"
cmp -s "$work/plain.csv" "$work/piped.csv" || fail "--output /dev/stdout through a pipe differs"

# A reader that stops early ends the program as it ends du: by SIGPIPE (141 in the shell), or
# where SIGPIPE is ignored, exit code 1 and Broken pipe. More than a pipe holds, so the reader
# is gone before the end.
mkdir "$work/wide"
(cd "$work/wide" && mkdir $(printf 'a-folder-with-a-rather-long-name-%04d ' $(seq 1 2000)))
for output in "" /dev/stdout; do
    args=(--report "$work/wide")
    [[ -z $output ]] || args+=(--output "$output")
    set +o pipefail
    env --default-signal=PIPE "$foldex" "${args[@]}" 2>"$work/err" | head -n 1 >/dev/null
    rc=${PIPESTATUS[0]}
    env --ignore-signal=PIPE "$foldex" "${args[@]}" 2>"$work/err2" | head -n 1 >/dev/null
    rc2=${PIPESTATUS[0]}
    set -o pipefail
    [[ $rc == 141 && ! -s "$work/err" ]] ||
        fail "| head -1 (${args[*]}) ended $rc: $(cat "$work/err")"
    [[ $rc2 == 1 ]] || fail "| head -1 with SIGPIPE ignored (${args[*]}) ended $rc2"
    grep -q "書き込めません: ${output:--} (Broken pipe)" "$work/err2" ||
        fail "a broken pipe is not said: $(cat "$work/err2")"
done

# No display: said in both languages, and the drive overview instead of a window.
rc=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$foldex" >"$work/out" 2>"$work/err" || rc=$?
[[ $rc == 0 ]] || fail "without a display foldex ended $rc"
grep -q 'no display' "$work/err" || fail "no display is not said"
grep -q '^Drive名' "$work/out" || fail "no drive overview without a display"
echo "cli_e2e: all checks passed"
