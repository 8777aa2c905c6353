#!/usr/bin/env bash
# Stress test of concurrent calls (not part of ctest: it starts hundreds of
# processes and takes a minute or more on a small machine).
#
#   tests/cli/stress.sh [path/to/qndsumstat] [instances]
#
# 1. Starts N instances at once (xargs -P N), each on its own project, all
#    appending to one output file: the file must then hold exactly N whole
#    lines, and they must be the lines that the same projects give when run one
#    after the other.
# 2. Starts N instances at once on one and the same project: N identical lines,
#    equal to the line of a single run.
# Both parts also check that every instance exited with status 0 and that no
# run list file is left. Exit status 0 when everything holds.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
exe="${1:-$root/build/debug/qndsumstat}"
n="${2:-200}"
exe="$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")"
[ -x "$exe" ] || { echo "no executable at $exe" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/qndstress.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$root/examples/qnd_run.qns" .
printf 'POP_LEVEL\nALL_K MEAN_K ALL_H\nALL_S MEAN_S ALL_PI\n' > ssdefs.txt

# Project i: two DNA samples whose haplotype counts depend on i, so that most
# projects give different values.
make_project() {
  local i="$1" file="$2"
  cat > "$file" <<EOF
[Profile]
  Title="stress $i"
  NbSamples=2
  DataType=DNA
  GenotypicData=0
  LocusSeparator=NONE
  MissingData='?'
[Data]
[[Samples]]
  SampleName="a"
  SampleSize=$((i % 5 + 3))
  SampleData={
    h1 $((i % 5 + 1)) ACGTACGTAC
    h2 1 ACGTTCGTAC
    h3 1 TCGTACGAAC
  }
  SampleName="b"
  SampleSize=$((i % 3 + 2))
  SampleData={
    h1 1
    h4 $((i % 3 + 1)) ACGAACGTTC
  }
EOF
}

fail=0
check() {  # message, then the command that must succeed
  local message="$1"
  shift
  if "$@"; then echo "ok:   $message"; else echo "FAIL: $message"; fail=1; fi
}
whole_lines() { [ ! -s "$1" ] || [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" = '\n' ]; }
run_lists_left() { ls qnd_run_*.txt 2>/dev/null | wc -l; }

# --- Part 1: N projects, one output file --------------------------------------
mkdir -p many && cd many
cp ../qnd_run.qns ../ssdefs.txt .
for i in $(seq 1 "$n"); do make_project "$i" "p$i.qnp"; done
: > out.txt
start=$(date +%s)
status=0
seq 1 "$n" | xargs -P "$n" -I{} "$exe" p{}.qnp out.txt 1 0 > /dev/null 2>&1 || status=$?
echo "part 1: $n instances in $(( $(date +%s) - start )) s"
check "every instance exited with status 0" [ "$status" = 0 ]
lines=$(wc -l < out.txt)
check "$n lines in the shared output (found $lines)" [ "$lines" -eq "$n" ]
check "the output ends with a whole line" whole_lines out.txt
check "no run list file left" [ "$(run_lists_left)" -eq 0 ]
for i in $(seq 1 "$n"); do "$exe" "p$i.qnp" solo.txt 1 0 > /dev/null 2>&1; done
sort out.txt > parallel.sorted
sort solo.txt > solo.sorted
check "the lines equal those of runs one after the other" cmp -s parallel.sorted solo.sorted
empty=$(grep -c -v $'\t' out.txt || true)
check "no line without values (found $empty)" [ "$empty" -eq 0 ]
cd ..

# --- Part 2: N instances, one project ------------------------------------------
mkdir -p one && cd one
cp ../qnd_run.qns ../ssdefs.txt .
make_project 7 p.qnp
"$exe" p.qnp single.txt 0 0 > /dev/null 2>&1
: > out.txt
start=$(date +%s)
status=0
seq 1 "$n" | xargs -P "$n" -I{} "$exe" p.qnp out.txt 1 0 > /dev/null 2>&1 || status=$?
echo "part 2: $n instances in $(( $(date +%s) - start )) s"
check "every instance exited with status 0" [ "$status" = 0 ]
lines=$(wc -l < out.txt)
check "$n lines in the shared output (found $lines)" [ "$lines" -eq "$n" ]
distinct=$(sort -u out.txt | wc -l)
check "all lines identical (distinct: $distinct)" [ "$distinct" -eq 1 ]
check "equal to the line of a single run" [ "$(sort -u out.txt)" = "$(cat single.txt)" ]
check "the output ends with a whole line" whole_lines out.txt
check "no run list file left" [ "$(run_lists_left)" -eq 0 ]
cd ..

exit "$fail"
