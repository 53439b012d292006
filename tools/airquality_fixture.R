# Writes tests/fixtures/mva/airquality.csv, R's airquality data (153 days of
# New York air quality measurements, May to September 1973) with Solar.R
# renamed SolarR, missing values as NA; and tests/fixtures/mva/airquality.R.csv,
# the listwise and pairwise moments and the quartiles as R computes them, for
# tools/mva_expected.py to check its own values against.
# Run from the repository root: Rscript tools/airquality_fixture.R
aq <- airquality
names(aq)[names(aq) == "Solar.R"] <- "SolarR"
write.csv(aq, "tests/fixtures/mva/airquality.csv", row.names = FALSE, quote = FALSE, na = "NA")

vars <- c("Ozone", "SolarR", "Wind", "Temp")
x <- as.matrix(aq[, vars])
out <- data.frame(table = character(), row = character(), column = character(), value = numeric())
add <- function(table, row, column, value) {
  out[nrow(out) + 1, ] <<- list(table, row, column, value)
}

# Univariate: mean and SD over each variable's present values; the quartiles
# of the extremes rule, Q1 = x(ceiling(n/4)) and Q3 its mirror from the top,
# are R's type 1 quantiles of x and of -x.
for (v in vars) {
  present <- x[!is.na(x[, v]), v]
  add("univariate", v, "n", length(present))
  add("univariate", v, "mean", mean(present))
  add("univariate", v, "sd", sd(present))
  q1 <- unname(quantile(present, 0.25, type = 1))
  q3 <- -unname(quantile(-present, 0.25, type = 1))
  add("univariate", v, "lower_limit", q1 - 1.5 * (q3 - q1))
  add("univariate", v, "upper_limit", q3 + 1.5 * (q3 - q1))
}

# Listwise: complete cases only.
complete <- x[complete.cases(x), ]
add("listwise", "", "n", nrow(complete))
lc <- cov(complete)
lr <- cor(complete)
for (i in vars) {
  add("listwise_mean", "", i, mean(complete[, i]))
  for (k in vars) {
    add("listwise_covariance", i, k, lc[i, k])
    add("listwise_correlation", i, k, lr[i, k])
  }
}

# Pairwise: each pair over the cases in which both are present.
pc <- cov(x, use = "pairwise.complete.obs")
pr <- cor(x, use = "pairwise.complete.obs")
for (i in vars) {
  for (k in vars) {
    both <- !is.na(x[, i]) & !is.na(x[, k])
    add("pairwise_frequency", i, k, sum(both))
    add("pairwise_mean", i, k, mean(x[both, k]))   # row i, column k: mean of k
    add("pairwise_sd", i, k, sd(x[both, k]))
    add("pairwise_covariance", i, k, pc[i, k])
    add("pairwise_correlation", i, k, pr[i, k])
  }
}
write.csv(format(out, digits = 17), "tests/fixtures/mva/airquality.R.csv", row.names = FALSE, quote = FALSE)
