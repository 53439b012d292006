// The reference host: the mva program's implementation of the services the
// procedure asks for. It holds the active data set (dictionary and cases,
// with weights and split groups), the current command's token stacks, the
// workspace arena, the output document that collects tables and messages,
// the random stream and the files the procedure saves.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/services/arena.h"
#include "host/commands/command_lexer.h"
#include "host/data/data_set.h"
#include "host/services/numerics.h"
#include "host/output/output_document.h"
#include "host/services/progress.h"
#include "host/services/run_files.h"
#include "host/services/saved_files.h"
#include "host/services/saved_records.h"
#include "host/commands/token_stream.h"
#include "mva/frame/host/host.h"

namespace mva::host {

class Workers;

// The host's own error numbers, reported through ERROR.
enum HostError : std::int64_t {
  kOutfileDictionaryError = 101,  // a saved file's dictionary cannot be made
  kOutfileWriteError = 102,       // a record cannot be written to a saved file
};

struct HostOptions {
  std::int64_t workspace_bytes = std::int64_t{4} << 30;
  std::uint32_t seed = 2000000;
  bool progress = true;        // show progress on a terminal
  std::int64_t max_cells = 0;  // largest pivot table in cells; 0 = no limit
  int threads = 1;             // workers of the passes over chunks of cases (--threads)
};

class ReferenceHost : public Host {
 public:
  ReferenceHost(DataSet data, const HostOptions& options);

  // The files the run reads and the output it writes: no saved file may
  // replace one of them, nor another saved file of the run.
  void set_run_files(RunFiles files) { files_ = std::move(files); }
  const RunFiles& run_files() const { return files_; }
  // Makes `command` the command whose tokens the procedure reads; its text,
  // as given, opens its output (echo_command).
  void load_command(Command command);
  // Puts the command as given in the output, where its output starts.
  void echo_command(const Command& command);
  // Reports a problem the host met outside a procedure (an unknown command).
  void report(const Text& text, MessageClass msg_class, Severity severity);
  // A message key with literal parameters.
  static Text message(std::string_view key, const std::vector<std::string>& params);
  OutputDocument& output() { return output_; }
  const DataSet& data() const { return data_; }
  // Lets the next reading of the cases give the data set's numeric columns
  // back to the system as it passes them (CaseReader::give_back_as_read):
  // for the last command, when nothing else holds the data set.
  void give_back_data_as_read() { reader_.give_back_as_read(); }
  Workspace& workspace() { return arena_.workspace(); }
  Arena& arena() { return arena_; }
  // Records a user interrupt (Ctrl-C): the running procedure stops at its
  // next poll and discards its saved files, and interrupted() stays true.
  // False when an interrupt was already recorded (the caller may then end
  // the program at once). Safe in a signal handler.
  static bool request_interrupt();
  // Whether an interrupt has been recorded; clear_interrupt() forgets it.
  static bool interrupted();
  static void clear_interrupt();
  // Reports the interrupt once per procedure ("HOST_ INTERRUPTED", an error).
  void report_interrupt();
  // Ends a procedure that the system's memory ran out under (the caller
  // caught std::bad_alloc from it): the memory message, an error, and the
  // procedure's saved files discarded as after any failed command.
  void abandon_out_of_memory();
  bool interrupt_reported() const { return interrupt_reported_; }

  // ---- Frame
  void BP_PROCEDURE(std::string_view name, int a, int b, Workspace& ws) override;
  int BP_END_PROCEDURE() override;
  void BP_SPLIT_CHANGE(Workspace& ws) override;
  bool error_flag() const override { return error_flag_; }
  bool groups_done() const override { return groups_done_; }
  bool data_stopped() const override { return data_stopped_; }
  bool group_ended() const override { return group_ended_; }
  std::int64_t split_count() const override;
  std::int64_t weight_var() const override;
  Index case_buffer() const override { return case_buffer_; }
  bool plain_split_notes() const override { return false; }
  std::int64_t split_variable(std::int64_t k) const override;
  std::span<const double> split_cells(std::int64_t k) const override;
  std::int64_t max_table_cells() const override;
  std::optional<std::pair<std::string, std::string>> values_sharing_first_cell(std::int64_t v) const override;

