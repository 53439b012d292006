// The R package's engine: runs MVA commands over the columns of a data frame
// through the reference host, and hands back the output document as R lists
// (the JSON document --format json writes, parsed) with its text rendering.
// Numeric columns are read in place from their double vectors (NA and NaN are
// system-missing). What the package sees of a run is the document: every
// number in it was computed by the procedure. Problems with the data or the
// commands come back as a list (kind, message) for the R code to raise as a
// condition; an exception of any other kind becomes an R error.
#include <Rcpp.h>

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/program.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_error.h"
#include "host/data/data_set.h"
#include "host/data/variable_names.h"
#include "host/output/output_document.h"
#include "host/output/renderers.h"
#include "host/reference_host.h"

namespace {

// The most commands and tokens one call takes, as the program's bounds.
constexpr std::size_t kMaxCommands = 10000;
constexpr std::size_t kMaxTokens = 1'000'000;

// A JSON value as R values: an object is a named list, an array a list, a
// number a double, null NULL.
SEXP to_r(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      Rcpp::List list(value.size());
      Rcpp::CharacterVector names(value.size());
      R_xlen_t k = 0;
      for (const auto& [key, item] : value.items()) {
        list[k] = to_r(item);
        names[k] = Rcpp::String(key, CE_UTF8);
        ++k;
      }
      list.attr("names") = names;
      return list;
    }
    case nlohmann::json::value_t::array: {
      Rcpp::List list(value.size());
      R_xlen_t k = 0;
      for (const auto& item : value) list[k++] = to_r(item);
      return list;
    }
    case nlohmann::json::value_t::string:
      return Rcpp::CharacterVector::create(Rcpp::String(value.get_ref<const std::string&>(), CE_UTF8));
    case nlohmann::json::value_t::boolean: return Rcpp::LogicalVector::create(value.get<bool>());
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned:
    case nlohmann::json::value_t::number_float: return Rcpp::NumericVector::create(value.get<double>());
    default: return R_NilValue;
  }
}

std::string utf8(SEXP text) { return Rf_translateCharUTF8(text); }

// A column as the package hands it over: list(header, values, labels), the
// values a double vector or a character vector, the labels NULL or a
// character vector named by the codes.
mva::host::MemoryColumn take_column(const Rcpp::List& spec, R_xlen_t cases) {
  mva::host::MemoryColumn column;
  column.header = Rcpp::as<std::string>(spec[0]);
  SEXP values = spec[1];
  if (Rf_xlength(values) != cases) {
    throw std::invalid_argument("column " + column.header + ": not one value per row");
  }
  if (TYPEOF(values) == REALSXP) {
    column.numbers = REAL(values);
  } else if (TYPEOF(values) == STRSXP) {
    column.texts.reserve(static_cast<std::size_t>(cases));
    column.no_value.reserve(static_cast<std::size_t>(cases));
    for (R_xlen_t i = 0; i < cases; ++i) {
      SEXP text = STRING_ELT(values, i);
      const bool none = text == NA_STRING;
      column.no_value.push_back(none);
      column.texts.push_back(none ? std::string() : utf8(text));
    }
  } else {
    throw std::invalid_argument("column " + column.header + ": neither numbers nor texts");
  }
  SEXP labels = spec[2];
  if (labels != R_NilValue) {
    SEXP codes = Rf_getAttrib(labels, R_NamesSymbol);
    for (R_xlen_t k = 0; k < Rf_xlength(labels); ++k) {
      column.value_labels.numeric[std::stod(utf8(STRING_ELT(codes, k)))] = utf8(STRING_ELT(labels, k));
    }
  }
  return column;
}

template <typename T>
std::optional<T> option(const Rcpp::List& options, const char* name) {
  if (!options.containsElementNamed(name) || Rf_isNull(options[name])) return std::nullopt;
  return Rcpp::as<T>(options[name]);
}

Rcpp::List problem(const char* kind, const std::string& message) {
  return Rcpp::List::create(Rcpp::Named("error") = kind, Rcpp::Named("message") = Rcpp::String(message, CE_UTF8));
}

