#!/usr/bin/env bash
# Renders every window into docs/screenshots under a virtual display,
# against a simulated unit: tools/shots/render.sh [MODEL] [OUT_DIR]
# Extra simulator options go in PLANOVIX_DEVSIM_ARGS (e.g. "--switches factory"),
# the virtual screen in PLANOVIX_SHOTS_SCREEN (e.g. "1280x800x24").
set -euo pipefail
cd "$(dirname "$0")/../.."
model=${1:-KRV2212A}
out=${2:-docs/screenshots}
build=${BUILD_DIR:-build}
ninja -C "$build" planovix-shots planovix-devsim >/dev/null
fifo=$(mktemp -u)
mkfifo "$fifo"
read -r -a extra <<< "${PLANOVIX_DEVSIM_ARGS:-}"
"$build/tools/devsim/planovix-devsim" --model "$model" "${extra[@]}" >"$fifo" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
exec 3<"$fifo"
read -r pty <&3
export PLANOVIX_COM1=$pty
# The screen the windows must fit: PLANOVIX_SHOTS_SCREEN=1280x800x24, 1920x1080x24...
tools/shots/xrun.sh "${PLANOVIX_SHOTS_SCREEN:-1400x1000x24}" "$build/tools/shots/planovix-shots" "$out"
