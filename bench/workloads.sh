# shellcheck shell=bash disable=SC2154
# The workloads of bench/run.sh (`run.sh --help` lists them). Sourced by
# run.sh once it has built the programs and read its options: it uses $cli,
# $gen, $floor, $work, $logs, $repeat, $quick, $keep, $gui_build and the
# helpers installation, fresh_copy, changes, remaining, cache_key, build_tree.

mib_goal=64
linear_goal=1.2

# ---- the workloads: kind, goal and generator options
declare -A wl_kind wl_goal wl_args
define() { wl_kind[$1]=$2; wl_goal[$1]=$3; wl_args[$1]=$4; }
known=(defaults small30 tables10 fields10 bigrows jobs uptodate10 uptodate100 uptodate500 window pairs10k window10k)
# The small pairs of pairs10k and window10k (without --pairs), and the two
# numbers of pairs compared.
small_pair="--tables 5 --fields 6 --rows 20 --big-tables 0 --new-tables 1 --new-fields 2 --views 1"
if ((quick)); then
  # The same shapes, small enough to check the harness in seconds.
  define defaults transform 1.0 "--pairs 3 --tables 6 --rows 100 --big-tables 1 --big-rows 1000"
  define small30 transform 1.2 "--pairs 3 --tables 5 --fields 10 --rows 300 --big-tables 0 --views 3"
  define tables10 transform 1.5 "--pairs 2 --tables 10 --rows 100 --big-tables 1 --big-rows 1000"
  define fields10 transform 1.5 "--pairs 2 --tables 6 --fields 10 --rows 100 --big-tables 1 --big-rows 1000"
  define bigrows transform 1.0 "--pairs 2 --tables 4 --rows 100 --big-tables 1 --big-rows 20000"
  define uptodate10 uptodate 2 "--pairs 2 --tables 10 --new-tables 0 --rows 50 --big-tables 0 --views 3"
  define uptodate100 uptodate 2 "--pairs 2 --tables 20 --new-tables 0 --rows 50 --big-tables 0 --views 3"
  define uptodate500 uptodate 2 "--pairs 2 --tables 40 --new-tables 0 --rows 50 --big-tables 0 --views 3"
  pair_counts=(10 200)
else
  # The large workloads, defaults and bigrows, at most the floor; the small
  # files of small30 at most 1.2 times it; tables10 and fields10 keep the 1.5
  # of the shapes they check.
  define defaults transform 1.0 ""
  define small30 transform 1.2 "--pairs 30 --tables 20 --fields 10 --rows 300 --big-tables 0 --views 3"
  define tables10 transform 1.5 "--pairs 10 --tables 10"
  define fields10 transform 1.5 "--pairs 10 --fields 10"
  # Memory against rows: two tables of 300 000 rows in each old database.
  define bigrows transform 1.0 "--pairs 3 --tables 10 --big-tables 2 --big-rows 300000"
  define uptodate10 uptodate 2 "--pairs 10 --tables 10 --new-tables 0 --rows 200 --big-tables 0 --views 3"
  define uptodate100 uptodate 2 "--pairs 10 --tables 100 --new-tables 0 --rows 200 --big-tables 0 --views 3"
  define uptodate500 uptodate 2 "--pairs 10 --tables 500 --new-tables 0 --rows 200 --big-tables 0 --views 3"
  pair_counts=(100 10000)
fi
define window window 1.3 "${wl_args[small30]}"
# --jobs 2 against --jobs 1 on the small30 installation.
define jobs jobs 0.6 "${wl_args[small30]}"
# The cost per pair at the larger number of pairs against the smaller.
define pairs10k pairs 1.2 "$small_pair"
# The window on the larger installation of pairs10k: how long it goes without
# serving its events (no goal yet).
define window10k window_pairs - "$small_pair"

selected=()
for w in "${workloads[@]}"; do
  if [ "$w" = all ]; then
    selected+=("${known[@]}")
  elif [ -n "${wl_kind[$w]:-}" ]; then
    selected+=("$w")
  else
    echo "run.sh: unknown workload '$w' (known: ${known[*]} all)" >&2
    exit 2
  fi
done
# Each workload once, in the order of the list above.
mapfile -t selected < <(for k in "${!known[@]}"; do
  for w in "${selected[@]}"; do [ "$w" = "${known[k]}" ] && { echo "$w"; break; }; done
done)