// Runs `commands` over the columns. Options: source (the data's name in
// messages), weight, split and missing (character vectors; missing holds
// "VAR=..." specifications), seed, workspace (bytes), max_cells.
Rcpp::List run(const Rcpp::List& columns, double cases, const std::string& commands, const Rcpp::List& options) {
  const auto count = static_cast<R_xlen_t>(cases);
  std::vector<mva::host::MemoryColumn> memory;
  memory.reserve(static_cast<std::size_t>(columns.size()));
  for (R_xlen_t c = 0; c < columns.size(); ++c) memory.push_back(take_column(columns[c], count));

  mva::host::DataOptions data_options;
  data_options.data_path = option<std::string>(options, "source").value_or("data frame");
  data_options.weight = option<std::string>(options, "weight");
  data_options.split = option<std::vector<std::string>>(options, "split").value_or(std::vector<std::string>{});
  data_options.missing = option<std::vector<std::string>>(options, "missing").value_or(std::vector<std::string>{});
  mva::host::HostOptions host_options;
  host_options.progress = false;
  if (auto seed = option<double>(options, "seed")) host_options.seed = static_cast<std::uint32_t>(*seed);
  if (auto bytes = option<double>(options, "workspace"))
    host_options.workspace_bytes = static_cast<std::int64_t>(*bytes);
  if (auto cells = option<double>(options, "max_cells")) host_options.max_cells = static_cast<std::int64_t>(*cells);

  try {
    std::vector<mva::host::Command> split = mva::host::split_commands(commands, "commands", kMaxCommands, kMaxTokens);
    if (split.empty()) return problem("commands", "commands: no command to run; give \"MVA ... .\"");
    mva::host::ReferenceHost host(mva::host::DataSet::from_columns(memory, count, data_options), host_options);
    memory.clear();
    const bool failed = !mva::cli::run_commands(host, std::move(split));
    const std::string json = mva::host::render_json(host.output());
    return Rcpp::List::create(Rcpp::Named("document") = to_r(nlohmann::json::parse(json)),
                              Rcpp::Named("json") = Rcpp::String(json, CE_UTF8),
                              Rcpp::Named("text") = Rcpp::String(mva::host::render_text(host.output()), CE_UTF8),
                              Rcpp::Named("failed") = failed);
  } catch (const mva::host::DataError& error) {
    return problem("data", error.what());
  } catch (const mva::host::CommandError& error) {
    return problem("commands", error.what());
  }
}

}  // namespace

extern "C" {

SEXP mva_run(SEXP columns, SEXP cases, SEXP commands, SEXP options) {
  BEGIN_RCPP
  return run(Rcpp::List(columns), Rcpp::as<double>(cases), Rcpp::as<std::string>(commands), Rcpp::List(options));
  END_RCPP
}

SEXP mva_parse_json(SEXP text) {
  BEGIN_RCPP
  return to_r(nlohmann::json::parse(Rcpp::as<std::string>(text)));
  END_RCPP
}

SEXP mva_variable_names(SEXP headers) {
  BEGIN_RCPP
  Rcpp::CharacterVector in(headers);
  std::vector<std::string> texts;
  for (R_xlen_t k = 0; k < in.size(); ++k) texts.push_back(utf8(in[k]));
  Rcpp::CharacterVector out;
  for (const std::string& name : mva::host::variable_names(texts)) out.push_back(Rcpp::String(name, CE_UTF8));
  return out;
  END_RCPP
}

static const R_CallMethodDef kCallMethods[] = {
    {"mva_run", reinterpret_cast<DL_FUNC>(&mva_run), 4},
    {"mva_parse_json", reinterpret_cast<DL_FUNC>(&mva_parse_json), 1},
    {"mva_variable_names", reinterpret_cast<DL_FUNC>(&mva_variable_names), 1},
    {nullptr, nullptr, 0},
};

void R_init_mva(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCallMethods, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
}

}  // extern "C"
