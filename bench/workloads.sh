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
known=(defaults small30 tables10 fields10 bigrows uptodate10 uptodate100 uptodate500 window)
if ((quick)); then
  # The same shapes, small enough to check the harness in seconds.
  define defaults transform 1.2 "--pairs 3 --tables 6 --rows 100 --big-tables 1 --big-rows 1000"
  define small30 transform 1.2 "--pairs 3 --tables 5 --fields 10 --rows 300 --big-tables 0 --views 3"
  define tables10 transform 1.5 "--pairs 2 --tables 10 --rows 100 --big-tables 1 --big-rows 1000"
  define fields10 transform 1.5 "--pairs 2 --tables 6 --fields 10 --rows 100 --big-tables 1 --big-rows 1000"
  define bigrows transform - "--pairs 2 --tables 4 --rows 100 --big-tables 1 --big-rows 20000"
  define uptodate10 uptodate 2 "--pairs 2 --tables 10 --new-tables 0 --rows 50 --big-tables 0 --views 3"
  define uptodate100 uptodate 2 "--pairs 2 --tables 20 --new-tables 0 --rows 50 --big-tables 0 --views 3"
  define uptodate500 uptodate 2 "--pairs 2 --tables 40 --new-tables 0 --rows 50 --big-tables 0 --views 3"
else
  define defaults transform 1.2 ""
  define small30 transform 1.2 "--pairs 30 --tables 20 --fields 10 --rows 300 --big-tables 0 --views 3"
  define tables10 transform 1.5 "--pairs 10 --tables 10"
  define fields10 transform 1.5 "--pairs 10 --fields 10"
  # Memory against rows: two tables of 300 000 rows in each old database.
  define bigrows transform - "--pairs 3 --tables 10 --big-tables 2 --big-rows 300000"
  define uptodate10 uptodate 2 "--pairs 10 --tables 10 --new-tables 0 --rows 200 --big-tables 0 --views 3"
  define uptodate100 uptodate 2 "--pairs 10 --tables 100 --new-tables 0 --rows 200 --big-tables 0 --views 3"
  define uptodate500 uptodate 2 "--pairs 10 --tables 500 --new-tables 0 --rows 200 --big-tables 0 --views 3"
fi
define window window 1.3 "${wl_args[small30]}"

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

# times_line LABEL KEY: the seconds of one role, min/median/max.
times_line() {
  local min median max
  # shellcheck disable=SC2086
  read -r min median max <<<"$(stats %.4f ${seconds_of[$2]})"
  printf '  %-36s min %8s  median %8s  max %8s s\n' "$1" "$min" "$median" "$max"
}

median_of() {
  # shellcheck disable=SC2086
  stats %.6f ${seconds_of[$1]} | awk '{ print $2 }'
}

# ---- the three kinds of workload

# A transformation against the floor, each on a fresh copy of the installation.
run_transform() {
  local name=$1 base dir=$work/$1 r args q
  read -ra args <<<"${wl_args[$name]}"
  base=$(installation "$(cache_key "${args[@]}")" "${args[@]}")
  for ((r = 1; r <= repeat; ++r)); do
    fresh_copy "$base" "$dir/floor"
    sync
    measure "$name" "$r" floor "$logs/$name-floor-$r.txt" \
      "$floor" --home "$dir/floor/home" --data "$dir/floor/datos" --all
    fresh_copy "$base" "$dir/brenquil"
    sync
    measure "$name" "$r" brenquil "$logs/$name-brenquil-$r.txt" \
      "$cli" transform --home "$dir/brenquil/home" --data "$dir/brenquil/datos" --json "$logs/$name-brenquil-$r.json"
  done
  local t f d c e vd vc
  read -r t f d c e vd vc <<<"$(changes "$logs/$name-brenquil-$repeat.json")"
  times_line "floor --all" "$name:floor"
  times_line "brenquil-cli transform" "$name:brenquil"
  echo "  floor did:    $(sed -n 1p "$logs/$name-floor-$repeat.txt")"
  echo "  brenquil did: $t tables, $f fields, $d indexes deleted, $c created, $vd views deleted, $vc created;" \
    "journal $e"
  echo "  left to do after brenquil (floor dry run): $(remaining "$dir/brenquil")"
  echo "    (tables fields idx-dropped idx-created views-dropped views-created copied failed; all 0 when done)"
  mapfile -t q < <(quotients "${seconds_of[$name:brenquil]}" "${seconds_of[$name:floor]}")
  ratio_line "$name transform/floor" "${wl_goal[$name]}" "${q[@]}"
  memory_line "$name brenquil-cli peak RSS" "$name:brenquil"
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
  done
  times_line "command line (in process)" "$name:cli"
  times_line "window, offscreen (in process)" "$name:window"
  times_line "command line (whole process)" "$name:cli-process"
  times_line "window (whole process)" "$name:window-process"
  echo "  last runs: $(grep -m1 '^línea de órdenes:' "$logs/$name-cli-$repeat.txt");" \
    "$(grep -m1 '^ventana:' "$logs/$name-window-$repeat.txt")"
  mapfile -t q < <(quotients "${seconds_of[$name:window]}" "${seconds_of[$name:cli]}")
  ratio_line "$name window/command line" "${wl_goal[$name]}" "${q[@]}"
  ((keep)) || rm -rf "$dir"
}

# ---- run them
for w in "${selected[@]}"; do
  if [ "${wl_kind[$w]}" = window ]; then
    echo "building the window (Release) in $gui_build ..." >&2
    build_tree "$gui_build" ON brenquil-bench-window
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
