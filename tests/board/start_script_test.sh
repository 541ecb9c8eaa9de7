#!/bin/sh
# start_script_test.sh S99heatlume
# A program that dies at once is started again, but no more often than once
# per gap; a program that runs is left alone; "stop" ends the supervisor and
# the program with it.
set -u
script=$1
dir=$(mktemp -d)
trap 'DAEMON=x PIDFILE="$dir/pid" sh "$script" stop >/dev/null 2>&1; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; cat "$dir/log" 2>/dev/null; exit 1; }

export PIDFILE="$dir/pid" LOG="$dir/log" XDG_RUNTIME_DIR="$dir/run" RESPAWN_GAP=2

# 1. Dies at once: over 5 s with a 2 s gap, starts at 0, 2 and 4 s.
cat >"$dir/dies" <<EOT
#!/bin/sh
echo start >>"$dir/starts"
exit 3
EOT
chmod +x "$dir/dies"
DAEMON="$dir/dies" sh "$script" start >/dev/null || fail "start failed"
sleep 5
DAEMON="$dir/dies" sh "$script" stop >/dev/null
starts=$(wc -l <"$dir/starts")
[ "$starts" -ge 2 ] || fail "a dead program was not started again ($starts starts)"
[ "$starts" -le 3 ] || fail "$starts starts in 5 s with a 2 s gap"
grep -q "exited with status 3" "$dir/log" || fail "the exit status is not logged"

# 2. Runs: killed, it comes back (a new process); "stop" ends both.
cat >"$dir/runs" <<EOT
#!/bin/sh
echo \$\$ >>"$dir/pids"
exec sleep 600
EOT
chmod +x "$dir/runs"
DAEMON="$dir/runs" sh "$script" start >/dev/null || fail "start failed"
DAEMON="$dir/runs" sh "$script" start | grep -q "already running" || fail "started twice"
n=0
while [ ! -s "$dir/pids" ] && [ $n -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
first=$(head -n 1 "$dir/pids")
kill "$first"
sleep 3
[ "$(wc -l <"$dir/pids")" -eq 2 ] || fail "a killed program was not started again"
second=$(tail -n 1 "$dir/pids")
supervisor=$(cat "$dir/pid")
DAEMON="$dir/runs" sh "$script" stop >/dev/null
if kill -0 "$second" 2>/dev/null; then fail "the program outlived stop"; fi
if kill -0 "$supervisor" 2>/dev/null; then fail "the supervisor outlived stop"; fi
[ ! -e "$dir/pid" ] || fail "the pid file is left behind"
echo "start script: restarts within its gap, stops cleanly"
