# The package against the program: the same data and commands give the same
# numbers and texts, whether the data come as a data frame or as a CSV file;
# every kind of column goes in as the CSV reader reads its values; problems
# come back as conditions with message, key and location.

test_that("numbers equal the program's, and each frame holds its table's numbers", {
  commands <- c("MVA Ozone Solar.R Wind Temp Month /CATEGORICAL=Month /TTEST /CROSSTAB /TPATTERN /DPATTERN /EM.",
                "MVA Ozone TO Day /LISTWISE /PAIRWISE /EM (TDF=4) /REGRESSION (ADDTYPE=NONE).",
                "MVA Ozone Solar.R Wind Temp /EM (PROPORTION=0.1 LAMBDA=5) /MPATTERN /MISMATCH.")
  for (command in commands) {
    result <- mva(airquality, command)
    ours <- items_of(result)
    expect_identical(tables_of(ours), tables_of(program_items(airquality, command)))
    tables <- Filter(function(i) identical(i$type, "table") && !identical(i$number, 1), ours)
    expect_length(result$tables, length(tables))
    for (k in seq_along(tables)) {
      numbers <- unlist(Filter(is.numeric, result$tables[[k]]))
      cells <- unlist(Filter(is.numeric, lapply(tables[[k]]$cells, `[[`, "value")))
      expect_identical(sort(unname(numbers)), sort(cells), label = names(result$tables)[[k]])
    }
  }
})

test_that("weights, split groups, missing values and saved files are the program's", {
  data <- data.frame(wave = rep(1:2, each = 12), wt = rep(c(1, 2.5, 0.5), 8),
                     a = c(1:11, NA, 3:14), b = c(NA, 2:9, 95, 11:24) / 2, c = rep(c(5, 9, NA, 7), 6))
  out <- file.path(tempdir(), "done")
  command <- sprintf("MVA a b c /EM (OUTFILE='%s') /TTEST PERCENT=0.", out)
  result <- mva(data, command, weight = "wt", split = "wave", missing = list(b = list(range = c(40, 50)), c = 9))
  program <- program_items(data, sub("done", "program", command, fixed = TRUE), "--weight", "wt",
                           "--split", "wave", "--missing", "b=40:50", "--missing", "c=9")
  expect_identical(tables_of(items_of(result)), tables_of(program))
  expect_identical(sort(unique(vapply(result$tables, function(t) attr(t, "split")[[1]]$value, 0))), c(1, 2))
  expect_true("EM Means (2)" %in% names(result$tables))
  expect_identical(names(result$files), paste0(out, ".csv"))
  expect_equal(result$files[[1]], utils::read.csv(file.path(tempdir(), "program.csv"), na.strings = ""))
})

test_that("every column kind reads as the CSV reader reads its values", {
  data <- data.frame(x = c(1.5, NA, 2.25, 4, -1, 3.5), `Solar R` = c(1L, NA, 3L, 4L, 4L, 2L),
                     flag = c(TRUE, FALSE, NA, TRUE, TRUE, FALSE),
                     town = c("Oslo", NA, "Bergen", NA, "Oslo", "Bergen"),
                     size = factor(c("small", "large", NA, "small", "large", "large"), levels = c("small", "large")),
                     `1st` = c(10, 20, 30, 40, 50, 60), check.names = FALSE, stringsAsFactors = FALSE)
  command <- "MVA x Solar_R flag v1st town size /CATEGORICAL=size /CROSSTAB PERCENT=0 /TPATTERN."
  result <- mva(data, command)
  as_file <- data
  as_file$flag <- as.integer(data$flag)
  as_file$size <- as.integer(data$size)
  dictionary <- '{"variables": [{"name": "size", "value_labels": {"1": "small", "2": "large"}}]}'
  program <- program_items(as_file, command, dictionary = dictionary)
  expect_identical(tables_of(items_of(result)), tables_of(program))
  expect_identical(result$messages$key, vapply(Filter(function(i) identical(i$type, "message"), program),
                                               `[[`, "", "key"))
  expect_true(all(c("HOST_ LOAD ^1 RENAMED ^2", "HOST_ LOAD ^1 BLANK STRINGS ^2 ^3 MISSING ^4") %in%
                  result$messages$key))
  counts <- mva(data, "MVA x Solar_R flag town size /CATEGORICAL=size.")$tables[["Univariate Statistics"]]
  expect_identical(counts$N, c(5, 5, 5, 4, 5))
  # The factor's levels label its categories.
  shown <- unlist(lapply(result$tables, function(t) c(names(t), unlist(t), attr(t, "texts"))))
  expect_true(all(c("small", "large") %in% shown))
})