# The value of OPTION in the words ARGS..., or DEFAULT: arg_of OPTION DEFAULT ARGS...
arg_of() {
  local option=$1 value=$2
  shift 2
  while (($#)); do
    [ "$1" = "$option" ] && value=$2
    shift
  done
  echo "$value"
}

# ---- measuring
# Each invocation keeps its own logs; WORK/logs/latest names the newest.
logs=$logs/$(date +%Y%m%d-%H%M%S)
mkdir -p "$logs"
ln -sfn "$(basename "$logs")" "$(dirname "$logs")/latest"
times_file=$logs/times.tsv
printf 'workload\trun\trole\tseconds\tpeak_kib\texit\n' >"$times_file"
declare -A seconds_of rss_of
failed_runs=0

# measure WORKLOAD RUN ROLE LOG COMMAND...: runs COMMAND under /usr/bin/time -v
# with its output in LOG; keeps its wall-clock seconds and peak RSS under
# WORKLOAD:ROLE and writes them to times.tsv. Sets m_seconds, m_rss, m_rc.
measure() {
  local workload=$1 run=$2 role=$3 log=$4 t0 t1
  shift 4
  m_rc=0
  t0=$(date +%s%N)
  /usr/bin/time -v -o "$log.time" "$@" >"$log" 2>&1 || m_rc=$?
  t1=$(date +%s%N)
  m_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f", (b - a) / 1e9 }')
  m_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$log.time")
  keep_figure "$workload" "$run" "$role" "$m_seconds" "$m_rss" "$m_rc"
  if [ "$m_rc" -ne 0 ]; then
    echo "  $workload run $run: $role exited with $m_rc (see $log)" >&2
    failed_runs=$((failed_runs + 1))
  fi
}

# keep_figure WORKLOAD RUN ROLE SECONDS PEAK_KIB EXIT
keep_figure() {
  seconds_of[$1:$3]+=" $4"
  rss_of[$1:$3]+=" $5"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" "$6" >>"$times_file"
}

# stats FORMAT VALUES...: "min median max"; the median of an even number of
# values is the mean of the middle two.
stats() {
  local format=$1
  shift
  printf '%s\n' "$@" | sort -g | awk -v f="$format" '
    { v[NR] = $1 }
    END {
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf f " " f " " f, v[1], m, v[NR]
    }'
}

# quotients "A1 A2 ..." "B1 B2 ...": A1/B1 A2/B2 ..., one a line.
quotients() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = split(a, x, " "); split(b, y, " ")
    for (i = 1; i <= n; ++i) printf "%.6f\n", x[i] / y[i]
  }'
}

summary=()
goals=0
met=0
# verdict NAME UNIT GOAL VALUE-JUDGED MIN MEDIAN MAX: the line of one goal.
verdict() {
  local name=$1 unit=$2 goal=$3 judged=$4 line state
  state=$(awk -v v="$judged" -v g="$goal" 'BEGIN { print (v <= g) ? "MET" : "NOT MET" }')
  goals=$((goals + 1))
  [ "$state" = MET ] && met=$((met + 1))
  line=$(printf '%-7s %-34s min %8s  median %8s  max %8s%s  (goal <= %s)  %s' \
    "$(if [ "$unit" = MiB ]; then echo memory; else echo ratio; fi)" "$name" "$5" "$6" "$7" \
    "${unit:+ $unit}" "$goal" "$state")
  echo "$line"
  summary+=("$line")
}

# ratio_line NAME GOAL VALUES...: min/median/max of the values, the median
# judged; a goal of - only shows them.
ratio_line() {
  local name=$1 goal=$2 min median max line
  shift 2
  read -r min median max <<<"$(stats %.3f "$@")"
  if [ "$goal" = - ]; then
    line=$(printf '%-7s %-34s min %8s  median %8s  max %8s  (no goal)' ratio "$name" "$min" "$median" "$max")
    echo "$line"
    summary+=("$line")
    return
  fi
  verdict "$name" "" "$goal" "$median" "$min" "$median" "$max"
}

