# Convenience functions: each is one MVA command through mva(), its answer
# taken from the tables the engine gives.

# The variable names of `columns` (default: every numeric or logical column,
# factors and texts left out) as a command's variable list.
variable_list <- function(data, columns) {
  if (!is.data.frame(data)) {
    refuse(sprintf("the data must be a data frame, not %s", paste(class(data), collapse = "/")), "data")
  }
  if (is.null(columns)) {
    numeric <- vapply(data, function(x) (is.numeric(x) || is.logical(x)) && !is.factor(x), TRUE)
    columns <- names(data)[numeric]
  }
  if (!length(columns)) {
    refuse("no numeric columns to analyse", "argument", list(argument = "columns"))
  }
  paste(vapply(columns, function(c) name_of(names(data), c, "columns"), "", USE.NAMES = FALSE), collapse = " ")
}

little_mcar_test <- function(data, columns = NULL, ...) {
  variables <- variable_list(data, columns)
  result <- mva(data, sprintf("MVA VARIABLES=%s /NOUNIVARIATE /EM /TPATTERN PERCENT=0.", variables), ...)
  if (is.null(result$little)) {
    # The engine says why (no missing values, a singular covariance, ...):
    # EM runs after the pattern table, so its word is the last.
    why <- result$messages[result$messages$kind %in% c("warning", "error"), , drop = FALSE]
    if (nrow(why) == 0) refuse("the run gave no Little's MCAR test", NA_character_, list(), result)
    refuse(why$text[[nrow(why)]], why$key[[nrow(why)]], list(), result)
  }
  patterns <- as.data.frame(result, table = "POUT_ TABULATED PATTERNS")
  data.frame(statistic = result$little$chi_square, df = result$little$df, p.value = result$little$p,
             missing.patterns = nrow(patterns))
}

model_text <- function(model, df, proportion, lambda) {
  if (!is.character(model) || length(model) != 1 || !model %in% c("normal", "t", "contaminated")) {
    refuse("model: give \"normal\", \"t\" or \"contaminated\"", "argument", list(argument = "model"))
  }
  given <- c(df = !is.null(df), proportion = !is.null(proportion), lambda = !is.null(lambda))
  wanted <- switch(model, normal = character(), t = "df", contaminated = c("proportion", "lambda"))
  extra <- setdiff(names(given)[given], wanted)
  if (length(extra)) {
    refuse(sprintf("%s: not an argument of the %s model", extra[[1]], model), "argument",
           list(argument = extra[[1]]))
  }
  number <- function(value, argument) {
    if (!is.numeric(value) || length(value) != 1 || !is.finite(value)) {
      refuse(sprintf("%s: give one number", argument), "argument", list(argument = argument))
    }
    shortest(value)
  }
  if (model == "t" && is.null(df)) {
    refuse("df: the t model needs its degrees of freedom (df = 4)", "argument", list(argument = "df"))
  }
  if (model == "contaminated" && (is.null(proportion) || is.null(lambda))) {
    refuse("proportion, lambda: the contaminated normal model needs both (proportion = 0.1, lambda = 5)",
           "argument", list(argument = if (is.null(proportion)) "proportion" else "lambda"))
  }
  switch(model,
         normal = "",
         t = sprintf("TDF=%s ", number(df, "df")),
         contaminated = sprintf("PROPORTION=%s LAMBDA=%s ", number(proportion, "proportion"),
                                number(lambda, "lambda")))
}

# The numeric part of a table as a matrix, named by its row and column texts.
table_matrix <- function(frame) {
  leading <- names(frame)[!vapply(frame, is.numeric, TRUE)]
  values <- as.matrix(frame[setdiff(names(frame), leading)])
  if (length(leading)) rownames(values) <- frame[[leading[[length(leading)]]]]
  values
}

# A matrix of which a table shows the lower triangle, whole.
symmetric <- function(lower) {
  upper <- upper.tri(lower)
  lower[upper] <- t(lower)[upper]
  lower
}

em <- function(data, model = "normal", df = NULL, proportion = NULL, lambda = NULL, columns = NULL, ...) {
  variables <- variable_list(data, columns)
  folder <- tempfile("mva-")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE), add = TRUE)
  path <- file.path(normalizePath(folder, winslash = "/"), "completed")
  if (grepl("'", path, fixed = TRUE)) {
    refuse(sprintf("the temporary folder %s has a quote in its name", folder), "argument",
           list(argument = "tempdir"))
  }
  command <- sprintf("MVA VARIABLES=%s /NOUNIVARIATE /EM (%sOUTFILE='%s').", variables,
                     model_text(model, df, proportion, lambda), path)
  result <- mva(data, command, ...)
  completed <- result$files[[paste0(path, ".csv")]]
  result$files <- list()
  means <- table_matrix(as.data.frame(result, table = "EOUT_ EM MEANS"))
  list(means = means[1, ],
       covariance = symmetric(table_matrix(as.data.frame(result, table = "EOUT_ EM COVARIANCES"))),
       correlation = symmetric(table_matrix(as.data.frame(result, table = "EOUT_ EM CORRELATIONS"))),
       data = completed, little = result$little, result = result)
}
