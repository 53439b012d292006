// Entry points of the fuzz targets: each takes arbitrary bytes, drives one
// reader or the whole command path with them, and returns normally for every
// input that gets a result or a clean message. A crash, a sanitizer report or
// a failed check (abort) is a fault. The libFuzzer targets call them, and the
// ordinary test suite replays the kept inputs through the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mva::fuzz {

// The CSV reader with type inference: the first byte picks the delimiter,
// the second the NA tokens and the third the dictionary applied; the rest is
// the file.
void csv_input(const std::uint8_t* data, std::size_t size);

// The dictionary file reader: the bytes are the dictionary's JSON text,
// applied to a fixed small data set.
void dictionary_input(const std::uint8_t* data, std::size_t size);

// The program's option parsers: the bytes, split at line ends, are the
// arguments; options that parse are then applied to a fixed small data set.
void options_input(const std::uint8_t* data, std::size_t size);

// The whole command path: the bytes are a command script, split into
// commands and run through the procedure over a fixed data set with missing
// values, user-missing codes, a string, a categorical, a weight and a split
// variable, in a small workspace with a small cell limit; the output is
// rendered in every format.
void command_input(const std::uint8_t* data, std::size_t size);

}  // namespace mva::fuzz
