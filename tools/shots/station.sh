#!/usr/bin/env bash
# The gang station on a virtual display against four simulated ports: two
# good units, one of another model, one pulled mid-write.
#   tools/shots/station.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
build=${1:-build}
out=${2:-docs/screenshots}
tmp=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$tmp"' EXIT
sim() { "$build/tools/devsim/planovix-devsim" --link "$tmp/com$1" "${@:2}" >/dev/null 2>&1 & pids+=($!); }
sim 1 --model KRV2212A
sim 2 --model KRV2212A --pull-after-writes 10
sim 3 --model KRV2212B
sim 4 --model KRV2212A
sleep 1
export PLANOVIX_RECORDS=$tmp/records.sqlite PLANOVIX_HISTORY_DIR=$tmp/none
"$build/tools/cli/planovix-cli" --port "$tmp/com1" read-config "$tmp/unit.DST"
ports="$tmp/com1,$tmp/com2,$tmp/com3,$tmp/com4"
for lang in 1 0; do
  # Each language on units fresh from the line.
  for p in "${pids[@]}"; do kill -USR1 "$p"; kill -USR2 "$p"; done
  sleep 1
  tools/shots/xrun.sh 1024x700x24 "$build/tools/shots/planovix-shots-station" "$out" "$tmp/unit.DST" "$ports" "$lang"
done
