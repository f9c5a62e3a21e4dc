#!/usr/bin/env bash
# Pictures the calibration window during a run on the simulated bench:
# tools/shots/tara.sh [MODEL] [OUT_DIR] [ROW]
# Bench options (faults...) go in PLANOVIX_BENCH_ARGS, e.g.
# PLANOVIX_BENCH_ARGS="--fault wrong-gain=200mV" tools/shots/tara.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
model=${1:-KRV2212A}
out=${2:-docs/screenshots}
row=${3:-13}
build=${BUILD_DIR:-build}
ninja -C "$build" planovix-shots-tara planovix-benchsim >/dev/null
fifo=$(mktemp -u)
mkfifo "$fifo"
read -r -a extra <<< "${PLANOVIX_BENCH_ARGS:-}"
"$build/tools/benchsim/planovix-benchsim" --model "$model" --env --dip-operator "${extra[@]}" >"$fifo" &
bench=$!
trap 'kill $bench 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3<"$fifo"
while read -r -t 10 line <&3; do
  case "$line" in
    ready) break ;;
    PLANOVIX_COM[1-8]=*|PLANOVIX_USB[1-4]=*) export "${line?}" ;;
  esac
done
tools/shots/xrun.sh "${PLANOVIX_SHOTS_SCREEN:-1400x1000x24}" "$build/tools/shots/planovix-shots-tara" "$out" "$row"
