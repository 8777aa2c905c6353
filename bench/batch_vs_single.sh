#!/bin/sh
# Times N copies of a project (distinct file names) analysed by one batch call
# ("@list") against N single calls from a shell loop, and checks that both
# give the same value lines. The project's directory provides ssdefs.txt and
# qnd_run.qns.
#   bench/batch_vs_single.sh path/to/qndsumstat [N] [project]
#   (N defaults to 1000, the project to examples/demo.qnp; bench case B1 is
#   bench/work/B1/B1.qnp after bench/run_bench.sh)
set -eu
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
n=${2:-1000}
project=${3:-$(dirname "$0")/../examples/demo.qnp}
source_dir=$(cd "$(dirname "$project")" && pwd)
project=$source_dir/$(basename "$project")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$source_dir/qnd_run.qns" "$source_dir/ssdefs.txt" .
: > list.txt
i=1
while [ "$i" -le "$n" ]; do
  name=$(printf 'project_%05d.qnp' "$i")
  cp "$project" "$name"
  echo "$name" >> list.txt
  i=$((i + 1))
done

now() { date +%s.%N; }

start=$(now)
"$exe" @list.txt batch.txt 0 0 run_silent > /dev/null
batch_end=$(now)
: > single.txt
while read -r name; do
  "$exe" "$name" single.txt 1 0 run_silent > /dev/null
done < list.txt
single_end=$(now)

cmp -s batch.txt single.txt || { echo "batch and single outputs differ" >&2; exit 1; }
lines=$(wc -l < batch.txt)
awk -v n="$n" -v l="$lines" -v s="$start" -v b="$batch_end" -v e="$single_end" 'BEGIN {
  printf "projects: %d, value lines: %d (identical)\n", n, l
  printf "one batch call : %8.2f s (%.2f ms per project)\n", b - s, (b - s) * 1000 / n
  printf "%d single calls: %8.2f s (%.2f ms per project)\n", n, e - b, (e - b) * 1000 / n
  printf "speed-up       : %8.1fx\n", (e - b) / (b - s)
}'
