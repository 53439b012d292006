// The Python extension `mva._mva`: runs MVA commands over the columns of a
// data frame through the reference host, and hands back the output document
// for the package to render or convert. Numeric columns are read in place
// from their arrays; the procedure runs with the interpreter's lock released,
// so other Python threads (and other analyses) go on meanwhile. What the
// package sees of a run is the document: every number in it was computed by
// the procedure. Ctrl-C stops a run of the main thread with KeyboardInterrupt.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <memory>
#include <new>
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
#include "host/services/workers.h"

namespace py = pybind11;

namespace mva::python {

namespace {

// The most commands and tokens one call takes, as the program's bounds.
constexpr std::size_t kMaxCommands = 10000;
constexpr std::size_t kMaxTokens = 1'000'000;

// The output of one call: the document, and whether every command ran.
class Document {
 public:
  Document(host::OutputDocument document, bool failed)
      : document_(std::make_shared<host::OutputDocument>(std::move(document))), failed_(failed) {}
  std::string json() const { return host::render_json(*document_); }
  std::string html() const { return host::render_html(*document_); }
  std::string text() const { return host::render_text(*document_); }
  std::string markdown() const { return host::render_markdown(*document_); }
  bool failed() const { return failed_; }

 private:
  std::shared_ptr<const host::OutputDocument> document_;
  bool failed_;
};

// A column as the package hands it over: (header, values, value labels),
// the values a one-dimensional float64 array or a list of texts and Nones.
struct HeldColumn {
  host::MemoryColumn column;
  py::array_t<double> numbers;  // keeps a numeric column's array alive while it is read
};

std::string text_of(const py::handle& item) {
  if (py::isinstance<py::str>(item)) return item.cast<std::string>();
  return py::str(item).cast<std::string>();
}

HeldColumn take_column(const py::tuple& spec, std::int64_t cases) {
  HeldColumn held;
  held.column.header = spec[0].cast<std::string>();
  const py::object values = spec[1];
  if (py::isinstance<py::array>(values)) {
    held.numbers = py::array_t<double>::ensure(values);
    if (!held.numbers || held.numbers.ndim() != 1 || held.numbers.shape(0) != cases) {
      throw std::invalid_argument("column " + held.column.header + ": not one float64 value per row");
    }
    held.column.numbers = held.numbers.data();
    held.column.stride = held.numbers.strides(0) / static_cast<py::ssize_t>(sizeof(double));
  } else {
    const py::list texts = values.cast<py::list>();
    if (static_cast<std::int64_t>(texts.size()) != cases) {
      throw std::invalid_argument("column " + held.column.header + ": not one text per row");
    }
    held.column.texts.reserve(texts.size());
    held.column.no_value.reserve(texts.size());
    for (const py::handle item : texts) {
      const bool none = item.is_none() || (py::isinstance<py::float_>(item) && std::isnan(item.cast<double>()));
      held.column.no_value.push_back(none);
      held.column.texts.push_back(none ? std::string() : text_of(item));
    }
  }
  if (!spec[2].is_none()) {
    for (const auto& [value, label] : spec[2].cast<py::dict>()) {
      held.column.value_labels.numeric[value.cast<double>()] = text_of(label);
    }
  }
  return held;
}

// Ctrl-C while a run goes on in the interpreter's main thread. Python's own
// handler would only run once the engine returns, so for the run's length
// the signal goes to a handler of ours, which asks the hosts to stop (their
// procedures poll for that often); the run then raises KeyboardInterrupt,
// as Python would have. The stop is the process's, as the signal is: a run
// in another thread stops too.
std::atomic<bool> interrupted_run{false};

extern "C" void on_interrupt(int) {
  interrupted_run = true;
  host::ReferenceHost::request_interrupt();
}

class InterruptScope {
 public:
  explicit InterruptScope(bool main_thread) {
    if (!main_thread) return;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    active_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
  ~InterruptScope() {
    if (active_) sigaction(SIGINT, &previous_, nullptr);
  }

  // After the run, with the interpreter's lock held: raises
  // KeyboardInterrupt when Ctrl-C stopped it, and lets later runs go on.
  void raise_if_interrupted() const {
    if (!active_ || !interrupted_run.exchange(false)) return;
    host::ReferenceHost::clear_interrupt();
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }

 private:
  bool active_ = false;
  struct sigaction previous_ {};
};

bool in_main_thread() {
  const py::module_ threading = py::module_::import("threading");
  return threading.attr("current_thread")().is(threading.attr("main_thread")());
}

// Runs `commands` over the columns. Options: weight, split (list), missing
// (list of "VAR=..." specifications), seed, workspace (bytes), max_cells,
// threads (that measure the columns; 0 for the machine's cores).
// Throws DataError for data the host cannot take and CommandError for
// commands that cannot be split.
Document run(const py::list& columns, std::int64_t cases, const std::string& commands, const py::dict& options) {
  std::vector<HeldColumn> held;
  for (const py::handle spec : columns) held.push_back(take_column(spec.cast<py::tuple>(), cases));
  host::DataOptions data_options;
  data_options.data_path = options.contains("source") ? options["source"].cast<std::string>() : "data frame";
  if (options.contains("weight") && !options["weight"].is_none()) {
    data_options.weight = options["weight"].cast<std::string>();
  }
  if (options.contains("split")) data_options.split = options["split"].cast<std::vector<std::string>>();
  if (options.contains("missing")) data_options.missing = options["missing"].cast<std::vector<std::string>>();
  if (options.contains("threads")) data_options.threads = options["threads"].cast<int>();
  host::HostOptions host_options;
  host_options.progress = false;
  host_options.threads = data_options.threads > 0 ? data_options.threads : host::Workers::cores();
  if (options.contains("seed")) host_options.seed = options["seed"].cast<std::uint32_t>();
  if (options.contains("workspace")) host_options.workspace_bytes = options["workspace"].cast<std::int64_t>();
  if (options.contains("max_cells")) host_options.max_cells = options["max_cells"].cast<std::int64_t>();

  // The workers stay from one run to the next (the last thread count's):
  // the threads of a new pool join it only a while after the last pool has
  // gone, and a run's first passes would have one thread until then. Set
  // while the interpreter's lock is held; never freed, as the interpreter
  // never unloads the module.
  static auto* const kept = new std::shared_ptr<host::Workers>();
  *kept = host::Workers::shared(host_options.threads);

  std::optional<Document> document;
  const InterruptScope interrupts(in_main_thread());
  data_options.interrupted = [] { return host::ReferenceHost::interrupted(); };
  try {
    const py::gil_scoped_release unlocked;
    std::vector<host::MemoryColumn> memory;
    memory.reserve(held.size());
    for (HeldColumn& h : held) memory.push_back(std::move(h.column));
    std::vector<host::Command> split = host::split_commands(commands, "commands", kMaxCommands, kMaxTokens);
    if (split.empty()) throw host::CommandError("commands: no command to run; give \"MVA ... .\"");
    host::ReferenceHost host(host::DataSet::from_columns(memory, cases, data_options), host_options);
    memory.clear();
    const bool failed = !cli::run_commands(host, std::move(split));
    document.emplace(std::move(host.output()), failed);
  } catch (const host::LoadInterrupted&) {
    interrupts.raise_if_interrupted();
    throw;
  }
  interrupts.raise_if_interrupted();
  return std::move(*document);
}

}  // namespace

}  // namespace mva::python

PYBIND11_MODULE(_mva, m) {
  using mva::python::Document;
  m.doc() = "The engine of the mva package: runs MVA commands over in-memory columns.";
  py::register_exception<mva::host::DataError>(m, "DataError", PyExc_ValueError);
  py::register_exception<mva::host::CommandError>(m, "CommandError", PyExc_ValueError);
  // The renderers run with the interpreter's lock released, as the run
  // does: a document of per-case tables takes a while to lay out.
  using Unlocked = py::call_guard<py::gil_scoped_release>;
  py::class_<Document>(m, "Document")
      .def("json", &Document::json, Unlocked(), "The document as --format json writes it.")
      .def("html", &Document::html, Unlocked(), "The document as one HTML page.")
      .def("text", &Document::text, Unlocked(), "The document as text.")
      .def("markdown", &Document::markdown, Unlocked(), "The document as Markdown.")
      .def_property_readonly("failed", &Document::failed, "Whether a command ended with an error.");
  m.def("run", &mva::python::run, py::arg("columns"), py::arg("cases"), py::arg("commands"), py::arg("options"),
        "Runs the commands over the columns: a list of (header, float64 array or list of texts, value labels).");
  m.def("variable_names", &mva::host::variable_names, py::arg("headers"),
        "The variable name of each header, by the rule the CSV reader follows.");
}
