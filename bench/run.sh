#!/usr/bin/env bash
# The benchmark of `brenquil-cli transform`. Two modes:
#
# Workloads (--workload NAME, repeatable, or --workload all): each workload is a
# generated installation and a goal; the runs alternate (floor, brenquil,
# floor, brenquil, ...; each transforming run on a fresh copy) --repeat times,
# and every figure printed is the median of those runs, with its min and max.
# The floor of a transforming workload knows its statements in advance: floor
# --all --emit writes them once from the cached installation (untimed), and
# the timed floor --apply only runs them, one transaction a database.
# One line per ratio:  ratio NAME  min X  median Y  max Z  (goal <= G)  MET|NOT MET
# The raw times go to WORK/logs/STAMP/times.tsv (logs/latest: the newest run),
# one line a run.
#
# One installation (no --workload; the generator options pick it): times one
# transformation against the floor, a second run on the transformed copy, a
# plan before and after, and the index step alone; with --window, "Transformar"
# in the desktop window (offscreen) against the command line.
#
#   bench/run.sh --workload NAME|all [--workload NAME ...] [--repeat N] [--quick]
#                [--keep] [--build DIR] [--gui-build DIR] [--cache DIR] [--work DIR]
#                [--regen] [--jobs N]
#   bench/run.sh [--build DIR] [--cache DIR] [--work DIR] [--regen] [--window]
#                [--no-index-run] [generator options: --pairs N --tables N
#                --fields N --rows N --big-rows N --big-tables N --new-tables N
#                --new-fields N --new-databases N --views N --no-indexes]
#
# Workloads (generator options; goal):
#   defaults     100 pairs x 30 tables x 12 fields, 1000 rows (3 tables of 10000)
#                transform/floor <= 1.0 (every transforming workload also shows
#                transform/floor --all, the floor that reads every schema)
#   small30      30 pairs x 20 tables x 10 fields x 300 rows, 3 views
#                transform/floor <= 1.2
#   tables10     10 pairs x 10 tables x 12 fields; transform/floor <= 1.5
#   fields10     10 pairs x 30 tables x 10 fields; transform/floor <= 1.5
#   bigrows      3 pairs x 10 tables, 2 tables of 300000 rows each: the peak
#                memory against the rows, and transform/floor <= 1.0
#   jobs         the small30 installation: transform --jobs 2 / --jobs 1 <= 0.6,
#                skipped while transform --help lists no --jobs; and, without a
#                goal, --jobs 2 against --jobs 1 held to one core (taskset -c 0)
#   uptodate10   10 pairs x 10 tables x 12 fields x 200 rows, 3 views, already
#                transformed (untimed): transform/reading every schema once
#                (floor --all --dry-run) <= 2, and so the plan (transform
#                --plan)/reading; ms per table
#   uptodate100  the same at 100 tables
#   uptodate500  the same at 500 tables
#   window       the small30 installation: "Transformar" in the window
#                (offscreen) / the same run on the command line <= 1.3, both
#                timed inside one process each; the window's longest pause in
#                serving its events shown
#   pairs10k     100 and 10000 small pairs (5 tables x 6 fields x 20 rows):
#                the cost of a pair at 10000 / at 100 <= 1.2, and the peak
#                memory at 10000 (some 3 GB on disk: the installation, cached,
#                and its copy while a run lasts)
#   window10k    "Transformar" in the window on the 10000 pairs of pairs10k:
#                its time, peak memory and longest pause in serving its events
#                (no goal)
# --workload all runs every one of them, pairs10k and window10k too, which take
# the longest. Over every workload: peak memory (RSS) of brenquil-cli
# <= 64 MiB; with two or more uptodate workloads, the up-to-date ms per table
# of each against the next smaller one <= 1.2 (it must not grow with the number
# of tables; 1.2 leaves room for the noise of a shared machine).
#
#   --repeat N   alternations per workload (default 3)
#   --quick      the same workloads at a few pairs and tables, to check the
#                harness itself (its ratios say nothing of the goals)
#   --keep       leave each workload's last copies in WORK/NAME/ (for a profile)
#   --jobs N     build jobs (default: the smaller of 2 and the cores)
#
# Goals of the one-installation mode: transform/floor --all at most 2 (the
# floor that knows its statements shown beside), peak memory
# under 64 MiB, and a second run that rebuilds no index and costs about what
# reading the schema costs; a plan that changes no file, costs no more than the
# run and lists what it does, and on an up-to-date installation costs at most
# twice reading every schema; a window run at most 1.3 times the command line's.
# bench/README.md says how to profile what a workload costs.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build/bench
gui_build=
build_given=0
cache=
work=
regen=0
index_run=1
window=0
gen_args=()
workloads=()
repeat=3
quick=0
keep=0
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }

