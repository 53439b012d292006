# The mva program, whose JSON output the package's results are compared with
# (MVA_PROGRAM; `make test` and `make r-check` set it).
program_path <- function() {
  path <- Sys.getenv("MVA_PROGRAM")
  if (!nzchar(path) || !file.exists(path)) skip("MVA_PROGRAM does not name the mva program")
  path
}

# The output items of the program's run over `data` written as a CSV file
# (factors as their codes, logicals as 0 and 1, NA as the empty cell).
program_items <- function(data, command, ..., dictionary = NULL) {
  program <- program_path()
  folder <- tempfile("program-")
  dir.create(folder)
  csv <- file.path(folder, "data.csv")
  utils::write.csv(data, csv, row.names = FALSE, na = "")
  options <- c("--data", csv, "--format", "json", "--no-progress", ...)
  if (!is.null(dictionary)) {
    writeLines(dictionary, file.path(folder, "data.dict.json"))
    options <- c(options, "--dict", file.path(folder, "data.dict.json"))
  }
  out <- system2(program, c(shQuote(options), "-e", shQuote(command)), stdout = TRUE)
  mva:::walk(mva:::parse_json(out)$output)
}

# (title key, values, texts) of every table but Files Saved, and the
# parameters of every note, in order.
tables_of <- function(items) {
  out <- list()
  for (item in items) {
    if (identical(item$type, "table") && !identical(item$number, 1)) {
      out[[length(out) + 1]] <- list(item$title$key, lapply(item$cells, `[[`, "value"),
                                     vapply(item$cells, `[[`, "", "text"))
    } else if (identical(item$type, "note")) {
      out[[length(out) + 1]] <- list(item$key, item$params)
    }
  }
  out
}

items_of <- function(result) mva:::walk(mva:::parse_json(result$json)$output)