# memory_line NAME ROLE-KEY: the peak RSS of every run, the largest judged.
memory_line() {
  local min median max mib
  # shellcheck disable=SC2086
  mapfile -t mib < <(for k in ${rss_of[$2]}; do awk -v k="$k" 'BEGIN { print k / 1024 }'; done)
  read -r min median max <<<"$(stats %.1f "${mib[@]}")"
  verdict "$1" MiB "$mib_goal" "$max" "$min" "$median" "$max"
}

# times_line LABEL KEY [UNIT]: the seconds (or UNIT) of one role,
# min/median/max.
times_line() {
  local min median max
  # shellcheck disable=SC2086
  read -r min median max <<<"$(stats %.4f ${seconds_of[$2]})"
  printf '  %-36s min %8s  median %8s  max %8s %s\n' "$1" "$min" "$median" "$max" "${3:-s}"
}

median_of() {
  # shellcheck disable=SC2086
  stats %.6f ${seconds_of[$1]} | awk '{ print $2 }'
}

# ---- the three kinds of workload

# A transformation in one process (--jobs 1, as the floor is one process)
# against the floor that knows its statements (floor --apply of the statements
# floor --all --emit wrote, untimed, from the cached installation), and
# against the floor that also reads every schema to work them out (floor
# --all); then the same transformation on every core (the default --jobs),
# shown without a goal. Each run on a fresh copy of the installation.
run_transform() {
  local name=$1 base dir=$work/$1 r args q sql
  read -ra args <<<"${wl_args[$name]}"
  base=$(installation "$(cache_key "${args[@]}")" "${args[@]}")
  sql=$(statements "$base")
  for ((r = 1; r <= repeat; ++r)); do
    fresh_copy "$base" "$dir/floor"
    sync
    measure "$name" "$r" floor "$logs/$name-floor-$r.txt" \
      "$floor" --home "$dir/floor/home" --data "$dir/floor/datos" --apply "$sql"
    fresh_copy "$base" "$dir/brenquil"
    sync
    measure "$name" "$r" brenquil "$logs/$name-brenquil-$r.txt" \
      "$cli" transform --jobs 1 --home "$dir/brenquil/home" --data "$dir/brenquil/datos" \
      --json "$logs/$name-brenquil-$r.json"
    fresh_copy "$base" "$dir/cores"
    sync
    measure "$name" "$r" cores "$logs/$name-cores-$r.txt" \
      "$cli" transform --home "$dir/cores/home" --data "$dir/cores/datos" --json "$logs/$name-cores-$r.json"
    rm -rf "$dir/cores"
    fresh_copy "$base" "$dir/reading"
    sync
    measure "$name" "$r" reading "$logs/$name-reading-$r.txt" \
      "$floor" --home "$dir/reading/home" --data "$dir/reading/datos" --all
    rm -rf "$dir/reading"
  done
  local t f d c e vd vc
  read -r t f d c e vd vc <<<"$(changes "$logs/$name-brenquil-$repeat.json")"
  times_line "floor knowing its statements" "$name:floor"
  times_line "brenquil-cli transform --jobs 1" "$name:brenquil"
  times_line "brenquil-cli transform (every core)" "$name:cores"
  times_line "floor reading the schemas (--all)" "$name:reading"
  echo "  floor did:    $(sed -n 1p "$logs/$name-floor-$repeat.txt")"
  echo "  brenquil did: $t tables, $f fields, $d indexes deleted, $c created, $vd views deleted, $vc created;" \
    "journal $e"
  echo "  left to do after brenquil (floor dry run): $(remaining "$dir/brenquil")"
  echo "  left to do after the floor (floor dry run): $(remaining "$dir/floor")"
  echo "    (tables fields idx-dropped idx-created views-dropped views-created copied failed; all 0 when done)"
  mapfile -t q < <(quotients "${seconds_of[$name:brenquil]}" "${seconds_of[$name:floor]}")
  ratio_line "$name transform/floor" "${wl_goal[$name]}" "${q[@]}"
  mapfile -t q < <(quotients "${seconds_of[$name:cores]}" "${seconds_of[$name:floor]}")
  ratio_line "$name every core/floor" - "${q[@]}"
  mapfile -t q < <(quotients "${seconds_of[$name:brenquil]}" "${seconds_of[$name:reading]}")
  ratio_line "$name transform/reading floor" - "${q[@]}"
  memory_line "$name brenquil-cli peak RSS" "$name:brenquil"
  ((keep)) || rm -rf "$dir"
}

