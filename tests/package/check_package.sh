#!/usr/bin/env bash
# Checks the Debian package that `make package` made in the build folder
# given: unpacks it into a temporary root (as dpkg would install it, without
# touching the system), checks that it carries the program, mva_gen, the
# manual page, the guides and the example data, that it depends on the
# shared libraries the program needs, and runs the bundled example and a
# tutorial command with the unpacked program.
set -euo pipefail

build=${1:?usage: check_package.sh BUILD_FOLDER}
debs=("$build"/mva_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check_package: expected one mva_*.deb in $build" >&2; exit 1; }
deb=${debs[0]}

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
fail() { echo "check_package: $deb: $*" >&2; exit 1; }

docs=usr/share/doc/mva
for file in usr/bin/mva usr/bin/mva_gen usr/share/man/man1/mva.1 "$docs/README.md" "$docs/tutorial.md" \
            "$docs/reference.md" "$docs/file-formats.md" "$docs/numbers.md" "$docs/examples/survey.csv" \
            "$docs/examples/survey.dict.json" "$docs/examples/survey.mva" "$docs/examples/airquality.csv" \
            "$docs/examples/airquality.mva" "$docs/examples/mammalsleep.csv" "$docs/examples/mammalsleep.mva"; do
  [ -f "$root/$file" ] || fail "/$file is not in the package"
done
dpkg-deb -f "$deb" Depends | grep -q 'libfmt' || fail "the package does not depend on libfmt"

mva=$root/usr/bin/mva
examples=$root/$docs/examples
"$mva" --help | tail -n 3 | grep -q "/usr/share/doc/mva" || fail "mva --help does not end with /usr/share/doc/mva"
warnings=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/mva.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"

# The README's example and a tutorial run, in a scratch folder (the
# tutorial's EM writes a file).
cd "$root"
mkdir work && cd work
"$mva" --data "$examples/survey.csv" --dict "$examples/survey.dict.json" "$examples/survey.mva" >survey.txt \
  || fail "the survey example failed"
grep -q "Univariate Statistics" survey.txt || fail "the survey example shows no univariate statistics"
"$mva" --data "$examples/airquality.csv" -e "MVA Ozone TO Day /EM (OUTFILE='completed')." >airquality.txt \
  || fail "EM of airquality failed"
grep -q "Little's MCAR test" airquality.txt || fail "EM of airquality shows no MCAR test"
[ -f completed.csv ] && [ -f completed.dict.json ] || fail "EM wrote no completed.csv and completed.dict.json"
"$mva" --data "$examples/mammalsleep.csv" "$examples/mammalsleep.mva" >mammalsleep.txt \
  || fail "the mammalsleep example failed"
"$mva" --data "$examples/airquality.csv" "$examples/airquality.mva" >airquality_example.txt \
  || fail "the airquality example failed"
"$root/usr/bin/mva_gen" --cases 200 --vars 4 --output generated.csv
"$mva" --data generated.csv -e "MVA x1 TO x4 /LISTWISE /PAIRWISE." >generated.txt || fail "mva_gen's file failed"
echo "check_package: $(basename "$deb") installs and runs"
