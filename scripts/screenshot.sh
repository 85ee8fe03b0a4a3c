#!/usr/bin/env bash
# Takes a screenshot of the desktop program on a demo installation under a
# virtual 1366x768 screen, and prints the PNG's path.
#
#   scripts/screenshot.sh [OUTPUT.png]
#
# BUILD_DIR (default: build/ in the repository) is built when the programs
# are missing. Installs xvfb, fonts-dejavu-core and imagemagick when absent.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$repo/build}"
out="${1:-$build/screenshot.png}"
size="1366x768"

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v import >/dev/null || need+=(imagemagick)
[ -e /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || need+=(fonts-dejavu-core)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

if [ ! -x "$build/gui/brenquil" ] || [ ! -x "$build/cli/brenquil-cli" ]; then
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target brenquil brenquil-cli
fi

work="$(mktemp -d)"
xvfb_pid=""
gui_pid=""
cleanup() {
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A demo installation when the command line has one; else a bare installation.
if "$build/cli/brenquil-cli" demo "$work/demo" >/dev/null 2>&1; then
  home="$work/demo/home"
  data="$work/demo/datos"
else
  "$build/cli/brenquil-cli" setup "$work/home" >/dev/null
  home="$work/home"
  data="$work/home"
fi

# A free display number.
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$build/gui/brenquil" --home "$home" --data "$data" \
  >"$work/gui.log" 2>&1 &
gui_pid=$!
sleep 3
if ! kill -0 "$gui_pid" 2>/dev/null; then
  echo "the program ended before the screenshot:" >&2
  cat "$work/gui.log" >&2
  exit 1
fi

mkdir -p "$(dirname "$out")"
DISPLAY=":$display" import -window root "$out"
echo "$out"
