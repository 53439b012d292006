# Tables of the output document as data frames.
#
# A table's row dimensions become its leading columns (texts), outer
# dimension first (its first placement code is higher), one column for each
# depth of a dimension whose categories are nested in groups; every
# combination of the column dimensions' categories becomes a numeric column
# named by its texts (joined by " / " when there are several). Cells hold
# the numbers as the document gives them (system-missing as NA), except that
# a column without a number in any cell (the marks of a pattern table) holds
# its texts; the texts as shown are the attribute "texts", a character matrix
# beside the leading columns.

# Every item of the document in order, headings opened.
walk <- function(items) {
  out <- list()
  for (item in items) {
    out[[length(out) + 1]] <- item
    if (is.list(item$items)) out <- c(out, walk(item$items))
  }
  out
}

entry_name <- function(entry) {
  if (!is.null(entry$key)) return(entry$key)
  if (!is.null(entry$variable)) return(entry$variable)
  entry$text
}

# (names, texts) of every category without children, with the path down to it.
leaves <- function(categories, names = character(), texts = character()) {
  out <- list()
  for (category in categories) {
    # An ungrouped category only keeps its children apart: it has no level
    # of its own in the frame.
    n <- c(names, entry_name(category))
    t <- if (isTRUE(category$ungrouped)) texts else c(texts, if (is.null(category$text)) "" else category$text)
    if (length(category$children)) {
      out <- c(out, leaves(category$children, n, t))
    } else {
      out[[length(out) + 1]] <- list(names = n, texts = t)
    }
  }
  out
}

path_key <- function(parts) paste(vapply(parts, paste, "", collapse = "\x1f"), collapse = "\x1e")

# The positions of an axis: one entry per combination of its dimensions'
# leaves, with the texts of each level (shorter paths padded on the outer
# levels) and the key its cells' paths give.
axis_of <- function(dimensions) {
  if (!length(dimensions)) {
    return(list(levels = character(), texts = list(character()), keys = "", dimension_names = character()))
  }
  outer <- vapply(dimensions, function(d) if (length(d$codes)) as.double(d$codes[[1]]) else 0, 0)
  dimensions <- dimensions[order(-outer)]
  level_names <- character()
  combos <- list(list(keys = list(), texts = character()))
  for (d in dimensions) {
    found <- leaves(d$categories)
    depth <- max(1L, vapply(found, function(l) length(l$texts), 1L))
    text <- if (is.null(d$name$text)) "" else d$name$text
    level_names <- c(level_names, if (depth > 1) c(sprintf("%s (%d)", text, seq_len(depth - 1)), text) else text)
    next_combos <- list()
    for (c in combos) {
      for (l in found) {
        padded <- c(rep("", depth - length(l$texts)), l$texts)
        next_combos[[length(next_combos) + 1]] <- list(keys = c(c$keys, list(l$names)), texts = c(c$texts, padded))
      }
    }
    combos <- next_combos
  }
  keys <- vapply(combos, function(c) path_key(c$keys), "")
  keep <- !duplicated(keys)
  list(levels = level_names, texts = lapply(combos[keep], `[[`, "texts"), keys = keys[keep],
       dimension_names = vapply(dimensions, function(d) entry_name(d$name), ""))
}

table_frame <- function(table) {
  title <- if (is.null(table$title$text)) "" else table$title$text
  dimensions <- table$dimensions
  on_columns <- vapply(dimensions, function(d) identical(d$axis, "column"), TRUE)
  rows <- axis_of(dimensions[!on_columns])
  columns <- axis_of(dimensions[on_columns])
  numbers <- matrix(NA_real_, length(rows$keys), length(columns$keys))
  texts <- matrix("", length(rows$keys), length(columns$keys))
  for (cell in table$cells) {
    path <- cell$path
    r <- match(path_key(lapply(rows$dimension_names, function(k) unlist(path[[k]]))), rows$keys)
    c <- match(path_key(lapply(columns$dimension_names, function(k) unlist(path[[k]]))), columns$keys)
    if (is.na(r) || is.na(c)) next
    if (is.numeric(cell$value)) numbers[r, c] <- cell$value
    if (!is.null(cell$text)) texts[r, c] <- cell$text
  }
  column_names <- if (length(columns$levels)) {
    vapply(columns$texts, function(t) paste(t[nzchar(t)], collapse = " / "), "")
  } else {
    title
  }
  colnames(numbers) <- colnames(texts) <- column_names
  leading <- lapply(seq_along(rows$levels), function(k) vapply(rows$texts, `[[`, "", k))
  # A column without a number in any cell (the marks of a pattern table)
  # holds its texts.
  values <- lapply(seq_len(ncol(numbers)), function(k) {
    if (all(is.na(numbers[, k]))) unname(texts[, k]) else unname(numbers[, k])
  })
  frame <- as.data.frame(c(leading, values),
                         col.names = seq_len(length(leading) + ncol(numbers)), stringsAsFactors = FALSE)
  names(frame) <- c(rows$levels, column_names)
  attr(frame, "texts") <- texts
  attr(frame, "key") <- table$title$key
  attr(frame, "footnotes") <- table$footnotes
  frame
}

# A JSON document as R lists (objects as named lists, null as NULL), parsed
# by the engine's reader: for the tests, which read the program's output.
parse_json <- function(text) .Call(mva_parse_json, enc2utf8(paste(text, collapse = "\n")))