while (($#)); do
  case $1 in
    --build) build=$2; build_given=1; shift 2 ;;
    --gui-build) gui_build=$2; shift 2 ;;
    --cache) cache=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --regen) regen=1; shift ;;
    --no-index-run) index_run=0; shift ;;
    --window) window=1; shift ;;
    --workload) workloads+=("$2"); shift 2 ;;
    --repeat) repeat=$2; shift 2 ;;
    --quick) quick=1; shift ;;
    --keep) keep=1; shift ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    --no-indexes|--same-structure) gen_args+=("$1"); shift ;;
    --*) gen_args+=("$1" "$2"); shift 2 ;;
    *) echo "run.sh: unexpected argument '$1'" >&2; exit 2 ;;
  esac
done
[[ $repeat =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: --repeat needs a whole number of 1 or more" >&2; exit 2; }
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: --jobs needs a whole number of 1 or more" >&2; exit 2; }
if ((${#workloads[@]})) && ((${#gen_args[@]} || window)); then
  echo "run.sh: --workload takes no generator options and no --window (the window is a workload)" >&2
  exit 2
fi
# In the one-installation mode --window builds in DIR of --build, as always.
((window)) && ((build_given)) && gui_build=$build
((window)) && ! ((build_given)) && build=$repo/build/bench-gui
gui_build=${gui_build:-$repo/build/bench-gui}
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
# build_tree DIR GUI TARGETS...
build_tree() {
  local dir=$1 gui=$2 launcher=()
  shift 2
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBRENQUIL_TESTS=OFF -DBRENQUIL_GUI="$gui" \
      "${launcher[@]}" >/dev/null
  fi
  cmake --build "$dir" -j"$jobs" --target "$@" >/dev/null
}
targets=(brenquil-cli brenquil-bench-gen brenquil-bench-floor brenquil-sqlcount)
if ((window)); then
  build_tree "$build" ON "${targets[@]}" brenquil-bench-window
else
  build_tree "$build" OFF "${targets[@]}"
fi
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
    rm -rf "$dir" "$dir.tmp" "$dir.floor.sql"
    mkdir -p "$cache"
    echo "generating $key ..." >&2
    "$gen" "$dir.tmp" "$@" >&2
    touch "$dir.tmp/.complete"
    mv "$dir.tmp" "$dir"
  fi
  echo "$dir"
}

# statements DIR: the file of the floor's statements for the cached
# installation DIR (floor --all --emit, untimed), worked out once beside it.
statements() {
  local file=$1.floor.sql
  if [ ! -f "$file" ] || [ "$1/.complete" -nt "$file" ]; then
    "$floor" --home "$1/home" --data "$1/datos" --all --emit "$file.tmp" >"$file.txt" 2>&1 ||
      { cat "$file.txt" >&2; exit 1; }
    mv "$file.tmp" "$file"
  fi
  echo "$file"
}

fresh_copy() {
  rm -rf "$2"
  mkdir -p "$(dirname "$2")"
  cp -a --reflink=auto "$1" "$2"
}

# Changes listed in a transform's JSON report: "tables fields dropped created
# errors views-deleted views-created".
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
      len(r.get("errors", [])),
      sum(len(x.get("queriesDeleted", [])) for x in d),
      sum(len(x.get("queriesCreated", [])) for x in d))
EOF
  else
    echo "? ? ? ? ? ? ?"
  fi
}

# What the floor's dry run still finds to do on an installation: the numbers
# of its summary line, all 0 when the old databases match their models.
remaining() {
  "$floor" --home "$1/home" --data "$1/datos" --all --dry-run | head -1 |
    grep -o '[0-9]\+ \(tables created\|fields added\|indexes dropped\|indexes created\|views dropped\|views created\|databases copied\|failed\)' |
    awk '{ printf "%s ", $1 }'
}

# The cache key of an installation: its generator options.
cache_key() {
  local key
  key=$(printf '%s_' "$@" | sed 's/--//g' | tr -c 'A-Za-z0-9.-' '_')
  key=${key%_}
  echo "${key:-defaults}"
}

key=$(cache_key "${gen_args[@]}")
mkdir -p "$work"
logs=$work/logs
mkdir -p "$logs"

if ((${#workloads[@]})); then
  source "$repo/bench/workloads.sh"
  exit $?
fi

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
fresh_copy "$base" "$work/floor-known"
sync
timed known "$logs/floor-known.txt" "$floor" --home "$work/floor-known/home" --data "$work/floor-known/datos" \
  --apply "$(statements "$base")"
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
read -r f_tables f_fields f_dropped f_created f_errors _ <<<"$(changes "$logs/first.json")"
read -r p_tables p_fields p_dropped p_created p_errors _ <<<"$(changes "$logs/plan.json")"
left_after_first=$(remaining "$work/brenquil")

# ---- second run: everything is up to date
# A run that finds nothing to do must leave every old database byte for byte
# as it was: no index rebuilt, no catalogue of the engine rewritten.
(cd "$work/brenquil/datos" && find . -maxdepth 1 -type f -name '*.mdb' -print0 | xargs -0 md5sum) \
  >"$logs/before-second.md5"
timed floor2 "$logs/floor2.txt" "$floor" --home "$work/floor/home" --data "$work/floor/datos" --all
timed second "$logs/second.txt" "$cli" transform --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/second.json"
read -r s_tables s_fields s_dropped s_created s_errors _ <<<"$(changes "$logs/second.json")"
differing=$(cd "$work/brenquil/datos" && md5sum -c --quiet "$logs/before-second.md5" 2>/dev/null | wc -l)
# Reading every schema once (models and old databases), then a plan on the
# same up-to-date installation.
timed read "$logs/read.txt" "$floor" --home "$work/brenquil/home" --data "$work/brenquil/datos" --all --dry-run
timed plan2 "$logs/plan2.txt" "$cli" transform --plan --home "$work/brenquil/home" --data "$work/brenquil/datos" \
  --json "$logs/plan2.json"

echo
echo "installation: $base (${gen_args[*]:-defaults})"
echo "floor --all (views too)          $elapsed_floor s   $(sed -n 1p "$logs/floor.txt")"
echo "                                  $(sed -n 2p "$logs/floor.txt")"
echo "brenquil transform                $elapsed_first s   peak $((rss_first / 1024)) MiB   exit $rc_first"
echo "  changes: $f_tables tables, $f_fields fields, $f_dropped indexes deleted, $f_created created; journal $f_errors"
echo "  left to do afterwards (floor dry run): $left_after_first"
echo "ratio transform/floor             $(calc "$elapsed_first / $elapsed_floor")   (goal <= 2)"
echo "floor knowing its statements      $elapsed_known s   (floor --apply; exit $rc_known)"
echo "ratio transform/that floor        $(calc "$elapsed_first / $elapsed_known")"
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
  read -r i_tables i_fields i_dropped i_created i_errors _ <<<"$(changes "$logs/idx.json")"
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
