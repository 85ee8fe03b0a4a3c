#!/usr/bin/env bash
# Times `brenquil-cli transform` against the floor (the same schema statements
# applied with SQLite alone) on copies of one generated installation, then a
# second run on the transformed copy, then the index step on an installation
# whose tables and fields already match. Prints times, ratios and peak memory.
# A plan (`transform --plan`) is timed before the first run, on the same files,
# and again on the installation once up to date, against reading every schema
# once (the floor's dry run). With --window, times instead "Transformar" in the
# desktop window (offscreen) against the same run on the command line, on two
# copies of the installation.
#
#   bench/run.sh [--build DIR] [--cache DIR] [--work DIR] [--regen] [--window]
#                [--no-index-run] [generator options: --pairs N --tables N
#                --fields N --rows N --big-rows N --big-tables N --new-tables N
#                --new-fields N --new-databases N --no-indexes]
#
# Goals: transform/floor at most 2, peak memory under 64 MiB, and a second run
# that rebuilds no index and costs about what reading the schema costs; a plan
# that changes no file, costs no more than the run and lists what it does, and
# on an up-to-date installation costs at most twice reading every schema; a
# window run at most 1.3 times the command line's.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build/bench
cache=
work=
regen=0
index_run=1
window=0
gen_args=()

while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --cache) cache=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --regen) regen=1; shift ;;
    --no-index-run) index_run=0; shift ;;
    --window) window=1; shift ;;
    -h|--help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    --no-indexes|--same-structure) gen_args+=("$1"); shift ;;
    --*) gen_args+=("$1" "$2"); shift 2 ;;
    *) echo "run.sh: unexpected argument '$1'" >&2; exit 2 ;;
  esac
done
((window)) && [ "$build" = "$repo/build/bench" ] && build=$repo/build/bench-gui
build=$(mkdir -p "$build" && cd "$build" && pwd)
cache=${cache:-$build/bench-cache}
work=${work:-$build/bench-work}

if [ ! -x /usr/bin/time ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends time
fi

# ---- build (Release), incremental
targets=(brenquil-cli brenquil-bench-gen brenquil-bench-floor)
((window)) && targets+=(brenquil-bench-window)
if [ ! -f "$build/CMakeCache.txt" ]; then
  gui=OFF
  ((window)) && gui=ON
  cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF -DBRENQUIL_GUI=$gui \
    >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null
cli=$build/cli/brenquil-cli
gen=$build/bench/brenquil-bench-gen
floor=$build/bench/brenquil-bench-floor

# ---- helpers
seconds_now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }

# timed NAME LOG COMMAND...: runs COMMAND under /usr/bin/time -v; sets
# elapsed_NAME (s), rss_NAME (KiB) and rc_NAME.
timed() {
  local name=$1 log=$2 t0 t1 rc=0
  shift 2
  t0=$(seconds_now)
  /usr/bin/time -v -o "$log.time" "$@" >"$log" 2>&1 || rc=$?
  t1=$(seconds_now)
  printf -v "elapsed_$name" '%s' "$(calc "$t1 - $t0")"
  printf -v "rss_$name" '%s' "$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log.time")"
  printf -v "rc_$name" '%s' "$rc"
}

# installation KEY ARGS...: the cached installation made with ARGS, made once.
installation() {
  local key=$1 dir
  shift
  [ -n "$key" ] || { echo "run.sh: empty installation name" >&2; exit 2; }
  dir=$cache/$key
  if ((regen)) || [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir" "$dir.tmp"
    mkdir -p "$cache"
    echo "generating $key ..." >&2
    "$gen" "$dir.tmp" "$@" >&2
    touch "$dir.tmp/.complete"
    mv "$dir.tmp" "$dir"
  fi
  echo "$dir"
}

fresh_copy() {
  rm -rf "$2"
  mkdir -p "$(dirname "$2")"
  cp -a --reflink=auto "$1" "$2"
}

# Changes listed in a transform's JSON report: "tables fields dropped created".
changes() {
  if command -v python3 >/dev/null; then
    python3 - "$1" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))
d = r.get("databases", [])
print(sum(len(x["tablesCreated"]) for x in d),
      sum(len(f["fields"]) for x in d for f in x["fieldsAdded"]),
      sum(len(x["indexesDeleted"]) for x in d),
      sum(len(x["indexesCreated"]) for x in d),
      len(r.get("errors", [])))
