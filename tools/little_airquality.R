# Little's MCAR statistic of R's airquality (all six columns) from a textbook
# EM of the multivariate normal written here, under two divisors of the
# covariance: N - 1 (what mva's EM uses) and N (maximum likelihood, what
# norm's EM and so naniar::mcar_test use). The R package's help page of
# little_mcar_test quotes both values; its tests check the first against
# little_mcar_test(airquality).
# Rscript tools/little_airquality.R > tools/little_airquality.out
x <- data.matrix(datasets::airquality)
n <- nrow(x)
p <- ncol(x)
observed <- !is.na(x)

em <- function(divisor) {
  mu <- colMeans(x, na.rm = TRUE)
  sigma <- diag(apply(x, 2, var, na.rm = TRUE))
  repeat {
    sums <- numeric(p)
    products <- matrix(0, p, p)
    for (i in seq_len(n)) {
      o <- observed[i, ]
      xi <- x[i, ]
      extra <- matrix(0, p, p)
      if (!all(o)) {
        m <- !o
        beta <- sigma[m, o, drop = FALSE] %*% solve(sigma[o, o, drop = FALSE])
        xi[m] <- mu[m] + beta %*% (x[i, o] - mu[o])
        extra[m, m] <- sigma[m, m, drop = FALSE] - beta %*% sigma[o, m, drop = FALSE]
      }
      sums <- sums + xi
      products <- products + tcrossprod(xi) + extra
    }
    new_mu <- sums / n
    new_sigma <- (products - n * tcrossprod(new_mu)) / divisor
    change <- max(abs(new_sigma - sigma) / abs(diag(sigma))[col(sigma)], abs(new_mu - mu))
    mu <- new_mu
    sigma <- new_sigma
    if (change < 1e-13) break
  }
  list(mu = mu, sigma = sigma)
}

little <- function(fit) {
  key <- apply(observed, 1, paste, collapse = "")
  d2 <- 0
  df <- 0
  for (k in unique(key)) {
    rows <- key == k
    o <- observed[which(rows)[1], ]
    means <- colMeans(x[rows, o, drop = FALSE])
    d <- means - fit$mu[o]
    d2 <- d2 + sum(rows) * drop(t(d) %*% solve(fit$sigma[o, o, drop = FALSE]) %*% d)
    df <- df + sum(o)
  }
  df <- df - p
  c(statistic = d2, df = df, p.value = pchisq(d2, df, lower.tail = FALSE),
    missing.patterns = length(unique(key)))
}

options(digits = 10)
cat("airquality:", n, "cases,", p, "variables\n")
cat("divisor N - 1:\n")
print(little(em(n - 1)))
cat("divisor N (maximum likelihood):\n")
print(little(em(n)))
