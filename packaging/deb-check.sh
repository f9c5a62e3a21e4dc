#!/usr/bin/env bash
# Builds the Debian package from this checkout, installs it with apt-get and
# starts what it installed, as on a fresh Debian 12 machine:
#   ../shared/tools/fresh-machine . packaging/deb-check.sh
# Run as root (apt-get). The checkout is moved aside before the checks, so
# the installed programs can only use what the package put in /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
./setup
apt-get install -y -qq --no-install-recommends xvfb xauth >/dev/null
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DPLANOVIX_TESTS=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
ninja -C build-deb -j"${JOBS:-2}" planovix planovix-cli planovix-devsim planovix-benchsim manpages
(cd build-deb && cpack -G DEB)
deb=$(ls "$src"/build-deb/planovix_*.deb)
echo "== $(basename "$deb"): Depends: $(dpkg-deb --field "$deb" Depends)"

# Debian's own checks: no error and no warning (information and pedantic
# notes are shown, not counted).
echo "== lintian"
lintian --fail-on error,warning --display-info "$deb"
cp "$deb" tools/e2e/batch.sh /tmp/

# What the build brought in goes again, so the package has to bring back
# every library it needs by itself.
apt-get purge -y -qq build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev \
  qt6-charts-dev libqt6opengl6-dev libgl-dev libgtest-dev clang libclang-rt-14-dev dpkg-dev >/dev/null
apt-get autoremove -y -qq --purge >/dev/null
echo "== Qt libraries left before the install: $(dpkg -l 'libqt6*' 2>/dev/null | grep -c '^ii')"
apt-get install -y -qq /tmp/"$(basename "$deb")" >/dev/null
echo "== Qt libraries after it: $(dpkg -l 'libqt6*' 2>/dev/null | grep -c '^ii')"
mv "$src" "$src.moved"
trap 'mv "$src.moved" "$src"' EXIT
cd /tmp

echo "== installed files"
dpkg -L planovix | grep -v '/screenshots/' | grep -E '/bin/|/share/(applications|metainfo|icons|planovix/models/KRV2212A)|README'
echo "== the desktop entry and the AppStream file as installed"
desktop-file-validate /usr/share/applications/io.planovix.Planovix.desktop
appstreamcli validate --no-net /usr/share/metainfo/io.planovix.Planovix.metainfo.xml

echo "== planovix-cli --help"
planovix-cli --help >/tmp/help.txt
head -n 3 /tmp/help.txt
echo "== LANG=it_IT.UTF-8 planovix-cli --help"
LANG=it_IT.UTF-8 planovix-cli --help >/tmp/help-it.txt
head -n 3 /tmp/help-it.txt
grep -q '^Uso: planovix-cli' /tmp/help-it.txt
echo "== --version"
for p in planovix planovix-cli planovix-devsim planovix-benchsim; do "$p" --version; done
echo "== man planovix-cli"
MANWIDTH=80 man --warnings planovix-cli >/tmp/man.txt 2>/tmp/man-warnings.txt
head -n 12 /tmp/man.txt
[ ! -s /tmp/man-warnings.txt ] || { cat /tmp/man-warnings.txt; exit 1; }
echo "== bash completion of \"planovix-cli wr\""
bash -c 'source /usr/share/bash-completion/completions/planovix-cli
  COMP_WORDS=(planovix-cli wr); COMP_CWORD=1; _planovix_cli; echo "${COMPREPLY[@]}"' | tee /tmp/compl.txt
grep -qx 'write-config' /tmp/compl.txt
echo "== the model files are found from /usr/bin"
ls /usr/bin/../share/planovix/models | wc -l

echo "== a simulated unit on a pseudo-terminal, read with the installed CLI"
planovix-devsim --model KRV2212A --link /tmp/com1 >/dev/null 2>/tmp/devsim.log &
sim=$!
for _ in $(seq 50); do [ -e /tmp/com1 ] && break; sleep 0.1; done
planovix-cli --port /tmp/com1 identify

echo "== batch programming of three simulated units, one of another model"
/tmp/batch.sh /usr/bin

echo "== the program under Xvfb on that unit for 20 s (exit 124: still running)"
status=0
PLANOVIX_COM1=/tmp/com1 timeout 20 xvfb-run -a planovix || status=$?
kill "$sim"; wait "$sim" || true
echo "planovix exit status: $status"
[ "$status" -eq 124 ]
echo "deb-check: OK"