test_that("problems are conditions with message, key and location", {
  cases <- list(
    list(quote(mva(airquality, "MVA Ozone Nope /EM.")), "Unknown variable name: Nope.",
         "HOST_ UNKNOWN VARIABLE ^1", list(file = "commands", line = 1, column = 11)),
    list(quote(mva(airquality, "MVA Ozone Temp\n  /MAXCAT=0.")), NULL,
         "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER", list(file = "commands", line = 2)),
    list(quote(mva(airquality, "MVA Ozone Temp.", weight = "w")),
         "weight: there is no column \"w\" in the data frame", "argument", list(argument = "weight", column = "w")),
    list(quote(mva(airquality, "MVA Ozone Temp.", missing = list(Ozone = list(range = 1:3)))), NULL,
         "argument", list(argument = "missing[[\"Ozone\"]]")),
    list(quote(mva(transform(airquality, Wind = replace(Wind, 2, Inf)), "MVA Ozone Wind.")), NULL, "data",
         list(column = "Wind", variable = "Wind", case = 2L)),
    list(quote(mva(transform(airquality, Day = as.Date(Day, origin = "2000-01-01")), "MVA Ozone.")), NULL, "data", list(column = "Day")),
    list(quote(mva(airquality[0, ], "MVA Ozone.")), "the data frame has no rows; no command was run", "data",
         list()),
    list(quote(mva(as.matrix(airquality), "MVA Ozone.")), "the data must be a data frame, not matrix/array",
         "data", list()),
    list(quote(mva(airquality, "")), NULL, "commands", list(file = "commands")),
    list(quote(em(airquality, model = "t")), NULL, "argument", list(argument = "df")),
    list(quote(little_mcar_test(cars)), "There are no missing values, so no EM estimates are computed.",
         "EXEC_ NO MISSING VALUE => NO EM_EST", list()))
  for (case in cases) {
    error <- tryCatch(eval(case[[1]]), mva_error = function(e) e)
    label <- deparse1(case[[1]])
    expect_s3_class(error, c("mva_error", "error", "condition"))
    expect_true(nzchar(conditionMessage(error)), label = label)
    if (!is.null(case[[2]])) expect_identical(conditionMessage(error), case[[2]], label = label)
    expect_identical(error$key, case[[3]], label = label)
    expect_equal(error$location[names(case[[4]])], case[[4]], label = label)
  }
  error <- tryCatch(mva(airquality, "MVA Ozone Temp /EM.\nMVA Ozone Nope."), mva_error = function(e) e)
  expect_identical(dim(as.data.frame(error$result, "EM Means")), c(1L, 2L))
})

test_that("the convenience functions are their tables", {
  columns <- c("Ozone", "Solar.R", "Wind", "Temp")
  full <- mva(airquality, "MVA Ozone Solar.R Wind Temp /NOUNIVARIATE /EM (TDF=4).")
  fitted <- em(airquality, model = "t", df = 4, columns = columns)
  expect_identical(fitted$means, unlist(as.data.frame(full, "EM Means")))
  shown <- as.matrix(full$tables[["EM Covariances"]][columns])
  expect_identical(unname(fitted$covariance[lower.tri(shown, diag = TRUE)]),
                   shown[lower.tri(shown, diag = TRUE)])
  expect_identical(fitted$covariance, t(fitted$covariance))
  expect_identical(fitted$little, full$little)
  completed <- fitted$data[columns]
  expect_false(anyNA(completed))
  present <- !is.na(airquality[columns])
  expect_identical(as.matrix(completed)[present], as.double(as.matrix(airquality[columns])[present]))
  # Little's test of the six columns: the statistic under the N - 1
  # estimates, 34.8754 at the fixed point (tools/little_airquality.R), to
  # the engine's convergence.
  test <- little_mcar_test(airquality)
  expect_identical(names(test), c("statistic", "df", "p.value", "missing.patterns"))
  expect_equal(test$statistic, 34.875356, tolerance = 1e-5)
  expect_identical(c(test$df, test$missing.patterns), c(14, 4))
  program <- Filter(function(i) identical(i$key, "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3"),
                    program_items(airquality, "MVA Ozone TO Day /NOUNIVARIATE /EM."))
  expect_identical(unlist(program[[1]]$params), unlist(test[1:3]), ignore_attr = TRUE)
})

test_that("print shows the text report and as.data.frame finds tables by title or key", {
  result <- mva(airquality, "MVA Ozone Temp /EM.")
  expect_identical(paste(capture.output(print(result)), collapse = "\n"), sub("\n$", "", result$text))
  expect_match(result$text, "EM Means")
  expect_identical(as.data.frame(result, "EM Means"), as.data.frame(result, table = "EOUT_ EM MEANS"))
  expect_error(as.data.frame(result, "Nothing"), class = "mva_error")
})
