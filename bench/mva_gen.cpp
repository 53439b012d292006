// mva_gen: writes a synthetic CSV data file (see synthetic_data.h) for timing
// the program on large data, e.g.
//   mva_gen --cases 1000000 --vars 20 --patterns 50 --output big.csv
//   mva --data big.csv --no-progress -e "MVA x1 TO x20 /LISTWISE /PAIRWISE."
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "synthetic_data.h"

namespace {

constexpr const char* kUsage =
    "usage: mva_gen [options]\n"
    "Writes a synthetic CSV data file of correlated variables with values missing at random.\n"
    "  --cases N        records after the header (default 1000)\n"
    "  --vars P         quantitative variables x1..xP (default 20)\n"
    "  --loading L      factor loading of every x, 0..1; pairs correlate at about L^2 (default 0.7)\n"
    "  --missing-min R  missing rate of x1 (default 0.05)\n"
    "  --missing-max R  missing rate of xP, rates rising evenly between (default 0.30)\n"
    "  --patterns K     distinct missing patterns; 0: cells missing independently (default 0)\n"
    "  --weight         add a weight column w with fractional values\n"
    "  --groups G       split groups in a leading column g (default 1)\n"
    "  --categorical K  numeric categorical columns c1..cK, codes 1..5\n"
    "  --strings M      string columns s1..sM\n"
    "  --seed S         seed of the random stream (default 12345)\n"
    "  --output FILE    file to write (default: standard output)\n";

// Reads a whole option value as a number within [low, high].
template <typename T>
bool read_value(std::string_view text, T low, T high, T& into) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) return false;
  into = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  mva::bench::SyntheticSpec spec;
  std::string output;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view option = args[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (option == "--weight") {
      spec.weight = true;
      continue;
    }
    if (i + 1 == args.size()) {
      std::fprintf(stderr, "mva_gen: %.*s needs a value\n%s", static_cast<int>(option.size()), option.data(), kUsage);
      return 2;
    }
    const std::string_view value = args[++i];
    bool good = true;
    if (option == "--cases") {
      good = read_value<std::int64_t>(value, 0, std::int64_t{1} << 40, spec.cases);
    } else if (option == "--vars") {
      good = read_value(value, 1, 100000, spec.variables);
    } else if (option == "--loading") {
      good = read_value(value, 0.0, 1.0, spec.loading);
    } else if (option == "--missing-min") {
      good = read_value(value, 0.0, 1.0, spec.missing_min);
    } else if (option == "--missing-max") {
      good = read_value(value, 0.0, 1.0, spec.missing_max);
    } else if (option == "--patterns") {
      good = read_value(value, 0, 1 << 30, spec.patterns);
    } else if (option == "--groups") {
      good = read_value(value, 1, 1 << 30, spec.groups);
    } else if (option == "--categorical") {
      good = read_value(value, 0, 100000, spec.categorical);
    } else if (option == "--strings") {
      good = read_value(value, 0, 100000, spec.strings);
    } else if (option == "--seed") {
      good = read_value<std::uint32_t>(value, 0, 0xFFFFFFFFu, spec.seed);
    } else if (option == "--output" || option == "-o") {
      output = std::string(value);
    } else {
      std::fprintf(stderr, "mva_gen: unknown option %.*s\n%s", static_cast<int>(option.size()), option.data(), kUsage);
      return 2;
    }
    if (!good) {
      std::fprintf(stderr, "mva_gen: %.*s: \"%.*s\" is not a number in range\n", static_cast<int>(option.size()),
                   option.data(), static_cast<int>(value.size()), value.data());
      return 2;
    }
  }

  std::FILE* file = output.empty() ? stdout : std::fopen(output.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "mva_gen: cannot open %s for writing\n", output.c_str());
    return 2;
  }
  bool failed = false;
  mva::bench::write_synthetic_csv(spec, [&](std::string_view piece) {
    failed = failed || std::fwrite(piece.data(), 1, piece.size(), file) != piece.size();
  });
  failed = (file != stdout ? std::fclose(file) != 0 : std::fflush(file) != 0) || failed;
  if (failed) {
    std::fprintf(stderr, "mva_gen: cannot write %s\n", output.empty() ? "standard output" : output.c_str());
    if (!output.empty()) std::remove(output.c_str());  // no half-written file
    return 2;
  }
  return 0;
}