EOF
  else
    echo "? ? ? ? ?"
  fi
}

# What the floor's dry run still finds to do on an installation: the numbers
# of its summary line, all 0 when the old databases match their models.
remaining() {
  "$floor" --home "$1/home" --data "$1/datos" --all --dry-run | head -1 |
    grep -o '[0-9]\+ \(tables created\|fields added\|indexes dropped\|indexes created\|databases copied\|failed\)' |
    awk '{ printf "%s ", $1 }'
}

key=$(printf '%s_' "${gen_args[@]}" | sed 's/--//g' | tr -c 'A-Za-z0-9.-' '_')
key=${key%_}
key=${key:-defaults}
mkdir -p "$work"
logs=$work/logs
mkdir -p "$logs"

# ---- the window against the command line
if ((window)); then
  base=$(installation "$key" "${gen_args[@]}")
  bench_window=$build/bench/brenquil-bench-window
  fresh_copy "$base" "$work/window"
  fresh_copy "$base" "$work/cli"
  sync
  timed cli "$logs/cli.txt" "$bench_window" --mode cli --home "$work/cli/home" --data "$work/cli/datos"
  QT_QPA_PLATFORM=offscreen timed window "$logs/window.txt" "$bench_window" --mode window \
    --home "$work/window/home" --data "$work/window/datos"
  echo
  echo "installation: $base (${gen_args[*]:-defaults})"
  echo "command line                      $(grep '^línea de órdenes:' "$logs/cli.txt")   process $elapsed_cli s"
  echo "window (offscreen)                $(grep '^ventana:' "$logs/window.txt")   process $elapsed_window s"
  run_cli=$(sed -n 's/^línea de órdenes: \([0-9.]*\) s.*/\1/p' "$logs/cli.txt")
  run_window=$(sed -n 's/^ventana: \([0-9.]*\) s.*/\1/p' "$logs/window.txt")
  echo "ratio window/command line         $(calc "$run_window / $run_cli")   (goal <= 1.3)"
  echo "logs: $logs"
  exit 0
fi

# ---- the transformation against the floor
base=$(installation "$key" "${gen_args[@]}")
fresh_copy "$base" "$work/brenquil"
fresh_copy "$base" "$work/floor"
sync

timed floor "$logs/floor.txt" "$floor" --home "$work/floor/home" --data "$work/floor/datos" --all
# The plan first, on the very files the run then transforms: it must leave
# every file of the copy (models and catalogues included) as it was.
(cd "$work/brenquil" && find . -type f ! -name .brenquil-transformando -print0 | sort -z | xargs -0 md5sum) \
  >"$logs/before-plan.md5"
timed plan "$logs/plan.txt" "$cli" transform --plan --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/plan.json"
plan_changed=$( (cd "$work/brenquil" && find . -type f ! -name .brenquil-transformando -print0 | sort -z |
  xargs -0 md5sum) | diff - "$logs/before-plan.md5" | grep -c '^[<>]' || true)
timed first "$logs/first.txt" "$cli" transform --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/first.json"
read -r f_tables f_fields f_dropped f_created f_errors <<<"$(changes "$logs/first.json")"
read -r p_tables p_fields p_dropped p_created p_errors <<<"$(changes "$logs/plan.json")"
left_after_first=$(remaining "$work/brenquil")

# ---- second run: everything is up to date
# A run that finds nothing to do must leave every old database byte for byte
# as it was: no index rebuilt, no catalogue of the engine rewritten.
(cd "$work/brenquil/datos" && find . -maxdepth 1 -type f -name '*.mdb' -print0 | xargs -0 md5sum) \
  >"$logs/before-second.md5"
timed floor2 "$logs/floor2.txt" "$floor" --home "$work/floor/home" --data "$work/floor/datos" --all
timed second "$logs/second.txt" "$cli" transform --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/second.json"
read -r s_tables s_fields s_dropped s_created s_errors <<<"$(changes "$logs/second.json")"
differing=$(cd "$work/brenquil/datos" && md5sum -c --quiet "$logs/before-second.md5" 2>/dev/null | wc -l)
# Reading every schema once (models and old databases), then a plan on the
# same up-to-date installation.
timed read "$logs/read.txt" "$floor" --home "$work/brenquil/home" --data "$work/brenquil/datos" --all --dry-run
timed plan2 "$logs/plan2.txt" "$cli" transform --plan --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/plan2.json"

