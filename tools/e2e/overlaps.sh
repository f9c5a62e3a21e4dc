#!/usr/bin/env bash
# Presses commands on top of each other in the real program, on a virtual
# display, against the simulated unit on a pseudo-terminal, and checks the
# unit's transcript: every exchange whole, none nested, the unit left idle.
#
#   tools/e2e/overlaps.sh [MODEL] [SCREEN]      e.g. KRV2212A 1280x800x24
#
# Needs Xvfb and xdotool (./setup installs both). Clicks use the positions of
# the default style: "Open Com" and the frame's "Esci" (Exit) menu item.
# The write must go out without a range question: use a model whose simulated
# configuration passes the editor's checks (KRV2212A, KRV2212B...; the
# KRV2220's default minimum of 0 Hz is below its input limit and is asked about).
set -uo pipefail
cd "$(dirname "$0")/../.."
model=${1:-KRV2212A}
screen=${2:-1280x800x24}
build=${BUILD_DIR:-build}
ninja -C "$build" planovix planovix-devsim >/dev/null
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
trap 'kill $app $sim $xvfb 2>/dev/null; rm -rf "$work"' EXIT

"$build/tools/devsim/planovix-devsim" --model "$model" --transcript "$work/t" >"$work/sim" 2>&1 &
sim=$!
Xvfb "$display" -screen 0 "$screen" >/dev/null 2>&1 &
xvfb=$!
sleep 1
pty=$(head -1 "$work/sim")
export DISPLAY=$display
PLANOVIX_COM1=$pty "$build/src/app/ui/planovix" >"$work/app" 2>&1 &
app=$!
sleep 2
win=$(xdotool search --name PLANOVIX | head -1)
xdotool windowfocus --sync "$win" 2>/dev/null
mark() { echo "=== $1" >>"$work/t"; }
key() { xdotool key "$1"; }
windows() { xdotool search --name PLANOVIX | wc -l; }

xdotool mousemove --window "$win" 68 88 click 1   # Open Com: identity, read, switches
sleep 4
before=$(windows)
mark write-then-read
key F6; sleep 0.7; key ctrl+r; sleep 0.1; key F5; sleep 8
mark double-write
key F6; key F6; sleep 9
mark read-during-run
key F5; sleep 6; key ctrl+r; sleep 6
after=$(windows)
mark exit-during-run
key F5; sleep 6
xdotool mousemove --window "$win" 299 8 click 1   # Esci / Exit, after the "Aiuto" menu
sleep 3
kill -0 $app 2>/dev/null && alive=yes || alive=no

python3 - "$work/t" "$before" "$after" "$alive" <<'PY'
import sys
lines = open(sys.argv[1]).read().split('\n')
sections, name = {}, 'open'
for l in lines:
    if l.startswith('=== '): name = l[4:]; continue
    if l: sections.setdefault(name, []).append(l[:2])
bad = []
def whole_write(cmds, label):
    w = [i for i, c in enumerate(cmds) if c == '$W']
    if not w: bad.append(label + ': no write'); return 0
    if any(c != '$W' for c in cmds[w[0]:w[-1] + 1]): bad.append(label + ': something inside the write')
    if cmds.count('$V') != 2: bad.append(label + ': %d identity reads, expected 2' % cmds.count('$V'))
    if 'MI' in cmds: bad.append(label + ': a run started during the write')
    return len(w)
n1 = whole_write(sections.get('write-then-read', []), 'Ctrl+R and F5 during a write')
n2 = whole_write(sections.get('double-write', []), 'double F6')
if n1 != n2: bad.append('double F6 wrote %d cells, one write writes %d' % (n2, n1))
run = sections.get('read-during-run', [])
if run.count('MI') != 1: bad.append('read during a run: %d "MI"' % run.count('MI'))
else:
    i = run.index('MI')
    if run[i + 1:i + 5] != ['SM', 'SM', 'PR', '$V']: bad.append('read during a run: after "MI" came %s' % run[i + 1:i + 5])
if sys.argv[2] != sys.argv[3]: bad.append('a message box appeared (%s windows, then %s)' % (sys.argv[2], sys.argv[3]))
ex = sections.get('exit-during-run', [])
if not ex or ex[-1] != 'SM' or 'MI' not in ex: bad.append('exit during a run: last command %s' % (ex[-1:] or 'none'))
if sys.argv[4] != 'no': bad.append('the program did not exit')
for b in bad: print('FAIL', b)
print('overlaps: %s' % ('ok' if not bad else '%d failures' % len(bad)))
sys.exit(1 if bad else 0)
PY
