# The package's condition. Every problem it raises is an error of class
# "mva_error" carrying `message`, `key` and `location`, and `result` when
# commands ran (the tables and messages the run gave before the error).
#   key: the message key of the catalogue for a command's error (such as
#        "HOST_ UNKNOWN VARIABLE ^1"); "data" for data the engine cannot
#        take, "argument" for an argument of the call, "commands" for
#        commands that cannot be read.
#   location: where, as a list: file, line and column in the commands; the
#        column, variable and case (counted from 1) in the data; or the
#        argument.

mva_error <- function(message, key, location = list(), result = NULL, call = NULL) {
  structure(class = c("mva_error", "error", "condition"),
            list(message = message, call = call, key = key, location = location, result = result))
}

refuse <- function(message, key, location = list(), result = NULL) {
  stop(mva_error(message, key, location, result))
}

# A data problem as the engine words it: "SOURCE, column "H" (NAME), case K: ...".
data_error <- function(text) {
  for (option in c("weight", "split", "missing")) {
    prefix <- paste0("--", option)
    if (startsWith(text, prefix)) {
      return(mva_error(paste0(option, substring(text, nchar(prefix) + 1)), "argument", list(argument = option)))
    }
  }
  place <- regmatches(text, regexec("column \"(.*?)\" \\(([^)]*)\\)(, case ([0-9]+))?", text))[[1]]
  location <- list()
  if (length(place)) {
    location <- list(column = place[[2]], variable = place[[3]])
    if (nzchar(place[[5]])) location$case <- as.integer(place[[5]])
  }
  mva_error(text, "data", location)
}