echo
echo "installation: $base (${gen_args[*]:-defaults})"
echo "floor (tables, fields, indexes)   $elapsed_floor s   $(sed -n 1p "$logs/floor.txt")"
echo "                                  $(sed -n 2p "$logs/floor.txt")"
echo "brenquil transform                $elapsed_first s   peak $((rss_first / 1024)) MiB   exit $rc_first"
echo "  changes: $f_tables tables, $f_fields fields, $f_dropped indexes deleted, $f_created created; journal $f_errors"
echo "  left to do afterwards (floor dry run): $left_after_first"
echo "ratio transform/floor             $(calc "$elapsed_first / $elapsed_floor")   (goal <= 2)"
echo
echo "second run, up to date:"
echo "floor (reading only)              $elapsed_floor2 s"
echo "brenquil transform                $elapsed_second s   peak $((rss_second / 1024)) MiB   exit $rc_second"
echo "  changes: $s_tables tables, $s_fields fields, $s_dropped indexes deleted, $s_created created; journal $s_errors"
echo "  old databases changed by the second run: $differing"
echo "ratio second run/floor reading    $(calc "$elapsed_second / $elapsed_floor2")"
echo
echo "plan (transform --plan):"
echo "plan before the first run         $elapsed_plan s   peak $((rss_plan / 1024)) MiB   exit $rc_plan"
echo "  says: $p_tables tables, $p_fields fields, $p_dropped indexes deleted, $p_created created; journal $p_errors"
echo "  files the plan changed: $plan_changed"
echo "ratio plan/first run              $(calc "$elapsed_plan / $elapsed_first")   (goal <= 1)"
echo "reading every schema once         $elapsed_read s   (floor --all --dry-run)"
echo "plan on the up-to-date copy       $elapsed_plan2 s   exit $rc_plan2"
echo "ratio plan up to date/reading     $(calc "$elapsed_plan2 / $elapsed_read")   (goal <= 2)"

# ---- the index step alone: tables and fields already match
if ((index_run)) && [[ " ${gen_args[*]} " != *" --no-indexes "* ]]; then
  # Models without an old namesake are the table step's work: left out here.
  same_args=()
  for ((i = 0; i < ${#gen_args[@]}; ++i)); do
    if [ "${gen_args[i]}" = --new-databases ]; then ((++i)); else same_args+=("${gen_args[i]}"); fi
  done
  same=$(installation "${key}_same-structure" "${same_args[@]}" --same-structure)
  fresh_copy "$same" "$work/brenquil-idx"
  fresh_copy "$same" "$work/floor-idx"
  sync
  timed floor_idx "$logs/floor-idx.txt" "$floor" --home "$work/floor-idx/home" --data "$work/floor-idx/datos" \
    --indexes
  timed idx "$logs/idx.txt" "$cli" transform --home "$work/brenquil-idx/home" --data "$work/brenquil-idx/datos" \
    --json "$logs/idx.json"
  read -r i_tables i_fields i_dropped i_created i_errors <<<"$(changes "$logs/idx.json")"
  timed idx2 "$logs/idx2.txt" "$cli" transform --home "$work/brenquil-idx/home" --data "$work/brenquil-idx/datos" \
    --json "$logs/idx2.json"
  echo
  echo "index step alone (tables and fields already match):"
  echo "floor --indexes                   $elapsed_floor_idx s   $(sed -n 1p "$logs/floor-idx.txt")"
  echo "brenquil transform                $elapsed_idx s   peak $((rss_idx / 1024)) MiB   exit $rc_idx"
  echo "  changes: $i_tables tables, $i_fields fields, $i_dropped indexes deleted, $i_created created; journal $i_errors"
  echo "  the same installation once up to date: $elapsed_idx2 s, so the index work costs" \
    "$(calc "$elapsed_idx - $elapsed_idx2") s"
  echo "ratio transform/floor --indexes   $(calc "$elapsed_idx / $elapsed_floor_idx")   (goal <= 2)"
fi
echo
echo "logs: $logs"
