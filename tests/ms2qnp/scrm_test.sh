#!/bin/sh
# Real simulator output through qndms2qnp and one batch call of qndsumstat:
# every replicate must give one value line, and S per sample must equal the
# number of columns of the replicate's rows (within the sample's rows) that
# hold both states, counted here with awk. Skipped (status 77) without scrm.
#   scrm_test.sh path/to/qndms2qnp path/to/qndsumstat   (run from anywhere)
set -eu
command -v scrm > /dev/null 2>&1 || { echo "scrm not installed: skipped"; exit 77; }
ms2qnp=$1
qnd=$2
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
scrm 7 5 -t 3 -I 2 4 3 1.0 -seed 11 22 33 > sim.txt
"$ms2qnp" --groups 1,1 --prefix sim sim.txt > /dev/null
# The example settings with standard indices and molecular diversity only.
sed 's/^TaskNumber=.*/TaskNumber=3/' "$examples/qnd_run.qns" > qnd_run.qns
printf 'POP_LEVEL ALL_S\n' > ssdefs.txt
"$qnd" @sim_list.txt out.txt 0 0 run_silent > /dev/null 2> err.txt
[ ! -s err.txt ] || { echo "unexpected notices:"; cat err.txt; exit 1; }

# S_1 and S_2 of every replicate from the rows: sample 1 is rows 1-4, sample 2 rows 5-7.
awk '
  /^\/\// { rep++; row = 0; next }
  /^segsites:/ { sites = $2; if (sites == 0) printf "0\t0\t\n"; next }
  /^[01]+$/ && rep > 0 {
    row++
    for (i = 1; i <= sites; i++) {
      c = substr($0, i, 1)
      p = row <= 4 ? 1 : 2
      seen[p, i, c] = 1
    }
    if (row == 7) {
      s1 = 0; s2 = 0
      for (i = 1; i <= sites; i++) {
        if (seen[1, i, 0] && seen[1, i, 1]) s1++
        if (seen[2, i, 0] && seen[2, i, 1]) s2++
      }
      printf "%d\t%d\t\n", s1, s2
      delete seen
    }
  }' sim.txt > expected.txt
if ! cmp -s out.txt expected.txt; then
  echo "S per sample differs"; echo "--- qndsumstat"; cat out.txt; echo "--- expected"; cat expected.txt
  exit 1
fi
echo "scrm replicates: $(wc -l < out.txt) lines as expected"
