#!/bin/sh
# Times N copies of examples/demo.qnp (distinct file names) analysed by one
# batch call ("@list") against N single calls from a shell loop, and checks
# that both give the same value lines.
#   bench/batch_vs_single.sh path/to/qndsumstat [N]   (N defaults to 1000)
set -eu
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
n=${2:-1000}
examples=$(cd "$(dirname "$0")/../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$examples/qnd_run.qns" "$examples/ssdefs.txt" .
: > list.txt
i=1
while [ "$i" -le "$n" ]; do
  name=$(printf 'demo_%05d.qnp' "$i")
  cp "$examples/demo.qnp" "$name"
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
