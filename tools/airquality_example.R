# Writes examples/airquality.csv, R's airquality data (daily air quality in
# New York, May to September 1973; public domain, from the R datasets
# package), with Solar.R renamed SolarR (a name a command can say) and
# missing values as empty cells, the way most exports leave them.
# Run from the repository root: Rscript tools/airquality_example.R
aq <- airquality
names(aq)[names(aq) == "Solar.R"] <- "SolarR"
write.csv(aq, "examples/airquality.csv", row.names = FALSE, quote = FALSE, na = "")