  // ---- Tokens
  void SSTACK(Workspace& ws, StackHandle& handle, int option, std::int64_t& position) override;
  void SSETPT(Workspace& ws, StackHandle handle, std::int64_t position) override;
  void SSDELS(Workspace& ws, StackHandle handle) override;
  void SSNXT1(Workspace& ws, StackHandle handle) override;
  const Token& token() const override { return tokens_.current(); }
  std::int64_t token_position() const override { return tokens_.position(); }
  bool QABEQL(std::string_view token, std::string_view keyword, int n) const override;
  bool QCHEQL(char a, char b) const override;
  std::int64_t ICHWDC(std::string_view text) const override;
  void PRVRLT(Workspace& ws, StackHandle handle, const ListOptions& options, std::span<std::int64_t> into,
              std::int64_t& count, Logical& error) override;
  std::int64_t DICSCH(std::string_view name) const override;

  // ---- Dictionary
  void DICGNV() override {}
  std::int64_t dict_count() const override;
  const VarRecord& DICGET(std::int64_t v) override;
  const VarRecord& dic_record() const override { return *record_; }

  // ---- Cases and saved files
  void OBINIT(Workspace& ws) override;
  void OBPINI(Workspace& ws) override;
  void OBSERV(Workspace& ws) override;
  std::int64_t OBSERV_BLOCK(Workspace& ws, std::int64_t most, const CaseBlock& block) override;
  void OBPEND(Workspace& ws) override;
  void for_each_chunk(std::int64_t chunks, const std::function<void(std::int64_t)>& body) override;
  void SFDFRO(Workspace& ws, int option, FileHandle& handle, Logical& error) override;
  void SFCLDE(Workspace& ws, FileHandle handle, int a, int b, Logical last) override;
  void DICGETFSP(FileHandle handle, std::span<char> into) override;
  void OBMOVE(FileHandle handle, std::int64_t first, std::span<const double> cells) override;
  void DSWRCASE(FileHandle handle, std::int64_t& error) override;
  void DSWRCASES(FileHandle handle, std::int64_t count, std::span<const double> cells, std::int64_t& error) override;

  // ---- Dictionaries of saved files (reference_host_saved.cpp)
  void DICRDA(FileHandle handle, std::int64_t v) override;
  VarRecord DICCLR(std::string_view name, std::int64_t type) const override;
  void DIFDEC(const PrintFormat& format, int& type, int& width, int& decimals) const override;
  std::string print_text(double value, const PrintFormat& format) const override;
  std::int64_t DICPUT(FileHandle handle, const VarRecord& record) override;
  void VLBPTL(double value, std::string_view label) override;
  void VLBPDE(FileHandle handle, std::int64_t slot) override;
  void DSDICTX(FileHandle handle, std::int64_t& error) override;

  // ---- Workspace
  bool QNOMEM(Workspace& ws, Index& index, int element_size, std::int64_t count,
              OnShortage on_shortage = OnShortage::Answer) override;
  std::int64_t GETMEM(Workspace& ws, Index& index, std::int64_t count, int element_size) override;
  void KPMEM(Workspace& ws, Index index, std::int64_t keep) override;
  void FREMEM(Workspace& ws, Index index, std::int64_t count) override;
  void IZERO(Workspace& ws, Index index, std::int64_t count) override;
  void LRZERO(Workspace& ws, Index index, std::int64_t count) override;
  void LRINIV(Workspace& ws, Index index, std::int64_t count, double value) override;

  // ---- Failures
  void BP_ERROR(const Text& text, MessageClass msg_class, Severity severity) override;
  void ERROR(std::int64_t number, MessageClass msg_class, Severity severity) override;
  [[noreturn]] void ASSERT(std::string_view routine, std::string_view condition) override;
  void ATNJMP() override;

