# The missing-data patterns of R's airquality (Solar.R named SolarR, as in
# tests/fixtures/mva/airquality.csv) over Ozone, SolarR, Wind, Temp and
# Month, tabulated by mice's md.pattern: one line per pattern,
# "pattern <count> <missing variables>", complete cases first, then the
# matrix as md.pattern prints it. tests/mva/pattern_tables_test.cpp reads it.
suppressPackageStartupMessages(library(mice))
d <- read.csv("tests/fixtures/mva/airquality.csv")
d <- d[, c("Ozone", "SolarR", "Wind", "Temp", "Month")]
p <- md.pattern(d, plot = FALSE)
vars <- colnames(p)[seq_len(ncol(p) - 1)]
for (i in seq_len(nrow(p) - 1)) {
  missing <- vars[p[i, vars] == 0]
  cat("pattern", rownames(p)[i], missing, "\n")
}
cat("\nmd.pattern:\n")
print(p)
