#!/usr/bin/env bash
# Takes a screenshot of the desktop window on a demo installation, under a
# virtual screen, and prints the PNG's path. One old database of the demo is
# damaged first, so a run meets errors.
#
#   scripts/screenshot.sh [OUTPUT.png] [WIDTHxHEIGHT] [SCENE]
#
# WIDTHxHEIGHT is the screen (default 1366x768); the window takes it less a
# title bar's height. SCENE is what the window shows:
#   errores       after a "Transformar" that met errors (the default)
#   plan          after "Previsualizar"
#   confirmacion  the question "Transformar" asks before it changes anything
#   detenida      after a run stopped with "Detener" at its first database
#
# BUILD_DIR (default: build/ in the repository) is built when the programs
# are missing. Installs xvfb and fonts-dejavu-core when absent.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$repo/build}"
out="${1:-$build/screenshot.png}"
size="${2:-1366x768}"
scene="${3:-errores}"
width="${size%x*}"
height="${size#*x}"
case "$scene" in
  errores | plan | confirmacion | detenida) ;;
  *) echo "unknown scene: $scene (errores, plan, confirmacion, detenida)" >&2; exit 64 ;;
esac

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
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
cleanup() {
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

# The window opens at the screen's size less a title bar's height, sets up
# the scene and saves the screen itself.
mkdir -p "$(dirname "$out")"
if ! DISPLAY=":$display" QT_QPA_PLATFORM=xcb timeout 120 "$window" --mode window --home "$home" \
  --data "$data" --size "${width}x$((height - 28))" --scene "$scene" --screenshot "$out" \
  >"$work/gui.log" 2>&1; then
  # A run that met errors ends with 1; anything else is a failure.
  [ -s "$out" ] || { echo "no screenshot was taken:" >&2; cat "$work/gui.log" >&2; exit 1; }
fi
echo "$out"
