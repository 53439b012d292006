// The error raised while reading a data file or its dictionary: a CSV syntax
// fault, a cell that does not fit its variable, a bad dictionary entry or a
// bad data option. Its message is complete and meant for the user as it
// stands: it names the file (or option) and, where there is one, the line,
// the column and the variable.
#pragma once

#include <stdexcept>

namespace mva::host {

class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Loading stopped because the user asked (Ctrl-C).
class LoadInterrupted : public std::runtime_error {
 public:
  LoadInterrupted() : std::runtime_error("loading the data was interrupted") {}
};

}  // namespace mva::host
