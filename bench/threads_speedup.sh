#!/bin/sh
# How much faster a run is on 2 threads than on 1: runs the program with
# --threads 1 and then --threads 2, RUNS times (default 15), and prints the
# median elapsed seconds of each and the median of each pair's ratio. The
# pairs keep the two runs of a ratio in the same minute, which matters on a
# machine whose speed drifts between minutes.
#
#   bench/threads_speedup.sh [build/mva] [DATA] [COMMAND]
#   RUNS=25 bench/threads_speedup.sh build/mva /tmp/big1m.csv "MVA x1 TO x20."
set -eu

MVA=${1:-build/mva}
DATA=${2:-/tmp/big1m.csv}
COMMAND=${3:-MVA x1 TO x20.}
RUNS=${RUNS:-15}
[ -s "$DATA" ] || { echo "no data file $DATA: make one with gen_big.py 1000000 20 $DATA 40" >&2; exit 1; }

OUT=$(mktemp -d "${TMPDIR:-/tmp}/threads_speedup.XXXXXX")
trap 'rm -rf "$OUT"' EXIT
run=1
while [ "$run" -le "$RUNS" ]; do
  for threads in 1 2; do
    /usr/bin/time -f %e -o "$OUT/t$threads" "$MVA" --threads "$threads" --data "$DATA" --no-progress -e "$COMMAND" \
      >/dev/null
  done
  echo "$(cat "$OUT/t1") $(cat "$OUT/t2")" >>"$OUT/pairs"
  run=$((run + 1))
done
/usr/bin/python3 - "$OUT/pairs" <<'PY'
import statistics, sys
pairs = [tuple(map(float, line.split())) for line in open(sys.argv[1]) if line.strip()]
one, two = statistics.median(p[0] for p in pairs), statistics.median(p[1] for p in pairs)
ratio = statistics.median(p[1] / p[0] for p in pairs if p[0] > 0)
print(f"{len(pairs)} pairs: 1 thread {one:.3f} s, 2 threads {two:.3f} s; "
      f"median ratio 2/1 {ratio:.3f} ({1 / ratio:.2f} times faster)")
PY
