#!/usr/bin/env bash
# The X harness: the command's exit status comes back, concurrent runs get different
# displays, and the server does not outlive it (checked by its process ID: another
# server may take the same display number as soon as ours is gone).
set -u
with_x="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

record='echo "$DISPLAY $XH_SERVER_PID" > "$1"'
"$with_x" sh -c "$record; exit 3" sh "$tmp/one" 2>/dev/null
[ $? -eq 3 ] || fail "exit status of the command was not returned"

# Two at once, each holding its server until both have started.
"$with_x" --tray sh -c "$record"'; while [ ! -s "$2" ]; do sleep 0.05; done' sh "$tmp/a" "$tmp/b" 2>/dev/null &
first=$!
"$with_x" sh -c 'while [ ! -s "$2" ]; do sleep 0.05; done; '"$record" sh "$tmp/b" "$tmp/a" 2>/dev/null &
second=$!
wait "$first" || fail "first concurrent run failed"
wait "$second" || fail "second concurrent run failed"
read -r display_a _ < "$tmp/a"
read -r display_b _ < "$tmp/b"
[ "$display_a" != "$display_b" ] || fail "concurrent runs shared display $display_a"

for file in one a b; do
    read -r display pid < "$tmp/$file" || true
    [ -n "${pid:-}" ] || { fail "no server recorded for run $file"; continue; }
    ! kill -0 "$pid" 2>/dev/null || fail "the server of $display (pid $pid) outlived with-x"
done
exit $((failures > 0))