# same_report JSON-A JSON-B DIR-A DIR-B: yes when the two reports are the same
# but for the installation folder they name.
same_report() {
  python3 - "$@" <<'EOF'
import json, sys
a, b = (json.dumps(json.load(open(f)), ensure_ascii=False) for f in sys.argv[1:3])
print("yes" if a.replace(sys.argv[3], "@") == b.replace(sys.argv[4], "@") else "no")
EOF
}

# skipped NAME WHY: a goal that could not be measured, in the summary too.
skipped() {
  local line
  line=$(printf '%-7s %-34s skipped: %s' ratio "$1" "$2")
  echo "$line"
  summary+=("$line")
}

# --jobs 2 against --jobs 1, each on a fresh copy; skipped while brenquil-cli
# transform does not take --jobs. --jobs 1 checks the next old database ahead
# on a thread of its own, so it uses part of a second core: the same run held
# to one core (taskset) is shown too, without a goal, for the scaling from
# one core to two.
run_jobs() {
  local name=$1 base dir=$work/$1 r args q j help one_core=0
  help=$("$cli" transform --help 2>&1 || true)
  if [[ $help != *--jobs* ]]; then
    skipped "$name jobs 2/jobs 1" "brenquil-cli transform does not take --jobs yet (its --help has no --jobs)"
    return
  fi
  read -ra args <<<"${wl_args[$name]}"
  base=$(installation "$(cache_key "${args[@]}")" "${args[@]}")
  if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then one_core=1; fi
  for ((r = 1; r <= repeat; ++r)); do
    for j in 1 2; do
      fresh_copy "$base" "$dir/jobs$j"
      sync
      measure "$name" "$r" "jobs$j" "$logs/$name-jobs$j-$r.txt" \
        "$cli" transform --jobs "$j" --home "$dir/jobs$j/home" --data "$dir/jobs$j/datos" \
        --json "$logs/$name-jobs$j-$r.json"
    done
    if ((one_core)); then
      fresh_copy "$base" "$dir/one-core"
      sync
      measure "$name" "$r" "jobs1-one-core" "$logs/$name-jobs1-one-core-$r.txt" \
        taskset -c 0 "$cli" transform --jobs 1 --home "$dir/one-core/home" --data "$dir/one-core/datos" --quiet
    fi
  done
  times_line "brenquil-cli transform --jobs 1" "$name:jobs1"
  times_line "brenquil-cli transform --jobs 2" "$name:jobs2"
  if ((one_core)); then times_line "--jobs 1 held to one core (taskset)" "$name:jobs1-one-core"; fi
  echo "  left to do after --jobs 1: $(remaining "$dir/jobs1")after --jobs 2: $(remaining "$dir/jobs2")"
  echo "  the same report (changes, journal, order) with --jobs 1 and 2:" \
    "$(same_report "$logs/$name-jobs1-$repeat.json" "$logs/$name-jobs2-$repeat.json" "$dir/jobs1" "$dir/jobs2")"
  mapfile -t q < <(quotients "${seconds_of[$name:jobs2]}" "${seconds_of[$name:jobs1]}")
  ratio_line "$name jobs 2/jobs 1" "${wl_goal[$name]}" "${q[@]}"
  if ((one_core)); then
    mapfile -t q < <(quotients "${seconds_of[$name:jobs2]}" "${seconds_of[$name:jobs1-one-core]}")
    ratio_line "$name jobs 2/jobs 1 one core" - "${q[@]}"
  fi
  memory_line "$name --jobs 2 peak RSS" "$name:jobs2"
  ((keep)) || rm -rf "$dir"
}

# pair_installation COUNT ARGS...: the cached installation of COUNT pairs.
pair_installation() {
  local count=$1 args
  shift
  args=(--pairs "$count" "$@")
  installation "$(cache_key "${args[@]}")" "${args[@]}"
}

# per_pair KEY PAIRS: the seconds of each run of KEY over PAIRS.
per_pair() {
  local s
  for s in ${seconds_of[$1]}; do awk -v s="$s" -v n="$2" 'BEGIN { printf "%.9f ", s / n }'; done
}

