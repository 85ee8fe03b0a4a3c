#!/usr/bin/env bash
# Takes a screenshot of the desktop window after a "Transformar" that met
# errors (one old database of a demo installation is damaged first), under a
# virtual screen, and prints the PNG's path.
#
#   scripts/screenshot.sh [OUTPUT.png] [WIDTHxHEIGHT]     (default 1366x768)
#
# BUILD_DIR (default: build/ in the repository) is built when the programs
# are missing. Installs xvfb, fonts-dejavu-core and imagemagick when absent.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$repo/build}"
out="${1:-$build/screenshot.png}"
size="${2:-1366x768}"
width="${size%x*}"
height="${size#*x}"

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v import >/dev/null || need+=(imagemagick)
[ -e /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || need+=(fonts-dejavu-core)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

window="$build/bench/brenquil-bench-window"
if [ ! -x "$window" ] || [ ! -x "$build/cli/brenquil-cli" ]; then
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target brenquil-bench-window brenquil-cli
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

# A demo installation with one old database damaged, so the run journals errors.
"$build/cli/brenquil-cli" demo "$work/demo" >/dev/null
home="$work/demo/home"
data="$work/demo/datos"
head -c 4096 /dev/zero | tr '\0' 'x' >"$data/Personal.mdb"

# A free display number.
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

# The window opens at the screen's size less a title bar's height, presses
# "Transformar" and stays open for the screenshot.
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$window" --mode window --home "$home" --data "$data" \
  --size "${width}x$((height - 28))" --hold 20 >"$work/gui.log" 2>&1 &
gui_pid=$!
for _ in $(seq 300); do
  grep -q '^ventana:' "$work/gui.log" 2>/dev/null && break
  if ! kill -0 "$gui_pid" 2>/dev/null; then
    echo "the program ended before the screenshot:" >&2
    cat "$work/gui.log" >&2
    exit 1
  fi
  sleep 0.1
done
sleep 1

mkdir -p "$(dirname "$out")"
DISPLAY=":$display" import -window root "$out"
echo "$out"
