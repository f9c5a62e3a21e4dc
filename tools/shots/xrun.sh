#!/usr/bin/env bash
# Runs a program under a virtual display of the given size, with the openbox
# window manager when it is installed (title bars, maximised windows, as a
# desktop shows them): tools/shots/xrun.sh WxHxD PROGRAM ARGS...
set -euo pipefail
screen=$1
shift
if command -v openbox >/dev/null; then
  exec xvfb-run -a -s "-screen 0 $screen" bash -c 'openbox >/dev/null 2>&1 & wm=$!; sleep 1; "$@"; rc=$?; kill $wm 2>/dev/null; exit $rc' xrun "$@"
fi
exec xvfb-run -a -s "-screen 0 $screen" "$@"
