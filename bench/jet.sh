#!/usr/bin/env bash
# The benchmark of `brenquil-cli import JET OUT`. Goals: a Jet file of about
# 3 MB (9 tables, some 3,000 rows, OLE pictures) imports in under 2 s; the
# peak memory (RSS) stays under 64 MiB whatever the size of its Memo and OLE
# values.
#
# What it can measure here: no Jet file can be written on this machine, and
# the genuine files of ../shared/jet are small (the largest is some 350 KB).
# So it times every genuine file (the largest one is the figure that stands
# for the speed goal, with its rows per second), and for the memory goal it
# imports copies of test2V2000.mdb whose one OLE Object, or one Memo, is made
# N MiB long (brenquil-bench-jetcopy appends a chain of long-value pages):
# the peak RSS against the size of the value. An OLE Object is written into
# SQLite in pieces; a Memo is not (SQLite takes a text value whole), so its
# peak grows with it.
#
#   bench/jet.sh [--repeat N] [--ole-mib "3 64 256"] [--memo-mib "1 8 32 64"]
#                [--build DIR] [--jobs N]
#
#   --repeat N     imports of each file (default 5); the median is judged
#   --ole-mib L    sizes of the OLE Object, in MiB (default "3 64 256")
#   --memo-mib L   sizes of the Memo as Jet stores it (UTF-16), in MiB
#                  (default "1 8 32 64")
# Every run is a line of WORK/times.tsv (file, run, seconds, peak KiB, exit).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build/bench
repeat=5
ole_sizes="3 64 256"
memo_sizes="1 8 32 64"
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
while (($#)); do
  case $1 in
    --repeat) repeat=$2; shift 2 ;;
    --ole-mib) ole_sizes=$2; shift 2 ;;
    --memo-mib) memo_sizes=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "jet.sh: unexpected argument '$1'" >&2; exit 2 ;;
  esac
done
[[ $repeat =~ ^[1-9][0-9]*$ ]] || { echo "jet.sh: --repeat needs a whole number of 1 or more" >&2; exit 2; }
jet=$repo/../shared/jet
[ -d "$jet" ] || { echo "jet.sh: no existe $jet, la carpeta de los archivos Jet" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "jet.sh: falta /usr/bin/time (paquete time)" >&2; exit 2; }

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF -DBRENQUIL_GUI=OFF \
    "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j"$jobs" --target brenquil-cli brenquil-bench-jetcopy >/dev/null
cli=$build/cli/brenquil-cli
copy=$build/bench/brenquil-bench-jetcopy
work=$build/jet-work
rm -rf "$work"
mkdir -p "$work/copies"
tsv=$work/times.tsv
printf 'file\trun\tseconds\tpeak_kib\texit\n' >"$tsv"

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# import_runs LABEL FILE N: N imports, each into a fresh OUT; sets
# sec (median seconds), kib (median peak KiB), max_kib, rows (from the report).
import_runs() {
  local label=$1 file=$2 n=$3 i t0 t1 rc out log
  for ((i = 1; i <= n; i++)); do
    out=$work/out.db
    log=$work/$label.$i
    rm -f "$out"
    sync
    rc=0
    t0=$(date +%s.%N)
    /usr/bin/time -v -o "$log.time" "$cli" import "$file" "$out" --json >"$log.json" 2>"$log.err" || rc=$?
    t1=$(date +%s.%N)
    printf '%s\t%d\t%s\t%s\t%d\n' "$label" "$i" "$(awk "BEGIN { printf \"%.3f\", $t1 - $t0 }")" \
      "$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log.time")" "$rc" >>"$tsv"
    ((rc <= 1)) || { echo "jet.sh: la importación de $file terminó con $rc:" >&2; cat "$log.err" >&2; exit 1; }
  done
  sec=$(awk -F'\t' -v l="$label" '$1 == l { print $3 }' "$tsv" | median)
  kib=$(awk -F'\t' -v l="$label" '$1 == l { print $4 }' "$tsv" | median)
  max_kib=$(awk -F'\t' -v l="$label" '$1 == l { print $4 }' "$tsv" | sort -g | tail -1)
  rows=$(grep -o '"rows": *[0-9]*' "$work/$label.1.json" | awk -F: '{ s += $2 } END { print s + 0 }')
  tables=$(grep -o '"rows":' "$work/$label.1.json" | wc -l)
}

mib() { awk "BEGIN { printf \"%.1f\", $1 / 1024 }"; }
verdict() { awk "BEGIN { print ($1 <= $2) ? \"MET\" : \"NOT MET\" }"; }

echo "== Archivos Jet genuinos ($jet), $repeat importaciones cada uno: mediana"
largest=$(ls -S "$jet"/*.mdb | head -1)
for f in "$jet"/*.mdb; do
  name=$(basename "$f" .mdb)
  import_runs "$name" "$f" "$repeat"
  printf '  %-30s %7d KB  %2d tablas %5d filas  %6.3f s  %6s MiB\n' "$name" $(( $(stat -c %s "$f") / 1024 )) \
    "$tables" "$rows" "$sec" "$(mib "$kib")"
done
name=$(basename "$largest" .mdb)
sec=$(awk -F'\t' -v l="$name" '$1 == l { print $3 }' "$tsv" | median)
rows=$(grep -o '"rows": *[0-9]*' "$work/$name.1.json" | awk -F: '{ s += $2 } END { print s + 0 }')
size_kb=$(( $(stat -c %s "$largest") / 1024 ))
echo
printf 'time    largest genuine file %s (%d KB, %d rows)   median %.3f s  (goal < 2 s for ~3 MB)  %s\n' \
  "$name" "$size_kb" "$rows" "$sec" "$(verdict "$sec" 2)"
printf '        %.0f KB/s; a 3 MB file at that rate: %.2f s (an extrapolation: no such file here)\n' \
  "$(awk "BEGIN { print $size_kb / $sec }")" "$(awk "BEGIN { print 3072 / ($size_kb / $sec) }")"

echo
echo "== Valores largos: copias de test2V2000.mdb con un valor de N MiB ($(( repeat < 3 ? repeat : 3 )) importaciones)"
long_runs=$(( repeat < 3 ? repeat : 3 ))
worst_ole=0
for n in $ole_sizes; do
  f=$work/copies/ole-$n.mdb
  "$copy" "$f" --ole-mib "$n" >/dev/null
  import_runs "ole-$n" "$f" "$long_runs"
  printf 'memory  OLE Object of %4s MiB   %6.2f s   peak RSS median %6s MiB, max %6s MiB  (goal <= 64)  %s\n' \
    "$n" "$sec" "$(mib "$kib")" "$(mib "$max_kib")" "$(verdict "$(mib "$max_kib")" 64)"
  rm -f "$f"
done
for n in $memo_sizes; do
  f=$work/copies/memo-$n.mdb
  "$copy" "$f" --memo-mib "$n" >/dev/null
  import_runs "memo-$n" "$f" "$long_runs"
  printf 'memory  Memo of %4s MiB (UTF-16) %6.2f s   peak RSS median %6s MiB, max %6s MiB  (goal <= 64)  %s\n' \
    "$n" "$sec" "$(mib "$kib")" "$(mib "$max_kib")" "$(verdict "$(mib "$max_kib")" 64)"
  rm -f "$f"
done
echo
echo "times: $tsv"
