// mva_gen: writes a synthetic CSV data file (see synthetic_data.h) for timing
// the program on large data, e.g.
//   mva_gen --cases 1000000 --vars 20 --patterns 50 --output big.csv
//   mva --data big.csv --no-progress -e "MVA x1 TO x20 /LISTWISE /PAIRWISE."
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "synthetic_data.h"

int main(int argc, char** argv) {
  mva::bench::SyntheticSpec spec;
  std::string output;
  CLI::App app{"Writes a synthetic CSV data file of correlated variables with values missing at random.", "mva_gen"};
  app.add_option("--cases", spec.cases, "records after the header")
      ->check(CLI::Range(std::int64_t{0}, std::int64_t{1} << 40))
      ->capture_default_str();
  app.add_option("--vars", spec.variables, "quantitative variables x1..xP")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  app.add_option("--loading", spec.loading, "factor loading of every x; pairs correlate at about L^2")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--missing-min", spec.missing_min, "missing rate of x1")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--missing-max", spec.missing_max, "missing rate of xP, rates rising evenly between")
      ->check(CLI::Range(0.0, 1.0))
      ->capture_default_str();
  app.add_option("--patterns", spec.patterns, "distinct missing patterns; 0: cells missing independently")
      ->check(CLI::Range(0, 1 << 30))
      ->capture_default_str();
  app.add_flag("--weight", spec.weight, "add a weight column w with fractional values");
  app.add_option("--groups", spec.groups, "split groups in a leading column g")
      ->check(CLI::Range(1, 1 << 30))
      ->capture_default_str();
  app.add_option("--categorical", spec.categorical, "numeric categorical columns c1..cK, codes 1..5")
      ->check(CLI::Range(0, 100000));
  app.add_option("--strings", spec.strings, "string columns s1..sM")->check(CLI::Range(0, 100000));
  app.add_option("--seed", spec.seed, "seed of the random stream")->capture_default_str();
  app.add_option("-o,--output", output, "file to write (default: standard output)");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
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
