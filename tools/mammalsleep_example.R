# Writes examples/mammalsleep.csv: the sleep of 62 mammal species (Allison
# and Cicchetti, 1976, Science 194: 732-734) as the R package mice ships it
# (data set `mammalsleep`; the package is GPL (>= 2), which allows the data to
# be passed on), with missing values as empty cells. Slow-wave (sws) and
# paradoxical (ps) sleep are missing for a fifth of the species, the life
# span, gestation time and total sleep for a few. The same data, under the
# name `sleep`, is VIM's example of missing-value plots.
# Run from the repository root: Rscript tools/mammalsleep_example.R
suppressPackageStartupMessages(library(mice))
ms <- mammalsleep
stopifnot(!any(grepl("[,\"]", ms$species)))
write.csv(ms, "examples/mammalsleep.csv", row.names = FALSE, quote = FALSE, na = "")
