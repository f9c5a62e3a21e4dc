#!/usr/bin/env bash
# Renders the verification windows during and after a run on the simulated
# bench, under a virtual display: tools/shots/verification.sh [MODEL] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
model=${1:-KRV2210}
out=${2:-docs/screenshots}
build=${BUILD_DIR:-build}
ninja -C "$build" planovix-shots-verification planovix-benchsim >/dev/null
fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/tools/benchsim/planovix-benchsim" --model "$model" --seed 0 --env >"$fifo" &
bench=$!
trap 'kill $bench 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3<"$fifo"
while read -r line <&3; do
  [[ $line == ready ]] && break
  case $line in
    PLANOVIX_*=*) export "${line?}" ;;
    unit=*) export PLANOVIX_COM1=${line#unit=} ;;
  esac
done
tools/shots/xrun.sh "${PLANOVIX_SHOTS_SCREEN:-1400x1000x24}" "$build/tools/shots/planovix-shots-verification" "$out" "$model"
