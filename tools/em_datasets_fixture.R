# Writes two small data sets with missing values that the EM tests use:
# tests/fixtures/mva/nhanes.csv (25 cases of age, bmi, hyp, chl) and
# tests/fixtures/mva/mammalsleep.csv (62 species, 10 numeric variables; the
# total sleep ts equals sws + ps wherever all three are present, a total
# listed beside its parts), both as the R package mice ships them, with
# missing values as NA. tools/em_sweep_reference.py reads them.
# Run from the repository root: Rscript tools/em_datasets_fixture.R
suppressPackageStartupMessages(library(mice))
write.csv(nhanes, "tests/fixtures/mva/nhanes.csv", row.names = FALSE, quote = FALSE, na = "NA")
ms <- mammalsleep
stopifnot(!any(grepl(",", ms$species)))
write.csv(ms, "tests/fixtures/mva/mammalsleep.csv", row.names = FALSE, quote = FALSE, na = "NA")
