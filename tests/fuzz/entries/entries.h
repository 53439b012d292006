// Entry points of the fuzz targets: each takes arbitrary bytes, drives one
// reader or the whole command path with them, and returns normally for every
// input that gets a result or a clean message. A crash, a sanitizer report or
// a failed check (abort) is a fault. The libFuzzer targets call them, and the
// ordinary test suite replays the kept inputs through the same functions;
// the fixed data, the output check and the scratch folder serve its tests
// too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/data/data_set.h"
#include "host/output/output_document.h"

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

// The fixed data set (id age income q s region w g) loaded with its
// dictionary (user-missing codes, the string, value labels), weight w and
// split g.
host::DataSet fixed_data_set();

// Where a number that is not finite stands in a table cell, a table property
// or a message parameter ("table 3 cell 12", "message KEY"); empty when
// there is none.
std::vector<std::string> nonfinite_numbers(const host::OutputDocument& document);

// Runs `action` with a fresh empty folder as the current one, then returns
// to the earlier folder and removes it; returns the names of the files the
// action left there, in name order.
std::vector<std::string> in_scratch_folder(const std::function<void()>& action);

}  // namespace mva::fuzz
