// libFuzzer target: hands each input to the options entry point.
#include "fuzz/entries/entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  mva::fuzz::options_input(data, size);
  return 0;
}
