library(testthat)
library(mva)

test_check("mva")
