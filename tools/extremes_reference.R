# Reference values for the extremes tests (tests/mva/extremes_test.cpp).
#
# Quartile rule: Q1 is the ceil(n/4)-th smallest value and Q3 the
# ceil(n/4)-th largest, without interpolation. Q1 is R's quantile type 1 at
# p = 0.25; Q3 is the same taken from the top (type 1 at p = 0.25 of -x),
# which differs from type 1 at p = 0.75 when n is a multiple of 4.
# Limits Q1 - 1.5 IQR and Q3 + 1.5 IQR; a value at or beyond a limit is an
# extreme; no interval (both counts -1) when Q1 = Q3.
#
# Mean +- 2 SD rule: the mean and the sample standard deviation (divisor
# n - 1) of the values; no interval when the limits coincide.
#
# Rerun: Rscript tools/extremes_reference.R > tools/extremes_reference.out

sets <- list(
  example = c(1, 2, 3, 4, 100),
  four = c(7, 1, 5, 3),
  at_limits = c(-1, 2, 2, 3, 4, 4, 7, 2, 3),
  one = c(42),
  ties = c(5, 5, 5, 5, 9, 5, 5, 5),
  skewed = c(12.5, 3.25, 8, 0.5, 19, 7.75, 6, 250, -40, 9.5, 10, 11, 8.5),
  twelve = c(3, 14, 15, 9, 26, 5, 35, 8, 97, 93, 23, 84),
  negative = c(-3.5, -2, -120, -1.5, -2.5, -3, -2),
  # Mean 0 and variance 36 / 9 = 4, both exact in any order of summation:
  # -4 and 4 lie exactly on the mean +- 2 SD limits (and on the quartile
  # limits, Q1 = -1 and Q3 = 1).
  on_limits = c(1, 0, 4, 0, 1, -1, 0, -4, -1, 0)
)

quartile_rule <- function(x) {
  q1 <- unname(quantile(x, 0.25, type = 1))
  q3 <- -unname(quantile(-x, 0.25, type = 1))
  s <- 1.5 * (q3 - q1)
  lower <- q1 - s
  upper <- q3 + s
  if (upper <= lower) return(c(lower, upper, -1, -1))
  c(lower, upper, sum(x <= lower), sum(x >= upper))
}

sd_rule <- function(x) {
  m <- mean(x)
  w <- if (length(x) > 1) var(x) else 0
  d <- if (w > 0) 2 * sqrt(w) else 0
  lower <- m - d
  upper <- m + d
  if (upper <= lower) return(c(m, w, lower, upper, -1, -1))
  c(m, w, lower, upper, sum(x <= lower), sum(x >= upper & x > lower))
}

cat("# set: lower upper low high (quartile rule)\n")
for (name in names(sets)) {
  r <- quartile_rule(sets[[name]])
  cat(sprintf("%s: %.17g %.17g %d %d\n", name, r[1], r[2], r[3], r[4]))
}
cat("# set: mean variance lower upper low high (mean +- 2 SD rule)\n")
for (name in names(sets)) {
  r <- sd_rule(sets[[name]])
  cat(sprintf("%s: %.17g %.17g %.17g %.17g %d %d\n", name, r[1], r[2], r[3], r[4], r[5], r[6]))
}
