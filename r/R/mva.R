# Runs MVA commands over a data frame, and the result of a run. The commands
# are those of the mva program; the data go to the engine without a file.
# Every number in a result was computed by the engine: this package only
# moves data in and results out.

MCAR_KEY <- "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3"
DICTIONARY_KEY <- "HOST_ DICTIONARY OF ^1"
FILES_SAVED <- 1

whole_number <- function(value, argument, low, high) {
  if (!is.numeric(value) || length(value) != 1 || is.na(value) || value != round(value) || value < low ||
      value > high) {
    refuse(sprintf("%s: give a whole number from %.0f to %.0f", argument, low, high), "argument",
           list(argument = argument))
  }
  as.double(value)
}

mva <- function(data, commands, weight = NULL, split = NULL, missing = NULL, seed = 2000000,
                workspace = NULL, max_cells = 0) {
  columns <- columns_of(data)
  headers <- names(data)
  if (!is.character(commands) || anyNA(commands) || length(commands) == 0) {
    refuse("commands: give the commands as text, such as \"MVA ALL /EM.\"", "argument",
           list(argument = "commands"))
  }
  options <- list(source = "data frame", seed = whole_number(seed, "seed", 0, 4294967295),
                  max_cells = whole_number(max_cells, "max_cells", 0, 2^53),
                  missing = missing_specs(missing, headers))
  if (!is.null(weight)) options$weight <- name_of(headers, weight, "weight")
  if (!is.null(split)) {
    if (!is.character(split) || length(split) == 0) {
      refuse("split: give one or more column names", "argument", list(argument = "split"))
    }
    options$split <- vapply(split, function(s) name_of(headers, s, "split"), "", USE.NAMES = FALSE)
  }
  if (!is.null(workspace)) options$workspace <- whole_number(workspace, "workspace", 1, 2^53)
  run <- .Call(mva_run, columns, as.double(nrow(data)), enc2utf8(paste(commands, collapse = "\n")), options)
  if (!is.null(run$error)) {
    if (run$error == "data") stop(data_error(run$message))
    refuse(run$message, "commands", list(file = "commands"))
  }
  result <- result_of(run)
  if (run$failed) {
    errors <- result$messages[result$messages$kind == "error", , drop = FALSE]
    if (nrow(errors) == 0) refuse("a command failed", NA_character_, list(), result)
    location <- list()
    if (!is.na(errors$source[[1]])) {
      location <- list(file = errors$source[[1]], line = errors$line[[1]], column = errors$column[[1]])
      location <- location[!vapply(location, is.na, TRUE)]
    }
    refuse(errors$text[[1]], errors$key[[1]], location, result)
  }
  result
}

field <- function(item, name, missing = NA_character_) {
  value <- item[[name]]
  if (is.null(value)) missing else value
}

result_of <- function(run) {
  items <- walk(run$document$output)
  tables <- list()
  splits <- list()
  messages <- list()
  little <- NULL
  files <- list()
  split <- NULL
  for (item in items) {
    type <- field(item, "type")
    if (identical(type, "split")) {
      split <- item$values
    } else if (identical(type, "table") && identical(item$number, FILES_SAVED)) {
      files <- c(files, saved_files(item, names(files)))
    } else if (identical(type, "table")) {
      frame <- table_frame(item)
      attr(frame, "split") <- split
      title <- field(item$title, "text", "")
      name <- title
      k <- 1
      while (name %in% names(tables)) {
        k <- k + 1
        name <- sprintf("%s (%d)", title, k)
      }
      tables[[name]] <- frame
    } else if (identical(type, "message")) {
      source <- item$source
      messages[[length(messages) + 1]] <- data.frame(
        kind = field(item, "kind"), key = field(item, "key"), text = field(item, "text", ""),
        source = field(source, "file"), line = as.integer(field(source, "line", NA)),
        column = as.integer(field(source, "column", NA)), stringsAsFactors = FALSE)
    } else if (identical(type, "note") && identical(item$key, MCAR_KEY) && is.null(little)) {
      p <- item$params
      little <- list(chi_square = p[[1]], df = p[[2]], p = p[[3]])
    }
  }
  messages <- if (length(messages)) {
    do.call(rbind, messages)
  } else {
    data.frame(kind = character(), key = character(), text = character(), source = character(),
               line = integer(), column = integer(), stringsAsFactors = FALSE)
  }
  structure(list(tables = tables, messages = messages, little = little, files = files, text = run$text,
                 json = run$json), class = "mva_result")
}

# The files a Files Saved table lists (not their dictionaries), read back.
saved_files <- function(item, known) {
  files <- list()
  for (cell in item$cells) {
    path <- field(cell, "text", "")
    if (DICTIONARY_KEY %in% unlist(cell$at) || !nzchar(path) || path %in% c(known, names(files))) next
    files[[path]] <- if (file.exists(path)) {
      utils::read.csv(path, check.names = FALSE, na.strings = "", stringsAsFactors = FALSE)
    } else {
      NULL
    }
  }
  files
}

print.mva_result <- function(x, ...) {
  cat(x$text)
  invisible(x)
}

as.data.frame.mva_result <- function(x, row.names = NULL, optional = FALSE, ..., table = row.names) {
  if (!is.character(table) || length(table) != 1) {
    refuse("table: give the title of one table, such as as.data.frame(r, \"EM Means\")", "argument",
           list(argument = "table"))
  }
  if (table %in% names(x$tables)) return(x$tables[[table]])
  keys <- vapply(x$tables, function(t) field(attributes(t), "key"), "")
  k <- match(table, keys)
  if (is.na(k)) {
    refuse(sprintf("table: no table titled \"%s\"; the tables are: %s", table,
                   paste(names(x$tables), collapse = ", ")), "argument", list(argument = "table"))
  }
  x$tables[[k]]
}