  // ---- Numerics
  double PCINMS() const override { return kSystemMissing; }
  double CORREL(double var1, double var2, double cov) const override;
  double SIGT(double t, double df, int& tails) const override;
  double SIGCHI(double chisq, double df) const override;
  double RVUNI(double a, double b) override { return random_.uniform(a, b); }
  double RVSNOR() override { return random_.standard_normal(); }
  double RVT(double df) override { return random_.student_t(df); }
  void VORL_DSCAL(std::int64_t n, double alpha, double* x, std::int64_t incx) const override;
  void SRTI(std::int64_t* values, std::int64_t n) const override;
  double FUZZYTRUNCATE(double weight) const override { return fuzzy_truncate(weight); }
  void CASCTR(std::int64_t case_number) override;
  void ODOMTR(std::string_view label, int label_length, std::int64_t count, int width) override;

  // ---- Texts
  Text BP_CSTRING(std::string_view key) override;
  Text BP_CSTRING_NO_TRANSLATE(std::string_view text) override;
  void BP_BEGIN_COMPSTRING(const Text& key) override;
  void BP_ADD_PARAMETER(const Text& parameter) override;
  Text BP_END_COMPSTRING() override;
  Text BP_REPLICATE_PARAMETER(const Text& value) override { return value; }
  void BP_BEGIN_REPEAT_LIST() override;
  void BP_SPLIT_LIST(Workspace& ws) override;
  void BP_END_REPEAT_LIST() override;
  Text BP_VARIABLE(std::int64_t v, int option) override;
  Text BP_VARVALUE(std::int64_t v, double value) override;
  Text BP_VARVALUE(std::int64_t v, std::string_view chars) override;
  Text BP_LRVALUE(double value, const Format& format) override;
  Text BP_IVALUE(std::int64_t value, const Format& format) override;

  // ---- Formats
  Format BP_N_FORMAT() const override;
  Format BP_MEAN_FORMAT(Workspace& ws, std::int64_t v, int option) override;
  Format BP_STDDEV_FORMAT(Workspace& ws, std::int64_t v, int option) override;
  Format BP_CORRELATION_FORMAT() const override;
  Format BP_GENSTAT_FORMAT() const override;
  Format BP_SIGNIFICANCE_FORMAT() const override;
  Format BP_PERCENT_NS_FORMAT() const override;
  Format DIFENC(int type, int width, int decimals) const override;

  // ---- Pivot tables
  void BP_TABLE_ID(int number) override;
  void BP_END_TABLE_IDS() override {}
  void BP_BEGIN_PIVOT_TABLE(int number, const Text& title, const Text& subtype) override;
  void BP_END_PIVOT_TABLE(int number) override;
  void BP_TABLE_PROPERTY(int number, int property, const Text& value) override;
  void BP_BEGIN_HEADING(const Text& text) override;
  void BP_END_HEADING() override;
  void BP_POSITION_DIMENSION(int number, const Text& name, Placement placement) override;
  void BP_CELL_DIMENSION(int number, const Text& name) override;
  void BP_CATEGORY_DIMENSION(int number, const Text& category, const Text& dimension) override;
  void BP_BEGIN_GROUP(int number, const Text& group, const Text& dimension) override;
  void BP_END_GROUP(int number, const Text& dimension) override;
  void BP_UNGROUP(int number) override;
  void BP_CELL_IN_CATEGORY(int number, const Text& value, const Text& category) override;
  void BP_CELLS_IN_CATEGORIES(int number, std::span<const Text* const> values,
                              std::span<const Text> categories) override;
  void BP_ANNOTATE(const Text& text, AnnotationCode code) override;

