#!/bin/sh
# Times the per-case pattern table of a large file in every output format:
# `MVA x1 TO x20 /NOUNIVARIATE /DPATTERN.` on CASES cases (default 1,000,000;
# the file is made once by gen_big.py and kept), output to /dev/null, with
# the elapsed and CPU seconds and the peak resident memory of each run.
# With REFERENCE=path/to/another/mva, each format is also run on a 100,000
# case file by both programs and the outputs compared byte for byte.
#
#   bench/case_tables.sh [build/mva]
#   CASES=100000 RUNS=5 bench/case_tables.sh
set -eu

MVA=${1:-build/mva}
CASES=${CASES:-1000000}
RUNS=${RUNS:-1}
DIR=${BENCH_DIR:-/tmp}
GEN=${GEN:-/work/shared/bench/gen_big.py}
COMMAND="MVA x1 TO x20 /NOUNIVARIATE /DPATTERN."

data_file() {  # cases -> path of the file, made when missing
  file="$DIR/case_tables_$1.csv"
  [ -s "$file" ] || /usr/bin/python3 "$GEN" "$1" 20 "$file" 40 >/dev/null
  echo "$file"
}

DATA=$(data_file "$CASES")
for format in text markdown html json; do
  run=1
  while [ "$run" -le "$RUNS" ]; do
    /usr/bin/time -f "$format cases=$CASES run=$run: %e s elapsed, %U s user, %S s system, %M KB peak" \
      "$MVA" --data "$DATA" --no-progress --format "$format" -e "$COMMAND" >/dev/null
    run=$((run + 1))
  done
done

if [ -n "${REFERENCE:-}" ]; then
  SMALL=$(data_file 100000)
  OUT=$(mktemp -d "$DIR/case_tables.XXXXXX")  # runs at once keep apart
  trap 'rm -rf "$OUT"' EXIT
  for format in text markdown html json; do
    "$MVA" --data "$SMALL" --no-progress --format "$format" -e "$COMMAND" >"$OUT/new.$format"
    "$REFERENCE" --data "$SMALL" --no-progress --format "$format" -e "$COMMAND" >"$OUT/ref.$format"
    if cmp -s "$OUT/new.$format" "$OUT/ref.$format"; then
      echo "$format: identical to $REFERENCE on 100000 cases"
    else
      echo "$format: DIFFERS from $REFERENCE on 100000 cases"
    fi
  done
fi
