// Test support: the program run in-process with its output captured, files
// written for it, and short texts of a document's messages and of a data
// set's cases.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/data/data_set.h"
#include "host/output/output_document.h"

namespace mva::test {

struct ProgramRun {
  int status;
  std::string out, err;
};

// Runs the program with these arguments; returns its status and what it wrote.
ProgramRun run_mva(const std::vector<std::string>& args);

// The message of the exception `action` throws, or "(no error)".
std::string error_of(const std::function<void()>& action);

// Writes `text` to dir/name; returns the path.
std::string write_file(const std::string& dir, const std::string& name, const std::string& text);

// The messages and split markers of a document, in order, as "key class
// severity [xgroups]" and "split TEXT".
std::vector<std::string> outline(const host::OutputDocument& doc);

// Every case of `data` as "cell|cell|...;line", numbers by their shortest
// text ("." for system-missing), strings by their characters less trailing
// blanks.
std::vector<std::string> cases_of(const host::DataSet& data);

// Everything a data set holds, as one text: each slot of its dictionary
// (missing values by their bits), then, with `notes_and_lines`, its notes,
// and every case's cells by their bits, after its line when `notes_and_lines`.
std::string data_text(const host::DataSet& data, bool notes_and_lines = true);

}  // namespace mva::test