 private:
  // Runs a call into the output document, token stream or arena; a fault of
  // the caller becomes an internal error that stops the procedure.
  template <class Call>
  void guarded(std::string_view routine, const Call& call) {
    try {
      call();
    } catch (const std::logic_error& fault) {
      ASSERT(routine, fault.what());
    }
  }
  Format variable_format(FormatKind kind, std::int64_t v);
  // Dictionary slot v for the host's own use: unlike DICGET it leaves the
  // record the procedure read last in place.
  const VarRecord& slot(std::int64_t v, std::string_view routine);
  void note_group(const std::vector<double>& cells);
  // Where the token being read stands in the command's script; nothing
  // before the first token.
  std::optional<SourcePlace> token_place() const;
  // Puts out the split marker of the group being read, once.
  void announce_group();
  // Places the messages held back for the group being read, after its split
  // marker (made here when the group's cases were read but its split change
  // did not come).
  void place_held_messages();
  // The closing sequence has begun: the final reading of the command is
  // over and the group's held messages are placed.
  void end_groups();
  // Discards a saved file not yet put in place; its names are free again.
  void discard_saved(FileHandle handle);
  // Shows the Files Saved entries of the files this procedure kept, each
  // followed by its dictionary, in the host's table 1.
  void show_files_saved();

  DataSet data_;
  CaseReader reader_;
  HostOptions options_;
  // The workers of for_each_chunk and of the blocks of cases:
  // options_.threads threads, taken on first use from Workers::shared, so
  // those that loaded the data when they are as many (none with one thread).
  std::shared_ptr<Workers> workers_;
  Arena arena_;
  TokenStream tokens_;
  OutputDocument output_;
  RandomStream random_;
  SavedFiles saved_;
  RunFiles files_;
  Progress progress_;

  const VarRecord* record_;
  bool error_flag_ = false;
  bool groups_done_ = false;
  bool data_stopped_ = false;
  bool group_ended_ = false;
  bool reading_ = false;
  bool case_read_ = false;           // a case has been delivered since the host was made
  bool in_procedure_ = false;        // between BP_PROCEDURE and BP_END_PROCEDURE
  bool reading_command_ = false;     // from the rewind of the tokens to the group's data pass
  bool final_reading_ = false;       // the command's reading after the last group
  bool group_announced_ = false;     // the current group's split marker is out
  std::vector<MessageItem> held_;    // messages of the group before its split marker
  std::size_t procedure_start_ = 0;  // first top-level output item of the procedure
  std::string command_source_;       // the script of the loaded command
  bool interrupt_reported_ = false;  // HOST_ INTERRUPTED given in this procedure
  Index case_buffer_ = 0;
  std::vector<double> case_cells_;  // the case being delivered
  struct SplitCell {
    std::int64_t v;
    double number;
    std::string text;
    std::vector<double> cells;  // the value's cells (ceil(width/8) for a string)
  };
  std::vector<SplitCell> group_split_;  // split values of the group being read
  bool group_started_ = false;
  // The cases delivered in the group being read.
  std::int64_t group_cases_ = 0;
  SavedRecords records_;                   // dictionaries and record buffers of the saved files
  std::string line_;                       // the saved record being written, reused
  std::vector<std::string> record_texts_;  // blocks of saved records being written, reused
  ValueLabels pending_labels_;             // value labels listed for VLBPDE
  // Files Saved (table 1) is the host's own table: the procedure's entries
  // wait here until its files are closed, so that only a file that is there
  // is listed (a later failure of the command discards the files).
  struct SavedEntry {
    FileHandle handle;
    Text label;        // "EM Imputed Data"
    Text value;        // the file's specification
    std::string path;  // the file's whole path
  };
  std::vector<SavedEntry> saved_entries_;
  Text saved_dimension_, saved_group_;                 // the texts the procedure gave table 1
  FileHandle spec_read_ = 0;                           // the file whose specification DICGETFSP gave last
  std::vector<FileHandle> defined_;                    // saved files defined by this procedure
  std::vector<FileHandle> kept_;                       // ... and put in place
  std::map<std::int64_t, std::string> error_details_;  // what ERROR says of a host error number
  std::vector<std::vector<Text>> compositions_;        // open composite texts

  // Opens the output with what the run analyses (data file, cases,
  // variables, weight, split groups).
  void announce_data();
};

}  // namespace mva::host