# The same small pairs at two numbers of pairs (pair_counts): the cost of a
# pair at the larger against the smaller, run by run, and the peak memory.
run_pairs() {
  local name=$1 dir=$work/$1 r args q n small=${pair_counts[0]} large=${pair_counts[1]}
  read -ra args <<<"${wl_args[$name]}"
  local -A base
  for n in "${pair_counts[@]}"; do base[$n]=$(pair_installation "$n" "${args[@]}"); done
  for ((r = 1; r <= repeat; ++r)); do
    for n in "${pair_counts[@]}"; do
      fresh_copy "${base[$n]}" "$dir/pairs$n"
      sync
      measure "$name" "$r" "pairs$n" "$logs/$name-pairs$n-$r.txt" \
        "$cli" transform --home "$dir/pairs$n/home" --data "$dir/pairs$n/datos" --json "$logs/$name-pairs$n-$r.json"
    done
  done
  times_line "brenquil-cli transform, $small pairs" "$name:pairs$small"
  times_line "brenquil-cli transform, $large pairs" "$name:pairs$large"
  echo "  on disk: $(du -sh "${base[$large]}" | cut -f1) the installation of $large pairs, as much again" \
    "for its copy while it runs; $(du -sh "${base[$small]}" | cut -f1) for $small"
  echo "  ms per pair (medians): $(awk -v s="$(median_of "$name:pairs$small")" -v n="$small" \
    'BEGIN { printf "%.2f", s * 1000 / n }') at $small, $(awk -v s="$(median_of "$name:pairs$large")" \
    -v n="$large" 'BEGIN { printf "%.2f", s * 1000 / n }') at $large"
  local t f d c e vd vc
  read -r t f d c e vd vc <<<"$(changes "$logs/$name-pairs$large-$repeat.json")"
  echo "  brenquil did at $large: $t tables, $f fields, $d indexes deleted, $c created, $vd views deleted," \
    "$vc created; journal $e"
  echo "  left to do after brenquil (floor dry run): $(remaining "$dir/pairs$small")at $small;" \
    "$(remaining "$dir/pairs$large")at $large"
  mapfile -t q < <(quotients "$(per_pair "$name:pairs$large" "$large")" "$(per_pair "$name:pairs$small" "$small")")
  ratio_line "$name per pair $large/$small" "${wl_goal[$name]}" "${q[@]}"
  memory_line "$name peak RSS at $large pairs" "$name:pairs$large"
  ((keep)) || rm -rf "$dir"
}

# An installation already up to date: reading every schema once against the
# transformation that finds nothing to do, on the same copy.
run_uptodate() {
  local name=$1 base dir=$work/$1 r args pairs tables q
  read -ra args <<<"${wl_args[$name]}"
  pairs=$(arg_of --pairs 100 "${args[@]}")
  tables=$(( $(arg_of --tables 30 "${args[@]}") + $(arg_of --new-tables 5 "${args[@]}") ))
  base=$(installation "$(cache_key "${args[@]}")" "${args[@]}")
  fresh_copy "$base" "$dir/installation"
  "$cli" transform --home "$dir/installation/home" --data "$dir/installation/datos" --quiet \
    >"$logs/$name-prepare.txt" 2>&1 || echo "  the preparing run exited with $? (see $logs/$name-prepare.txt)" >&2
  sync
  local left before changed
  left=$(remaining "$dir/installation")
  # Nothing is to change: the databases are only read, and the catalogues in
  # home/, listed again with the same rows, keep their bytes too.
  before=$(cd "$dir/installation" && find datos home -type f -print0 | sort -z | xargs -0 md5sum)
  for ((r = 1; r <= repeat; ++r)); do
    measure "$name" "$r" read "$logs/$name-read-$r.txt" \
      "$floor" --home "$dir/installation/home" --data "$dir/installation/datos" --all --dry-run
    measure "$name" "$r" brenquil "$logs/$name-brenquil-$r.txt" \
      "$cli" transform --home "$dir/installation/home" --data "$dir/installation/datos" \
      --json "$logs/$name-brenquil-$r.json"
    # The plan of an up-to-date installation costs what reading it does.
    measure "$name" "$r" plan "$logs/$name-plan-$r.txt" \
      "$cli" transform --plan --home "$dir/installation/home" --data "$dir/installation/datos" \
      --json "$logs/$name-plan-$r.json"
  done
  changed=$( (cd "$dir/installation" && find datos home -type f -print0 | sort -z | xargs -0 md5sum) |
    diff - <(echo "$before") | grep -c '^<' || true)
  times_line "reading every schema (floor dry run)" "$name:read"
  times_line "brenquil-cli transform (up to date)" "$name:brenquil"
  times_line "brenquil-cli transform --plan" "$name:plan"
  echo "  $pairs pairs x $tables tables; left to do before the timed runs (floor dry run): $left"
  echo "  files the up-to-date runs changed (old databases, models, catalogues; 0 expected): $changed"
  local per_table
  per_table=$(awk -v s="$(median_of "$name:brenquil")" -v n=$((pairs * tables)) 'BEGIN { printf "%.4f", s * 1000 / n }')
  echo "  brenquil ms per table (median): $per_table"
  uptodate_done+=("$name")
  uptodate_tables[$name]=$((pairs * tables))
  mapfile -t q < <(quotients "${seconds_of[$name:brenquil]}" "${seconds_of[$name:read]}")
  ratio_line "$name transform/reading" "${wl_goal[$name]}" "${q[@]}"
  mapfile -t q < <(quotients "${seconds_of[$name:plan]}" "${seconds_of[$name:read]}")
  ratio_line "$name plan/reading" "${wl_goal[$name]}" "${q[@]}"
  memory_line "$name brenquil-cli peak RSS" "$name:brenquil"
  ((keep)) || rm -rf "$dir"
}

