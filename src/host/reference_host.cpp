// The reference host's services for the procedure's frame, tokens, dictionary,
// cases, saved files, workspace, failures and numerics. Cases are read group
// by group from the data set into the case buffer in the workspace; the
// group's split values are kept for the split marker and for the notes that
// name the group. A group's messages raised before its split marker (while
// the command is read again and the cases are read) wait for the marker, so
// they stand under the group they belong to; a syntax message names the
// place in the script of the token being read. Faults of the caller (freeing
// an array with the wrong size, an unknown token stack) become internal
// errors that stop the procedure.
#include "host/reference_host.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "host/commands/variable_list.h"
#include "host/data/dictionary_json.h"
#include "host/services/workers.h"

#include <nlohmann/json.hpp>

namespace mva::host {

namespace {

// Set by the first Ctrl-C and kept: it stops the running procedure at its
// next poll, and the program runs no further command. One for the process,
// as the signal is; every host polls it.
std::atomic<bool> interrupt_requested{false};

}  // namespace

ReferenceHost::ReferenceHost(DataSet data, const HostOptions& options)
    : data_(std::move(data)),
      reader_(data_.reader()),
      options_(options),
      arena_(options.workspace_bytes),
      random_(options.seed),
      progress_(options.progress) {
  static const VarRecord empty;
  record_ = &empty;
  reader_.set_unsorted_callback([this](const std::string& detail) {
    BP_ERROR(message("HOST_ SPLIT FILE NOT SORTED BY ^1", {detail}), MessageClass::Runtime, Severity::Warning);
  });
  // The output opens with what is analysed, then what the user should know
  // about how the data were read.
  announce_data();
  for (const LoadNote& note : data_.notes())
    output_.add_message(message(note.key, note.params), static_cast<int>(MessageClass::Runtime),
                        static_cast<int>(Severity::Note));
}

bool ReferenceHost::request_interrupt() { return !interrupt_requested.exchange(true); }

bool ReferenceHost::interrupted() { return interrupt_requested; }

void ReferenceHost::clear_interrupt() { interrupt_requested = false; }

void ReferenceHost::report_interrupt() {
  if (interrupt_reported_) return;
  interrupt_reported_ = true;
  BP_ERROR(message("HOST_ INTERRUPTED", {}), MessageClass::Runtime, Severity::Error);
}

void ReferenceHost::abandon_out_of_memory() {
  if (!in_procedure_) return;
  // The procedure's own closing sequence did not run: its saved files go
  // first (that takes no memory), then the message, then whatever it left
  // open ends here.
  for (const FileHandle handle : defined_) {
    if (saved_.contains(handle)) discard_saved(handle);
  }
  try {
    BP_ERROR(message("HOST_ OUT OF MEMORY", {}), MessageClass::Runtime, Severity::Error);
  } catch (const std::bad_alloc&) {
    error_flag_ = true;  // not even the message fits: the command still fails
  }
  BP_END_PROCEDURE();
}

void ReferenceHost::load_command(Command command) {
  echo_command(command);
  command_source_ = command.source_name;
  tokens_.load(std::move(command));
}

void ReferenceHost::report(const Text& text, MessageClass msg_class, Severity severity) {
  BP_ERROR(text, msg_class, severity);
}

// ---- Frame --------------------------------------------------------------------

void ReferenceHost::BP_PROCEDURE(std::string_view, int, int, Workspace&) {
  error_flag_ = groups_done_ = data_stopped_ = group_ended_ = false;
  in_procedure_ = true;
  reading_command_ = final_reading_ = group_announced_ = false;
  held_.clear();
  procedure_start_ = output_.items().size();
  interrupt_reported_ = false;  // a Ctrl-C once recorded stays: no later command runs
  arena_.reset();
  case_buffer_ = 0;
  compositions_.clear();
}

int ReferenceHost::BP_END_PROCEDURE() {
  end_groups();
  // Whatever the procedure left open ends with it, so that the next command's
  // tables and headings stand on their own and table 1 starts afresh.
  output_.close_all();
  // A file the procedure defined but never handed to SFCLDE (its dictionary
  // failed, or the procedure stopped first) is not kept.
  for (const FileHandle handle : defined_) {
    if (saved_.contains(handle)) discard_saved(handle);
  }
  saved_.discard_all();
  records_.clear();
  pending_labels_ = {};
  if (split_count() > 0) output_.fold_group_repeats(procedure_start_);
  show_files_saved();
  saved_entries_.clear();
  defined_.clear();
  kept_.clear();
  spec_read_ = 0;
  in_procedure_ = false;
  progress_.show("", -1);
  // Arrays a failed group left laid out are reclaimed with the procedure.
  arena_.reset();
  case_buffer_ = 0;
  reading_ = false;
  return error_flag_ ? 1 : 0;
}

void ReferenceHost::BP_SPLIT_CHANGE(Workspace&) {
  reading_command_ = false;
  announce_group();
  place_held_messages();
}

void ReferenceHost::announce_group() {
  if (group_announced_) return;
  std::vector<SplitValue> values;
  for (const SplitCell& cell : group_split_) {
    SplitValue sv;
    sv.variable = data_.dictionary().slot(cell.v).name;
    const bool is_string = data_.dictionary().slot(cell.v).type > 0;
    sv.value = is_string ? std::numeric_limits<double>::quiet_NaN() : cell.number;
    sv.text = cell.text;
    values.push_back(std::move(sv));
  }
  output_.add_split(std::move(values));
  group_announced_ = true;
}

void ReferenceHost::place_held_messages() {
  if (held_.empty()) return;
  if (!group_split_.empty()) announce_group();
  for (MessageItem& m : held_) output_.add_message(std::move(m));
  held_.clear();
}

void ReferenceHost::end_groups() {
  reading_command_ = final_reading_ = false;
  place_held_messages();
}

// The split values of the group whose first case is in `cells`.
void ReferenceHost::note_group(const std::vector<double>& cells) {
  group_split_.clear();
  const std::vector<std::int64_t>& split = data_.dictionary().split();
  for (std::size_t k = 0; k < split.size(); ++k) {
    const std::int64_t v = split[k];
    const auto first = cells.begin() + (v - 1);
    group_split_.push_back(SplitCell{v, cells[static_cast<std::size_t>(v - 1)], reader_.group_value_text(k),
                                     std::vector<double>(first, first + data_.dictionary().slot_count(v))});
  }
}

std::int64_t ReferenceHost::split_count() const { return static_cast<std::int64_t>(data_.dictionary().split().size()); }

std::int64_t ReferenceHost::split_variable(std::int64_t k) const {
  const std::vector<std::int64_t>& split = data_.dictionary().split();
  if (k < 1 || k > static_cast<std::int64_t>(split.size())) return 0;
  return split[static_cast<std::size_t>(k - 1)];
}

std::span<const double> ReferenceHost::split_cells(std::int64_t k) const {
  if (k < 1 || k > static_cast<std::int64_t>(group_split_.size())) return {};
  return group_split_[static_cast<std::size_t>(k - 1)].cells;
}

std::optional<std::pair<std::string, std::string>> ReferenceHost::values_sharing_first_cell(std::int64_t v) const {
  return data_.values_sharing_first_cell(v);
}

// Without --max-cells every table may be as large as it needs.
std::int64_t ReferenceHost::max_table_cells() const {
  return options_.max_cells > 0 ? options_.max_cells : std::numeric_limits<std::int64_t>::max();
}

std::int64_t ReferenceHost::weight_var() const { return data_.dictionary().weight(); }

// ---- Tokens -------------------------------------------------------------------

void ReferenceHost::SSTACK(Workspace&, StackHandle& handle, int, std::int64_t& position) {
  handle = tokens_.stack(position);
  reading_command_ = true;
  group_announced_ = false;
}

void ReferenceHost::SSETPT(Workspace&, StackHandle handle, std::int64_t position) {
  if (position == 0) {
    if (groups_done_) {
      // After the last split group the procedure reads its command once
      // more before it learns that no group is left; the syntax warnings of
      // that reading were shown for every group and are not shown again.
      final_reading_ = true;
    } else {
      // The next group's reading: its messages wait for its split marker.
      group_announced_ = false;
      group_split_.clear();
    }
  }
  reading_command_ = true;
  guarded("SSETPT", [&] { tokens_.set_position(handle, position); });
}

void ReferenceHost::SSDELS(Workspace&, StackHandle handle) {
  end_groups();
  guarded("SSDELS", [&] { tokens_.drop(handle); });
}

void ReferenceHost::SSNXT1(Workspace&, StackHandle handle) {
  guarded("SSNXT1", [&] { tokens_.next(handle); });
}

bool ReferenceHost::QABEQL(std::string_view token, std::string_view keyword, int n) const {
  return keyword_equal(token, keyword, n);
}

bool ReferenceHost::QCHEQL(char a, char b) const {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

std::int64_t ReferenceHost::ICHWDC(std::string_view text) const { return trimmed_length(text); }

void ReferenceHost::PRVRLT(Workspace&, StackHandle handle, const ListOptions& options, std::span<std::int64_t> into,
                           std::int64_t& count, Logical& error) {
  const Dictionary& dict = data_.dictionary();
  DictionaryView view;
  view.size = dict.size();
  view.find = [&dict](std::string_view name) { return dict.find(name); };
  view.is_variable = [&dict](std::int64_t v) { return dict.slot(v).type >= 0; };
  view.name = [&dict](std::int64_t v) { return dict.slot(v).name; };

  ListResult result;
  guarded("PRVRLT", [&] { result = read_variable_list(tokens_, handle, options, view); });
  count =
      std::min<std::int64_t>(static_cast<std::int64_t>(result.indices.size()), static_cast<std::int64_t>(into.size()));
  std::copy_n(result.indices.begin(), count, into.begin());
  error = kFalse;
  if (result.fault) {
    BP_ERROR(message(result.fault->key, result.fault->params), MessageClass::Syntax, Severity::Error);
    error = kTrue;
  }
}

std::int64_t ReferenceHost::DICSCH(std::string_view name) const { return data_.dictionary().find(name); }

// ---- Dictionary ---------------------------------------------------------------

std::int64_t ReferenceHost::dict_count() const { return data_.dictionary().size(); }

const VarRecord& ReferenceHost::DICGET(std::int64_t v) {
  // The procedure reads a record's print format only after its pass over
  // the cases (for a saved file's dictionary); until a case is read the
  // formats of columns in memory may still be being measured.
  if (case_read_) data_.settle();
  record_ = &slot(v, "DICGET");
  return *record_;
}

const VarRecord& ReferenceHost::slot(std::int64_t v, std::string_view routine) {
  if (v < 1 || v > dict_count()) ASSERT(routine, "V .GE. 1 .AND. V .LE. NVAR");
  return data_.dictionary().slot(v);
}

// ---- Cases --------------------------------------------------------------------

void ReferenceHost::OBINIT(Workspace&) {
  reader_.rewind();
  groups_done_ = data_stopped_ = group_ended_ = false;
  group_split_.clear();
  group_started_ = false;
  group_cases_ = 0;
  case_cells_.assign(static_cast<std::size_t>(dict_count()), 0.0);
}

void ReferenceHost::OBPINI(Workspace&) {
  // The case buffer: one cell per dictionary slot, in the workspace.
  if (!arena_.allocate(dict_count(), case_buffer_)) {
    BP_ERROR(message("IMEM_ NOT ENOUGH MEMORY", {}), MessageClass::Runtime, Severity::Error);
    return;
  }
  reading_ = true;
}

void ReferenceHost::OBSERV(Workspace& ws) {
  reading_command_ = false;
  if (!reading_ || data_stopped_ || groups_done_) {
    data_stopped_ = true;
    return;
  }
  if (group_ended_) {  // the first case of the next group
    group_ended_ = false;
    group_started_ = false;
    group_cases_ = 0;
  }
  switch (reader_.next(case_cells_.data())) {
    case CaseReader::Next::Case: {
      case_read_ = true;
      const auto n = static_cast<std::size_t>(dict_count());
      std::memcpy(ws.cell(case_buffer_), case_cells_.data(), n * sizeof(double));
      if (!group_started_) {
        note_group(case_cells_);
        group_started_ = true;
      }
      ++group_cases_;
      return;
    }
    case CaseReader::Next::EndOfGroup:
      group_ended_ = true;
      groups_done_ = reader_.at_end();
      return;
    case CaseReader::Next::EndOfData:
      group_ended_ = true;
      groups_done_ = true;
      return;
  }
}

std::int64_t ReferenceHost::OBSERV_BLOCK(Workspace& ws, std::int64_t most, const CaseBlock& block) {
  // Only within a group that OBSERV has started and not ended.
  if (!reading_ || data_stopped_ || groups_done_ || group_ended_ || !group_started_ || most < 1) return 0;
  const auto n = static_cast<std::size_t>(dict_count());
  std::vector<CaseReader::BlockMove> moves;
  for (const CaseBlock::Move& m : block.moves) {
    if (m.slot < 1 || m.slot > dict_count() || m.column < 1 || m.column > block.width) {
      throw std::logic_error("a case block moves a cell from outside the case or to outside its row");
    }
    moves.push_back({static_cast<std::size_t>(m.slot - 1), static_cast<std::size_t>(m.column - 1)});
  }
  if (options_.threads > 1 && !workers_) workers_ = Workers::shared(options_.threads);
  const std::int64_t count = reader_.read_block(most, block.rows, static_cast<std::size_t>(block.width), moves,
                                                case_cells_.data(), workers_.get());
  if (count > 0) {
    std::memcpy(ws.cell(case_buffer_), case_cells_.data(), n * sizeof(double));
    group_cases_ += count;
  }
  return count;
}

void ReferenceHost::for_each_chunk(std::int64_t chunks, const std::function<void(std::int64_t)>& body) {
  if (options_.threads <= 1 || chunks <= 1) {
    Host::for_each_chunk(chunks, body);
    return;
  }
  if (!workers_) workers_ = Workers::shared(options_.threads);
  // One chunk per task: the chunks are already the unit of work, and an
  // exception thrown by a body reaches the caller once all tasks have ended.
  workers_->for_each(static_cast<std::size_t>(chunks), [&](std::size_t c) { body(static_cast<std::int64_t>(c)); });
}

void ReferenceHost::OBPEND(Workspace&) {
  end_groups();
  reading_ = false;
  if (case_buffer_ > 0) {
    arena_.release(case_buffer_, dict_count());
    case_buffer_ = 0;
  }
}

// ---- Saved files --------------------------------------------------------------

void ReferenceHost::SFDFRO(Workspace&, int, FileHandle& handle, Logical& error) {
  const Token& t = tokens_.current();
  error = kFalse;
  if (t.kind != TokenKind::String && t.kind != TokenKind::Name) {
    BP_ERROR(message("HOST_ EXPECTED FILE NAME AT ^1", {t.typed}), MessageClass::Syntax, Severity::Error);
    error = kTrue;
    return;
  }
  const std::string spec = t.kind == TokenKind::String ? t.text : t.typed;
  const std::string path = SavedFiles::path_of(spec);
  const std::string dictionary = SavedFiles::dictionary_path_of(path);
  // The file and its dictionary may replace no file the run reads or writes
  // besides: refused before anything is written.
  std::string problem;
  if (const auto clash = files_.clash(path)) {
    problem = path + ": this is " + *clash + "; name another file";
  } else if (const auto dict_clash = files_.clash(dictionary)) {
    problem = path + ": its dictionary " + dictionary + " is " + *dict_clash + "; name another file";
  } else {
    handle = saved_.define(spec, problem);
  }
  if (handle == 0) {
    BP_ERROR(message("HOST_ CANNOT OPEN OUTFILE ^1", {problem}), MessageClass::Runtime, Severity::Error);
    error = kTrue;
    return;
  }
  files_.claim(path, handle, "the output file " + path + " that this run saves");
  files_.claim(dictionary, handle,
               "the dictionary " + dictionary + " of the output file " + path + " that this run saves");
  defined_.push_back(handle);
  records_.open(handle);
}

void ReferenceHost::discard_saved(FileHandle handle) {
  saved_.discard(handle);
  records_.drop(handle);
  files_.release(handle);
}

void ReferenceHost::SFCLDE(Workspace&, FileHandle handle, int, int, Logical) {
  end_groups();
  if (!saved_.contains(handle)) return;
  if (interrupt_requested) report_interrupt();  // after the last poll: still discarded
  // A file the procedure never listed in Files Saved received no record
  // (no group had a missing value to fill): an earlier file of that name is
  // left as it is, as the procedure's note says.
  const bool listed = std::any_of(saved_entries_.begin(), saved_entries_.end(),
                                  [&](const SavedEntry& e) { return e.handle == handle; });
  if (error_flag_ || !records_.ready(handle) || !listed) {
    discard_saved(handle);
    return;
  }
  std::string problem;
  const std::string json = dictionary_to_json(records_.dictionary(handle)).dump(2);
  records_.drop(handle);
  if (!saved_.commit(handle, json, problem)) {
    files_.release(handle);
    BP_ERROR(message("HOST_ CANNOT WRITE OUTFILE ^1", {problem}), MessageClass::Runtime, Severity::Error);
    return;
  }
  kept_.push_back(handle);
}

void ReferenceHost::DICGETFSP(FileHandle handle, std::span<char> into) {
  std::fill(into.begin(), into.end(), ' ');
  spec_read_ = 0;
  if (!saved_.contains(handle)) return;
  spec_read_ = handle;
  const std::string& path = saved_.path(handle);
  std::copy_n(path.begin(), std::min(path.size(), into.size()), into.begin());
}

void ReferenceHost::show_files_saved() {
  bool shown = false;
  std::vector<FileHandle> done;
  for (const SavedEntry& entry : saved_entries_) {
    // A file written over several split groups has an entry from each: it is
    // listed once.
    if (std::find(kept_.begin(), kept_.end(), entry.handle) == kept_.end()) continue;
    if (std::find(done.begin(), done.end(), entry.handle) != done.end()) continue;
    done.push_back(entry.handle);
    constexpr int table = OutputDocument::kFilesSavedTable;
    output_.cell_dimension(table, saved_dimension_);
    output_.begin_group(table, saved_group_, saved_dimension_);
    output_.cell(table, entry.value, entry.label);
    Text dictionary_label;
    dictionary_label.kind = Text::Kind::Composite;
    dictionary_label.key = "HOST_ DICTIONARY OF ^1";
    dictionary_label.params.push_back(entry.label);
    output_.cell(table, BP_CSTRING_NO_TRANSLATE(SavedFiles::dictionary_path_of(entry.path)), dictionary_label);
    output_.end_group(table, saved_dimension_);
    shown = true;
  }
  if (shown) output_.end_table(OutputDocument::kFilesSavedTable);
}

// ---- Workspace ----------------------------------------------------------------

bool ReferenceHost::QNOMEM(Workspace&, Index& index, int, std::int64_t count, OnShortage on_shortage) {
  constexpr std::int64_t kMaxCount = std::numeric_limits<std::int64_t>::max();
  Index base = 0;
  if (!arena_.allocate(count, base)) {
    if (on_shortage == OnShortage::Report) {
      BP_ERROR(message("HOST_ NOT ENOUGH MEMORY ^1 ^2",
                       {std::to_string(std::clamp<std::int64_t>(count, 0, kMaxCount / 8) * 8),
                        std::to_string(arena_.largest_free() * 8)}),
               MessageClass::Runtime, Severity::Error);
    }
    return true;
  }
  index = base;
  return false;
}

std::int64_t ReferenceHost::GETMEM(Workspace&, Index& index, std::int64_t count, int) {
  return arena_.allocate_up_to(count, index);
}

void ReferenceHost::KPMEM(Workspace&, Index index, std::int64_t keep) {
  guarded("KPMEM", [&] { arena_.shrink(index, keep); });
}

void ReferenceHost::FREMEM(Workspace&, Index index, std::int64_t count) {
  guarded("FREMEM", [&] { arena_.release(index, count); });
}

void ReferenceHost::IZERO(Workspace& ws, Index index, std::int64_t count) {
  if (count > 0) std::fill_n(ws.words(index).data(), count, std::int64_t{0});
}

void ReferenceHost::LRZERO(Workspace& ws, Index index, std::int64_t count) {
  if (count > 0) std::fill_n(ws.reals(index).data(), count, 0.0);
}

void ReferenceHost::LRINIV(Workspace& ws, Index index, std::int64_t count, double value) {
  if (count > 0) std::fill_n(ws.reals(index).data(), count, value);
}

// ---- Failures -----------------------------------------------------------------

void ReferenceHost::BP_ERROR(const Text& text, MessageClass msg_class, Severity severity) {
  const bool error = severity >= Severity::Error, syntax = msg_class == MessageClass::Syntax;
  if (error) error_flag_ = true;
  // The final reading repeats the syntax warnings every group has shown (an
  // error would have stopped the groups, so one here is new and is shown).
  if (final_reading_ && syntax && !error) return;
  MessageItem item{text, static_cast<int>(msg_class), static_cast<int>(severity), std::nullopt, 0};
  if (reading_command_ && syntax) item.source = token_place();
  if (in_procedure_ && split_count() > 0 && !group_announced_) {
    held_.push_back(std::move(item));  // shown under the group's split marker
  } else {
    output_.add_message(std::move(item));
  }
}

std::optional<SourcePlace> ReferenceHost::token_place() const {
  const Token& t = tokens_.current();
  if (tokens_.position() < 1 || t.line < 1) return std::nullopt;
  return SourcePlace{command_source_, t.line, t.column};
}

void ReferenceHost::ERROR(std::int64_t number, MessageClass msg_class, Severity severity) {
  const auto detail = error_details_.find(number);
  if (detail == error_details_.end()) {
    BP_ERROR(message("HOST_ ERROR ^1", {std::to_string(number)}), msg_class, severity);
    return;
  }
  const std::string text = detail->second;
  error_details_.erase(detail);
  const char* key =
      number == kOutfileWriteError ? "HOST_ CANNOT WRITE OUTFILE ^1" : "HOST_ CANNOT MAKE OUTFILE DICTIONARY ^1";
  BP_ERROR(message(key, {text}), msg_class, severity);
}

void ReferenceHost::ASSERT(std::string_view routine, std::string_view condition) {
  BP_ERROR(message("HOST_ INTERNAL ERROR IN ^1: ^2", {std::string(routine), std::string(condition)}),
           MessageClass::Runtime, Severity::Error);
  throw ProcedureStop{};
}

void ReferenceHost::ATNJMP() {
  if (!interrupt_requested || interrupt_reported_) return;
  report_interrupt();
  throw ProcedureStop{};
}

// ---- Numerics -----------------------------------------------------------------

double ReferenceHost::CORREL(double var1, double var2, double cov) const { return correlation(var1, var2, cov); }

double ReferenceHost::SIGT(double t, double df, int& tails) const {
  tails = 0;  // the probability returned is one-tailed
  return t_upper_tail(t, df);
}

double ReferenceHost::SIGCHI(double chisq, double df) const { return chisq_upper_tail(chisq, df); }

void ReferenceHost::VORL_DSCAL(std::int64_t n, double alpha, double* x, std::int64_t incx) const {
  if (n <= 0 || incx <= 0) return;
  for (std::int64_t i = 0; i < n; ++i) x[i * incx] *= alpha;
}

void ReferenceHost::SRTI(std::int64_t* values, std::int64_t n) const {
  if (n > 1) std::sort(values, values + n);
}

void ReferenceHost::CASCTR(std::int64_t case_number) { progress_.show("Cases read", case_number); }

void ReferenceHost::ODOMTR(std::string_view label, int label_length, std::int64_t count, int) {
  label = label.substr(0, static_cast<std::size_t>(std::max(label_length, 0)));
  progress_.show(label, count);
}

}  // namespace mva::host
