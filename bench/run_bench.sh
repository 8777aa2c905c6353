#!/usr/bin/env bash
# Whole-program benchmark of qndsumstat: builds Release, generates the bench
# projects once (bench/make_projects.py, into bench/work/), times complete
# program calls with hyperfine (median after a warm-up), measures peak memory
# with /usr/bin/time -v, counts the instructions of the small cases with
# callgrind, checks that every call wrote one whole output line, prints one
# table (bench/bench_table.py), and checks that every case printed the value
# line of the reference build (bench/check_value_lines.py); a differing line
# makes the script fail.
#
# Usage: bench/run_bench.sh [--regen] [--only B1,B2,...] [--runs N]
# Environment: JOBS (build parallelism, default 2).
set -euo pipefail

REPO=$(cd "$(dirname "$0")/.." && pwd)
WORK=$REPO/bench/work
BIN=$REPO/build/release/qndsumstat
RUNS=10
ONLY=F,B1,B1d,B2,B3,B3h,B4,B5
REGEN=0
while [ $# -gt 0 ]; do
  case $1 in
    --regen) REGEN=1 ;;
    --only) ONLY=$2; shift ;;
    --runs) RUNS=$2; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

need_pkg() {  # need_pkg <command> <debian package>
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "installing $2 ..." >&2
    if [ "$(id -u)" = 0 ]; then apt-get install -y "$2" >/dev/null; else sudo apt-get install -y "$2" >/dev/null; fi
  fi
}
need_pkg scrm scrm
need_pkg hyperfine hyperfine
[ -x /usr/bin/time ] || need_pkg /usr/bin/time time
need_pkg valgrind valgrind

cmake -S "$REPO" -B "$REPO/build/release" -DCMAKE_BUILD_TYPE=Release -DQND_TESTS=OFF >/dev/null
cmake --build "$REPO/build/release" -j "${JOBS:-2}" >/dev/null

mkdir -p "$WORK"
for c in B1 B1d B2 B3 B3h B4 B5; do
  if [ $REGEN = 1 ] || [ ! -f "$WORK/$c/$c.qnp" ]; then
    python3 "$REPO/bench/make_projects.py" "$WORK" --only "$c" | tee "$WORK/$c.info"
  fi
done

RESULTS=$WORK/results
mkdir -p "$RESULTS"

runs_for() {  # the large cases get the minimum of five timed runs
  case $1 in B3|B3h|B4) echo 5 ;; *) echo "$RUNS" ;; esac
}

time_case() {  # time_case <name> <dir> <command...>
  local name=$1 dir=$2; shift 2
  local runs; runs=$(runs_for "$name")
  rm -f "$RESULTS/$name".*
  echo "== $name: $*" >&2
  (cd "$dir" && hyperfine -N --warmup 1 --runs "$runs" --style none \
      --export-json "$RESULTS/$name.json" -- "$*" >/dev/null)
  (cd "$dir" && /usr/bin/time -v "$@" >/dev/null 2>"$RESULTS/$name.time") || true
}

count_instructions() {  # count_instructions <name> <dir> <command...>: one call under callgrind
  local name=$1 dir=$2; shift 2
  (cd "$dir" && valgrind --tool=callgrind --callgrind-out-file="$RESULTS/$name.callgrind" "$@" \
      2>&1 >/dev/null | sed -n 's/.*Collected : \([0-9]*\).*/\1/p' >"$RESULTS/$name.instr") || true
}

for c in ${ONLY//,/ }; do
  case $c in
    F)
      time_case F_cp "$WORK/B1" cp B1.qnp copy.qnp
      time_case F_true "$WORK/B1" /bin/true
      ;;
    B*)
      d=$WORK/$c
      # header once, then the timed calls each overwrite out.txt with one value line
      (cd "$d" && "$BIN" "$c.qnp" header.txt 0 2 run_silent >/dev/null)
      time_case "$c" "$d" "$BIN" "$c.qnp" out.txt 0 0 run_silent
      cp "$d/header.txt" "$RESULTS/$c.header"
      cp "$d/out.txt" "$RESULTS/$c.out"
      cp "$d/$c.res/Quendris_log.txt" "$RESULTS/$c.log" 2>/dev/null || true
      # time of each distance matrix as the program's log reports it
      grep -A1 'Beginning distance computations' "$RESULTS/$c.log" 2>/dev/null |
        grep -o '[0-9]* ms' | tr '\n' ' ' >"$RESULTS/$c.distms" || true
      stat -c %s "$d/$c.qnp" >"$RESULTS/$c.size"
      case $c in B1|B1d|B2) count_instructions "$c" "$d" "$BIN" "$c.qnp" out.txt 0 0 run_silent ;; esac
      ;;
  esac
done

python3 "$REPO/bench/bench_table.py" "$WORK"

# Every case must print the reference value line, byte for byte.
cases=
for c in ${ONLY//,/ }; do case $c in B*) cases="$cases $c" ;; esac; done
echo
# shellcheck disable=SC2086
python3 "$REPO/bench/check_value_lines.py" "$WORK" $cases