# "Transformar" in the window against the command line, each timed inside its
# own process (start-up activation and run), on fresh copies.
run_window() {
  local name=$1 base dir=$work/$1 r args q bench_window=$gui_build/bench/brenquil-bench-window
  read -ra args <<<"${wl_args[$name]}"
  base=$(installation "$(cache_key "${args[@]}")" "${args[@]}")
  local s
  for ((r = 1; r <= repeat; ++r)); do
    fresh_copy "$base" "$dir/cli"
    sync
    measure "$name" "$r" cli-process "$logs/$name-cli-$r.txt" \
      "$bench_window" --mode cli --home "$dir/cli/home" --data "$dir/cli/datos"
    s=$(sed -n 's/^línea de órdenes: \([0-9.]*\) s.*/\1/p' "$logs/$name-cli-$r.txt")
    keep_figure "$name" "$r" cli "${s:-nan}" "$m_rss" "$m_rc"
    fresh_copy "$base" "$dir/window"
    sync
    QT_QPA_PLATFORM=offscreen measure "$name" "$r" window-process "$logs/$name-window-$r.txt" \
      "$bench_window" --mode window --home "$dir/window/home" --data "$dir/window/datos"
    s=$(sed -n 's/^ventana: \([0-9.]*\) s.*/\1/p' "$logs/$name-window-$r.txt")
    keep_figure "$name" "$r" window "${s:-nan}" "$m_rss" "$m_rc"
    keep_pause "$name" "$r" "$logs/$name-window-$r.txt"
  done
  times_line "command line (in process)" "$name:cli"
  times_line "window, offscreen (in process)" "$name:window"
  times_line "command line (whole process)" "$name:cli-process"
  times_line "window (whole process)" "$name:window-process"
  times_line "window: longest pause in its events" "$name:window-pause-ms" ms
  echo "  last runs: $(grep -m1 '^línea de órdenes:' "$logs/$name-cli-$repeat.txt");" \
    "$(grep -m1 '^ventana:' "$logs/$name-window-$repeat.txt")"
  mapfile -t q < <(quotients "${seconds_of[$name:window]}" "${seconds_of[$name:cli]}")
  ratio_line "$name window/command line" "${wl_goal[$name]}" "${q[@]}"
  ((keep)) || rm -rf "$dir"
}

# keep_pause WORKLOAD RUN LOG [ROLE]: the window's longest pause in serving its events
# during the run, as brenquil-bench-window printed it ("pausa más larga").
keep_pause() {
  local ms
  ms=$(sed -n 's/^pausa más larga: \([0-9.]*\) ms.*/\1/p' "$3")
  keep_figure "$1" "$2" "${4:-window}-pause-ms" "${ms:-nan}" "$m_rss" "$m_rc"
}

