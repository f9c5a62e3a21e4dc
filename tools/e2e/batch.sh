#!/usr/bin/env bash
# Batch programming as at the bench, with the real executables on a
# pseudo-terminal: planovix-cli program --repeat runs while simulated units
# are "plugged" (a planovix-devsim started on the same --link path) and
# "unplugged" (that simulator stopped) one after the other: a KRV2212A, a
# KRV2312A (another model: skipped) and a KRV2212A; then Ctrl+C (SIGINT).
# Checks the CSV log, the output and the exit code (3: one unit refused).
#
#   tools/e2e/batch.sh [BINDIR]    BINDIR holds planovix-cli and planovix-devsim
#                                  (default: the build tree's; /usr/bin when installed)
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -ge 1 ]; then
  cli=$1/planovix-cli devsim=$1/planovix-devsim
else
  build=${BUILD_DIR:-$here/build}
  ninja -C "$build" planovix-cli planovix-devsim >/dev/null || exit 1
  cli=$build/tools/cli/planovix-cli devsim=$build/tools/devsim/planovix-devsim
fi
work=$(mktemp -d)
port=$work/com1
sim=""
batch=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null
  [ -n "$batch" ] && kill "$batch" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "batch.sh: $*" >&2; echo "--- output:"; cat "$work/out" 2>/dev/null; exit 1; }

plug() {
  "$devsim" --model "$1" --link "$port" >/dev/null 2>>"$work/devsim.log" &
  sim=$!
  for _ in $(seq 100); do [ -e "$port" ] && return; sleep 0.05; done
  fail "the simulator did not start"
}
unplug() { kill "$sim"; wait "$sim" 2>/dev/null; sim=""; }
# Waits (up to 60 s) until the log has $1 lines, header included.
lines() {
  for _ in $(seq 600); do
    [ "$(cat "$work/batch.csv" 2>/dev/null | wc -l)" -ge "$1" ] && return
    sleep 0.1
  done
  fail "no CSV line $1 after 60 s"
}

# The file: a KRV2212A's own configuration.
plug KRV2212A
"$cli" --port "$port" read-config "$work/unit.DST" || fail "read-config failed"
unplug

# Waits (up to 30 s) until the batch has said "waiting for a unit" $1 times:
# the technician plugs the next unit once the last one is seen gone.
ready() {
  for _ in $(seq 300); do
    [ "$(grep -c 'waiting for a unit' "$work/out" 2>/dev/null || echo 0)" -ge "$1" ] && return
    sleep 0.1
  done
  fail "the batch did not get ready for unit $1"
}

# The first unit is on the cable when the batch starts (a port missing at the
# start is reported as a mistake, not waited for).
plug KRV2212A
"$cli" --port "$port" program "$work/unit.DST" --repeat --log "$work/batch.csv" >"$work/out" 2>&1 &
batch=$!
lines 2; unplug
ready 2; plug KRV2312A; lines 3; unplug
ready 3; plug KRV2212A; lines 4; unplug
sleep 1
kill -INT "$batch"
status=0
wait "$batch" || status=$?
batch=""

cat "$work/out" | tr '\a' '*'
echo "--- $work/batch.csv:"
cat "$work/batch.csv"
[ "$status" -eq 3 ] || fail "exit status $status, not 3 (one unit refused)"
[ "$(wc -l < "$work/batch.csv")" -eq 4 ] || fail "the log does not have 3 units"
sed -n 2p "$work/batch.csv" | grep -q ',KRV2212A,12/2/3/0,ok,,[1-9]' || fail "unit 1 not ok"
sed -n 3p "$work/batch.csv" | grep -q ',KRV2312A,12/2/3/0,refused,.*,0$' || fail "unit 2 not refused"
sed -n 4p "$work/batch.csv" | grep -q ',KRV2212A,12/2/3/0,ok,,[1-9]' || fail "unit 3 not ok"
grep -q 'batch ended (Ctrl+C): 3 units, 2 ok, 1 refused, 0 failed' "$work/out" || fail "no summary"
echo "batch.sh: OK"
