# Writes R's airquality data as R's own writers leave it, for the loader's
# test of data as users bring them (tests/host/data_test.cpp):
#   tests/fixtures/data/habits/airquality_write.csv   write.csv: a quoted
#     empty header over the row names, "Solar.R", NA for missing values
#   tests/fixtures/data/habits/airquality_write2.csv  write.csv2: the same
#     with ';' as the delimiter and a decimal comma (7,4)
#   tests/fixtures/data/habits/ozone_write.csv        one column, Ozone, with
#     na = "": each missing value an empty line
# and prints the count of present values and the sum of each variable, the
# numbers the test expects the loader to read from every habit.
# Run from the repository root:
#   Rscript tools/data_habits.R > tools/data_habits.R.out
write.csv(airquality, "tests/fixtures/data/habits/airquality_write.csv")
write.csv2(airquality, "tests/fixtures/data/habits/airquality_write2.csv")
write.csv(airquality["Ozone"], "tests/fixtures/data/habits/ozone_write.csv", na = "", row.names = FALSE)
for (v in names(airquality)) {
  x <- airquality[[v]]
  cat(sprintf("%s present %d sum %.17g\n", v, sum(!is.na(x)), sum(x, na.rm = TRUE)))
}