# "Transformar" in the window on the larger installation of the pairs
# workload, in the window's own process and shared among two workers as the
# desktop program does by default: its time, its peak memory and the longest
# pause in serving its events (no goal yet), with the longest pauses of the
# last run and what the run was doing then.
run_window_pairs() {
  local name=$1 dir=$work/$1 r args large=${pair_counts[1]} base s bench_window=$gui_build/bench/brenquil-bench-window
  local role workers
  read -ra args <<<"${wl_args[$name]}"
  base=$(pair_installation "$large" "${args[@]}")
  for ((r = 1; r <= repeat; ++r)); do
    for role in window window-jobs; do
      workers=()
      [[ $role == window-jobs ]] && workers=(--worker "$gui_build/gui/brenquil" --jobs 2)
      fresh_copy "$base" "$dir/window"
      sync
      QT_QPA_PLATFORM=offscreen measure "$name" "$r" "$role-process" "$logs/$name-$role-$r.txt" \
        "$bench_window" --mode window --home "$dir/window/home" --data "$dir/window/datos" "${workers[@]}"
      s=$(sed -n 's/^ventana: \([0-9.]*\) s.*/\1/p' "$logs/$name-$role-$r.txt")
      keep_figure "$name" "$r" "$role" "${s:-nan}" "$m_rss" "$m_rc"
      keep_pause "$name" "$r" "$logs/$name-$role-$r.txt" "$role"
    done
  done
  times_line "window, $large pairs (in process)" "$name:window"
  times_line "window: longest pause in its events" "$name:window-pause-ms" ms
  sed -n 's/^pausa de /    pause of /p' "$logs/$name-window-$repeat.txt"
  times_line "window, $large pairs, 2 workers" "$name:window-jobs"
  times_line "window (2 workers): longest pause" "$name:window-jobs-pause-ms" ms
  sed -n 's/^pausa de /    pause of /p' "$logs/$name-window-jobs-$repeat.txt"
  echo "  ms per pair (median): $(awk -v s="$(median_of "$name:window")" -v n="$large" \
    'BEGIN { printf "%.2f", s * 1000 / n }')"
  echo "  left to do after the window (floor dry run): $(remaining "$dir/window")"
  local min median max
  # shellcheck disable=SC2046,SC2086
  read -r min median max <<<"$(stats %.1f $(for k in ${rss_of[$name:window]}; do
    awk -v k="$k" 'BEGIN { print k / 1024 }'; done))"
  printf '  %-36s min %8s  median %8s  max %8s MiB (no goal)\n' "window peak RSS" "$min" "$median" "$max"
  ((keep)) || rm -rf "$dir"
}

# ---- run them
for w in "${selected[@]}"; do
  if [[ ${wl_kind[$w]} == window* ]]; then
    echo "building the window (Release) in $gui_build ..." >&2
    build_tree "$gui_build" ON brenquil-bench-window brenquil
    break
  fi
done

declare -A uptodate_tables
uptodate_done=()
echo "brenquil benchmark: ${selected[*]}; $repeat alternations each$( ((quick)) && echo ', quick sizes (not the goals)')"
echo "raw times: $times_file"
for w in "${selected[@]}"; do
  echo
  echo "== $w (${wl_args[$w]:-generator defaults})"
  "run_${wl_kind[$w]}" "$w"
done

# The up-to-date cost per table may not grow with the tables: each workload's
# ms per table against the next smaller one's, run by run.
if ((${#uptodate_done[@]} > 1)); then
  echo
  echo "== up to date, per table"
  for ((i = 1; i < ${#uptodate_done[@]}; ++i)); do
    small=${uptodate_done[i - 1]}
    large=${uptodate_done[i]}
    per_small=$(for s in ${seconds_of[$small:brenquil]}; do
      awk -v s="$s" -v n="${uptodate_tables[$small]}" 'BEGIN { printf "%.9f ", s / n }'; done)
    per_large=$(for s in ${seconds_of[$large:brenquil]}; do
      awk -v s="$s" -v n="${uptodate_tables[$large]}" 'BEGIN { printf "%.9f ", s / n }'; done)
    mapfile -t q < <(quotients "$per_large" "$per_small")
    ratio_line "per table $large/$small" "$linear_goal" "${q[@]}"
  done
fi

echo
echo "== summary ($met of $goals goals met$( ((failed_runs)) && echo ", $failed_runs runs FAILED"))"
printf '%s\n' "${summary[@]}"
echo "logs: $logs"
((failed_runs == 0))
