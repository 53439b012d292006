#!/bin/sh
# Writes what build/mva shows for the example and every fixture, in all four
# formats, and the files its EM and REGRESSION subcommands save, into one
# folder, so that two builds can be compared byte for byte:
#   tools/output_snapshot.sh /tmp/before; (change, rebuild); tools/output_snapshot.sh /tmp/after
#   diff -r /tmp/before /tmp/after
# Run it from the repository root with build/mva built.
set -u
out=${1:?usage: tools/output_snapshot.sh FOLDER}
root=$(pwd)
mva="$root/build/mva"
fx="$root/tests/fixtures/mva"
mkdir -p "$out"
out=$(cd "$out" && pwd)
n=0

# run NAME DATA-ARGS... -- COMMAND: one command in every format; saved files
# are written in a folder of their own, named by the command's number.
run() {
  n=$((n + 1))
  name=$(printf '%02d_%s' "$n" "$1")
  shift
  for format in text markdown html json; do
    dir="$out/$name/$format"
    mkdir -p "$dir"
    (cd "$dir" && "$mva" --no-progress --seed 7 --format "$format" "$@" >stdout.txt 2>stderr.txt; echo "$?" >status.txt)
  done
}

survey="--data $root/examples/survey.csv --dict $root/examples/survey.dict.json"
air="--data $fx/airquality.csv"
run example $survey "$root/examples/survey.mva"
run survey_all $survey -e "MVA age educ income satisfaction region sex /CATEGORICAL=region sex /ID=id /MAXCAT=10
  /TTEST PROB PERCENT=0 /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0 NOSORT /DPATTERN DESCRIBE=region SORT=age(DESCENDING)
  /MPATTERN DESCRIBE=sex NOSORT /TPATTERN PERCENT=0 DESCRIBE=age /LISTWISE /PAIRWISE
  /EM (OUTFILE='em.sav') /REGRESSION (ADDTYPE=NONE OUTFILE='reg.sav' IMPUTES)."
run survey_regression $survey -e "MVA age educ income satisfaction /REGRESSION (ADDTYPE=T(4) OUTFILE='reg.sav' INDICATORS)." \
  -e "MVA age educ income satisfaction /REGRESSION age income WITH educ (ADDTYPE=NORMAL OUTFILE='stats.sav' STATISTICS)." \
  -e "MVA age educ income satisfaction /EM age income WITH educ satisfaction (TDF=4 OUTFILE='em.sav') /REGRESSION (OUTFILE='data.sav' DATA)."
run airquality $air -e "MVA Ozone SolarR Wind Temp /LISTWISE /PAIRWISE."
run airquality_patterns $air -e "MVA Ozone SolarR Wind Temp Month /CATEGORICAL=Month /TTEST PROB /CROSSTAB PERCENT=0 /MISMATCH PERCENT=0 /TPATTERN PERCENT=0 /MPATTERN /DPATTERN."
run airquality_em $air -e "MVA Ozone SolarR Wind Temp Month Day /NOUNIVARIATE /EM (ITERATIONS=90 CONVERGENCE=1E-300)." \
  -e "MVA Ozone SolarR Wind Temp Month Day /NOUNIVARIATE /EM (TDF=4 ITERATIONS=91 CONVERGENCE=1E-300)." \
  -e "MVA Ozone SolarR Wind Temp Month Day /NOUNIVARIATE /EM (PROPORTION=0.1 LAMBDA=5 ITERATIONS=91 CONVERGENCE=1E-300)." \
  -e "MVA Ozone SolarR Wind Temp /EM (OUTFILE='em.sav') /REGRESSION (ADDTYPE=RESIDUAL OUTFILE='reg.sav' STATISTICS) /LISTWISE /PAIRWISE."
run airquality_weighted $air --weight Month -e "MVA Ozone SolarR Wind Temp /TTEST /CROSSTAB /LISTWISE /PAIRWISE /EM /REGRESSION."
run airquality_split $air --split Month -e "MVA Ozone SolarR Wind Temp /TPATTERN /EM (OUTFILE='em.sav') /REGRESSION (OUTFILE='imp.sav' IMPUTES)."
run nhanes --data "$fx/nhanes.csv" -e "MVA age bmi hyp chl /CATEGORICAL=age /TTEST /CROSSTAB /MISMATCH /DPATTERN /MPATTERN /TPATTERN /LISTWISE /PAIRWISE /EM (TOLERANCE=0.9) /REGRESSION."
run mammalsleep --data "$fx/mammalsleep.csv" -e "MVA bw brw sws ps ts mls gt pi sei odi /ID=species /CATEGORICAL=pi sei odi /TTEST /CROSSTAB /DPATTERN /TPATTERN /EM /REGRESSION (ADDTYPE=NORMAL)."
run usermissing --data "$fx/usermissing.csv" --dict "$fx/usermissing.dict.json" \
  -e "MVA q3 q1 q2 q5 q4 longtext sname /LISTWISE /PAIRWISE." \
  -e "MVA q1 q2 q3 q4 q5 sname longtext /CATEGORICAL=sname /ID=longtext /TTEST /CROSSTAB /MISMATCH /DPATTERN /MPATTERN /TPATTERN /EM /REGRESSION."
run weighted_split --data "$fx/weighted_split.csv" --dict "$fx/weighted_split.dict.json" \
  -e "MVA a b c d /LISTWISE /PAIRWISE." \
  -e "MVA a b c d /TTEST /MISMATCH /DPATTERN /TPATTERN /EM (OUTFILE='em.sav') /REGRESSION (OUTFILE='reg.sav' STATISTICS)."
run errors $air -e "MVA Ozone SolarR /MAXCAT=0." -e "MVA Ozone Nothing /EM." -e "MVA Ozone SolarR /EM (TDF=1)." \
  -e "MVA Ozone SolarR /REGRESSION (ADDTYPE=WHAT)." -e "MVA Ozone SolarR /TTEST PERCENT=100." -e "MVA Ozone /EM."
echo "$n runs written to $out"
