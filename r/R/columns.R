# Data frame columns as the engine takes them, and the names the engine gives
# them. Every column becomes either doubles (NA and NaN are system-missing) or
# texts (NA where a case has no value), with value labels for a factor. The
# engine renames headers that a command cannot say by the rule its CSV reader
# follows; the arguments that name columns (weight, split, missing, columns)
# may give a column by its header or by its variable name.

column_spec <- function(header, x) {
  if (is.factor(x)) {
    levels <- levels(x)
    labels <- stats::setNames(as.character(levels), as.character(seq_along(levels)))
    return(list(header, as.double(as.integer(x)), if (length(levels)) labels else NULL))
  }
  if (is.logical(x) || is.numeric(x)) {
    return(list(header, as.double(x), NULL))
  }
  if (is.character(x) && is.null(dim(x))) {
    return(list(header, enc2utf8(as.character(x)), NULL))
  }
  what <- if (is.null(oldClass(x))) typeof(x) else paste(class(x), collapse = "/")
  refuse(sprintf("column \"%s\": a column of class %s cannot be analysed; convert it to numbers or text",
                 header, what), "data", list(column = header))
}

columns_of <- function(data) {
  if (!is.data.frame(data)) {
    refuse(sprintf("the data must be a data frame, not %s", paste(class(data), collapse = "/")), "data")
  }
  if (ncol(data) == 0) refuse("the data frame has no columns", "data")
  if (nrow(data) == 0) refuse("the data frame has no rows; no command was run", "data")
  headers <- names(data)
  if (is.null(headers) || anyNA(headers)) refuse("every column of the data frame needs a name", "data")
  lapply(seq_along(headers), function(k) {
    x <- data[[k]]
    if (!is.null(dim(x))) {
      refuse(sprintf("column \"%s\": a matrix or data frame column cannot be analysed; give its columns one by one",
                     headers[[k]]), "data", list(column = headers[[k]]))
    }
    column_spec(headers[[k]], x)
  })
}

variable_names <- function(headers) .Call(mva_variable_names, enc2utf8(as.character(headers)))

# The variable name of a column given by its header or its variable name.
name_of <- function(headers, column, argument) {
  if (!is.character(column) || length(column) != 1 || is.na(column)) {
    refuse(sprintf("%s: give a column name", argument), "argument", list(argument = argument))
  }
  names <- variable_names(headers)
  k <- match(column, headers)
  if (is.na(k)) k <- match(tolower(column), tolower(names))
  if (is.na(k)) {
    refuse(sprintf("%s: there is no column \"%s\" in the data frame", argument, column), "argument",
           list(argument = argument, column = column))
  }
  names[[k]]
}

number_text <- function(value, argument) {
  if (is.character(value) && length(value) == 1 && !is.na(value)) {
    text <- trimws(value)
    if (toupper(text) %in% c("LO", "LOWEST", "HI", "HIGHEST")) return(toupper(text))
    return(value)
  }
  if (!is.numeric(value) || length(value) != 1 || is.na(value) || is.logical(value)) {
    refuse(sprintf("%s: %s is not a missing value (a number or a text)", argument, deparse1(value)),
           "argument", list(argument = argument))
  }
  if (!is.finite(value)) {
    refuse(sprintf("%s: %s is not a finite number", argument, format(value)), "argument",
           list(argument = argument))
  }
  shortest(value)
}

# The shortest text of at most 17 digits that reads back as the number.
shortest <- function(value) {
  for (digits in 15:17) {
    text <- formatC(value, digits = digits, format = "g")
    if (as.numeric(text) == value) break
  }
  trimws(text)
}

# The engine's "VAR=..." specifications of user-missing values: a vector
# gives up to three values; list(range = c(low, high)) a range, with
# `value = v` a range and one value.
missing_specs <- function(missing, headers) {
  if (is.null(missing)) return(character())
  if (!is.list(missing) || is.null(names(missing)) || any(names(missing) == "")) {
    refuse("missing: give a named list, such as list(Ozone = c(998, 999))", "argument",
           list(argument = "missing"))
  }
  vapply(names(missing), function(column) {
    argument <- sprintf("missing[[\"%s\"]]", column)
    name <- name_of(headers, column, argument)
    spec <- missing[[column]]
    if (is.list(spec)) {
      if (is.null(names(spec)) || !all(names(spec) %in% c("range", "value")) || is.null(spec$range) ||
          length(spec$range) != 2) {
        refuse(sprintf("%s: give list(range = c(low, high)) and optionally value = v", argument), "argument",
               list(argument = argument))
      }
      text <- paste0(number_text(spec$range[[1]], argument), ":", number_text(spec$range[[2]], argument))
      if (!is.null(spec$value)) text <- paste0(text, ",", number_text(spec$value, argument))
    } else {
      if (length(spec) == 0) {
        refuse(sprintf("%s: no missing value given", argument), "argument", list(argument = argument))
      }
      text <- paste(vapply(as.list(spec), number_text, "", argument = argument), collapse = ",")
    }
    paste0(name, "=", text)
  }, "", USE.NAMES = FALSE)
}
