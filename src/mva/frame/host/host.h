// The host interface: every service the procedure asks of its host, as one
// table of operations. The procedure includes this header and nothing of any
// particular host; a host (the reference host of the mva program, or a test's
// recording host) implements it. Values the host keeps in its shared areas are
// read through named queries (error_flag(), split_count(), weight_var(), ...).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "mva/frame/host/types.h"
#include "mva/frame/host/workspace.h"

namespace mva {

// Thrown by the host's ASSERT and ATNJMP to stop the procedure at once; the
// entry catches it, closes the saved files and ends the procedure.
struct __attribute__((visibility("default"))) ProcedureStop {};

// How PRVRLT reads a variable list. The readers pass four option numbers; the
// host gives them these meanings.
struct ListOptions {
  int scratch = 0;      // 0: only existing variables may be named
  int duplicates = 2;   // 2: a variable named twice is an error; 3: repeats are ignored
  int terminator = 11;  // code of the special symbol that ends the list ("/")
  int list = 1;         // 1 a plain list (ends at the terminator or the end of
                        // the command); 3 a dependent list (also ends at WITH
                        // or "("); 2 an independent list (also ends at "(")
};

// Where OBSERV_BLOCK stores cases: case k of the block (0-based) puts the
// cell of dictionary slot moves[i].slot (1-based, the cell OBSERV would put in
// the case buffer) into rows[k * width + moves[i].column - 1].
struct CaseBlock {
  struct Move {
    std::int64_t slot;
    std::int64_t column;
  };
  double* rows = nullptr;
  std::int64_t width = 0;
  std::span<const Move> moves;
};

// The services of the host, one virtual call each. All results reach the
// user through these calls; the procedure prints nothing itself.
class Host {
 public:
  virtual ~Host() = default;

  // ---- Frame ---------------------------------------------------------------
  // Opens the procedure `name` with the host's two procedure codes (3, 1).
  virtual void BP_PROCEDURE(std::string_view name, int a, int b, Workspace& ws) = 0;
  // Ends the procedure; its result is the entry's result (0 = no error).
  virtual int BP_END_PROCEDURE() = 0;
  // Announces that the cases of a new split group are about to be analysed.
  virtual void BP_SPLIT_CHANGE(Workspace& ws) = 0;

  // Shared-area words the procedure reads.
  virtual bool error_flag() const = 0;           // the error flag (word 36)
  virtual bool groups_done() const = 0;          // stop flag after the plans (word 35)
  virtual bool data_stopped() const = 0;         // stop flag after the data pass (word 37)
  virtual bool group_ended() const = 0;          // the current group's cases are read (word 38)
  virtual std::int64_t split_count() const = 0;  // number of split variables (word 116)
  virtual std::int64_t weight_var() const = 0;   // weight variable index, 0 = none (word 28)
  virtual Index case_buffer() const = 0;         // first cell of the case buffer (word 17)
  virtual bool plain_split_notes() const = 0;    // notes without the split values (word 115)
  // Dictionary index of split variable k (1..split_count()), in the host's order.
  virtual std::int64_t split_variable(std::int64_t k) const = 0;
  // The current group's value of split variable k as stored cells: one for a
  // number, ceil(width/8) for a string.
  virtual std::span<const double> split_cells(std::int64_t k) const = 0;
  virtual std::int64_t max_table_cells() const = 0;  // most cells one table may have (word 138)
  // Two different values of string variable v that agree in the first cell
  // (8 characters), by which the categories of a string are told apart;
  // nothing when v has no such values.
  virtual std::optional<std::pair<std::string, std::string>> values_sharing_first_cell(std::int64_t v) const = 0;

  // ---- Tokens ----------------------------------------------------------------
  // Moves the command's tokens onto a new token stack; sets its handle and
  // the position of its first token.
  virtual void SSTACK(Workspace& ws, StackHandle& handle, int option, std::int64_t& position) = 0;
  // Sets the read pointer of a token stack back to `position` (0 = its start).
  virtual void SSETPT(Workspace& ws, StackHandle handle, std::int64_t position) = 0;
  // Drops a token stack.
  virtual void SSDELS(Workspace& ws, StackHandle handle) = 0;
  // Makes the next token of the stack current.
  virtual void SSNXT1(Workspace& ws, StackHandle handle) = 0;
  virtual const Token& token() const = 0;           // the current token
  virtual std::int64_t token_position() const = 0;  // its position in the stream (1-based)

  // True when the first n characters of `token` (blank padded) equal the
  // first n characters of `keyword` (blank padded).
  virtual bool QABEQL(std::string_view token, std::string_view keyword, int n) const = 0;
  // True when two characters are equal, letters compared without case.
  virtual bool QCHEQL(char a, char b) const = 0;
  // Length of a text less its trailing blanks.
  virtual std::int64_t ICHWDC(std::string_view text) const = 0;

  // Reads a variable list starting at the current token into dictionary
  // indices; leaves the first token after the list current. Unknown names and
  // other faults are reported (severity 3) and set `error`.
  virtual void PRVRLT(Workspace& ws, StackHandle handle, const ListOptions& options, std::span<std::int64_t> into,
                      std::int64_t& count, Logical& error) = 0;
  // Dictionary index of the variable with this name (case-insensitive), 0 = none.
  virtual std::int64_t DICSCH(std::string_view name) const = 0;

  // ---- Dictionary --------------------------------------------------------------
  // Brings the number of dictionary slots up to date (read by dict_count).
  virtual void DICGNV() = 0;
  virtual std::int64_t dict_count() const = 0;  // number of dictionary slots (word 11)
  // Loads the record of dictionary slot v and returns it.
  virtual const VarRecord& DICGET(std::int64_t v) = 0;
  virtual const VarRecord& dic_record() const = 0;  // the record DICGET last loaded

  // ---- Cases and saved files -----------------------------------------------------
  // Prepares the active file for reading.
  virtual void OBINIT(Workspace& ws) = 0;
  // Starts the procedure's pass over the active file.
  virtual void OBPINI(Workspace& ws) = 0;
  // Delivers the next case into the case buffer, or says that the group or
  // the data has ended (group_ended, data_stopped).
  virtual void OBSERV(Workspace& ws) = 0;
  // After a case that OBSERV delivered: stores up to `most` of the group's
  // next cases straight into `block`, as OBSERV and a copy of each case
  // would, and returns how many it stored. A host may store fewer than are
  // left, or none (the default); OBSERV then goes on with the next case, or
  // says that the group or the data has ended.
  virtual std::int64_t OBSERV_BLOCK(Workspace& ws, std::int64_t most, const CaseBlock& block) {
    (void)ws, (void)most, (void)block;
    return 0;
  }
  // Ends the procedure's pass over the active file.
  virtual void OBPEND(Workspace& ws) = 0;
  // Runs body(0) .. body(chunks - 1), each once, on the host's workers, and
  // returns when all have ended. The calls may run at the same time and in
  // any order, so a body touches only what belongs to its chunk and reads
  // nothing that another chunk writes; it must not call the host. The
  // default runs them one after the other on the calling thread.
  virtual void for_each_chunk(std::int64_t chunks, const std::function<void(std::int64_t)>& body) {
    for (std::int64_t c = 0; c < chunks; ++c) body(c);
  }
  // Defines an output file from the file specification at the current token.
  virtual void SFDFRO(Workspace& ws, int option, FileHandle& handle, Logical& error) = 0;
  // Closes an output file; it is kept only when the procedure ends without error.
  virtual void SFCLDE(Workspace& ws, FileHandle handle, int a, int b, Logical last) = 0;
  // The file's specification as the host holds it, blank-padded into `into`.
  virtual void DICGETFSP(FileHandle handle, std::span<char> into) = 0;
  // Moves `cells` into the record buffer of saved file `handle`, from cell
  // `first` (1-based) on.
  virtual void OBMOVE(FileHandle handle, std::int64_t first, std::span<const double> cells) = 0;
  // Writes the record buffer of saved file `handle` as its next case and
  // clears the buffer; `error` is 0 when the case is written, else the
  // host's error number (positive, for ERROR).
  virtual void DSWRCASE(FileHandle handle, std::int64_t& error) = 0;
  // Writes `count` records as the next cases of saved file `handle`, in
  // order: `cells` holds them one after another, cells.size() / count cells
  // each, and each is written as OBMOVE from cell 1 and DSWRCASE write it.
  // `error` as DSWRCASE's; the records after one that fails are not written.
  // The default makes those two calls per record; a host may format the
  // records on its workers.
  virtual void DSWRCASES(FileHandle handle, std::int64_t count, std::span<const double> cells, std::int64_t& error) {
    error = 0;
    const std::size_t width = count > 0 ? cells.size() / static_cast<std::size_t>(count) : 0;
    for (std::int64_t r = 0; r < count && error == 0; ++r) {
      if (width > 0) OBMOVE(handle, 1, cells.subspan(static_cast<std::size_t>(r) * width, width));
      DSWRCASE(handle, error);
    }
  }

  // ---- Dictionaries of saved files -------------------------------------------------
  // Appends a copy of active-file variable v (its continuation slots, missing
  // values, format, label and value labels) to the dictionary of saved file
  // `handle`.
  virtual void DICRDA(FileHandle handle, std::int64_t v) = 0;
  // A new variable record: `name` (trailing blanks dropped) and type word
  // (0 numeric, 8 an 8-character string), no missing values, the host's
  // default format for the type.
  virtual VarRecord DICCLR(std::string_view name, std::int64_t type) const = 0;
  // Splits a print format into its type, width and decimals.
  virtual void DIFDEC(const PrintFormat& format, int& type, int& width, int& decimals) const = 0;
  // A numeric value as `format` prints it, without padding: the text a value
  // label of a saved file uses for that value (the open ends of a missing
  // range have words of their own).
  virtual std::string print_text(double value, const PrintFormat& format) const = 0;
  // Appends `record` to the dictionary of saved file `handle`; returns its
  // slot there.
  virtual std::int64_t DICPUT(FileHandle handle, const VarRecord& record) = 0;
  // Adds a value and its label to the list that VLBPDE attaches next.
  virtual void VLBPTL(double value, std::string_view label) = 0;
  // Attaches the listed value labels to variable `slot` of saved file
  // `handle` and empties the list.
  virtual void VLBPDE(FileHandle handle, std::int64_t slot) = 0;
  // Ends the dictionary of saved file `handle`: records can be written from
  // now on. `error` is 0, or the host's error number (for ERROR) when the
  // dictionary cannot be used.
  virtual void DSDICTX(FileHandle handle, std::int64_t& error) = 0;

  // ---- Workspace -------------------------------------------------------------------
  // Lays out `count` cells of `element_size` bytes; stores the base index in
  // `index` and returns true when memory is short (then `index` is untouched).
  // With OnShortage::Report a shortage is also reported, with the host's
  // memory message (an error).
  virtual bool QNOMEM(Workspace& ws, Index& index, int element_size, std::int64_t count,
                      OnShortage on_shortage = OnShortage::Answer) = 0;
  // Lays out up to `count` cells (count < 0: as many as are free); returns the
  // number of cells obtained.
  virtual std::int64_t GETMEM(Workspace& ws, Index& index, std::int64_t count, int element_size) = 0;
  // Keeps the first `keep` cells of the array at `index` and frees the rest.
  virtual void KPMEM(Workspace& ws, Index index, std::int64_t keep) = 0;
  // Hands back the array at `index`, laid out with `count` cells.
  virtual void FREMEM(Workspace& ws, Index index, std::int64_t count) = 0;
  // Sets `count` integer cells from `index` to 0.
  virtual void IZERO(Workspace& ws, Index index, std::int64_t count) = 0;
  // Sets `count` double cells from `index` to 0.0.
  virtual void LRZERO(Workspace& ws, Index index, std::int64_t count) = 0;
  // Sets `count` double cells from `index` to `value`.
  virtual void LRINIV(Workspace& ws, Index index, std::int64_t count, double value) = 0;

  // ---- Failures ----------------------------------------------------------------------
  // Reports a message; an error sets the error flag.
  virtual void BP_ERROR(const Text& text, MessageClass msg_class, Severity severity) = 0;
  // Reports the host's own numbered error.
  virtual void ERROR(std::int64_t number, MessageClass msg_class, Severity severity) = 0;
  // Reports a broken internal condition of `routine` and stops the procedure.
  [[noreturn]] virtual void ASSERT(std::string_view routine, std::string_view condition) = 0;
  virtual void ATNJMP() = 0;  // polls for a user interrupt; throws ProcedureStop

  // ---- Numerics ----------------------------------------------------------------------
  virtual double PCINMS() const = 0;  // the system-missing value
  // Correlation from two variances and a covariance; system-missing when
  // undefined.
  virtual double CORREL(double var1, double var2, double cov) const = 0;
  // One-tailed probability of |t| with `df` degrees of freedom; `tails` is
  // set to 0 to say that the value is one-tailed.
  virtual double SIGT(double t, double df, int& tails) const = 0;
  virtual double SIGCHI(double chisq, double df) const = 0;  // upper tail
  virtual double RVUNI(double a, double b) = 0;              // a uniform deviate on (a, b)
  virtual double RVSNOR() = 0;                               // a standard-normal deviate
  virtual double RVT(double df) = 0;                         // a Student-t deviate with df degrees of freedom
  // Multiplies n elements of x, `incx` apart, by alpha.
  virtual void VORL_DSCAL(std::int64_t n, double alpha, double* x, std::int64_t incx) const = 0;
  // Sorts n integers ascending.
  virtual void SRTI(std::int64_t* values, std::int64_t n) const = 0;
  // A case weight truncated to a whole number, with a tolerance for rounding.
  virtual double FUZZYTRUNCATE(double weight) const = 0;
  virtual void CASCTR(std::int64_t case_number) = 0;  // shows the case counter; -1 ends it
  // Shows a counter labelled `label` (its first `label_length` characters);
  // a count of -1 ends it.
  virtual void ODOMTR(std::string_view label, int label_length, std::int64_t count, int width) = 0;

  // ---- Texts --------------------------------------------------------------------------
  virtual Text BP_CSTRING(std::string_view key) = 0;                // a message key, translated
  virtual Text BP_CSTRING_NO_TRANSLATE(std::string_view text) = 0;  // a literal text
  // Starts a composite text: the key whose ^1, ^2, ... the parameters fill.
  virtual void BP_BEGIN_COMPSTRING(const Text& key) = 0;
  // Adds the next parameter of the composite text being built.
  virtual void BP_ADD_PARAMETER(const Text& parameter) = 0;
  // Ends the composite text being built and returns it.
  virtual Text BP_END_COMPSTRING() = 0;
  // A copy of a value or text, for a second use.
  virtual Text BP_REPLICATE_PARAMETER(const Text& value) = 0;
  // Opens the item list of a repeat group of the composite text.
  virtual void BP_BEGIN_REPEAT_LIST() = 0;
  // Adds the split variables and their values in the current group as items.
  virtual void BP_SPLIT_LIST(Workspace& ws) = 0;
  // Closes the item list of a repeat group.
  virtual void BP_END_REPEAT_LIST() = 0;
  // The text that names dictionary variable v (option 0: as the host shows it).
  virtual Text BP_VARIABLE(std::int64_t v, int option) = 0;
  // The text of one value of variable v (its value label when it has one).
  virtual Text BP_VARVALUE(std::int64_t v, double value) = 0;
  // The text of a string value of variable v given as its characters
  // (blank padded to the variable's width), for strings wider than a cell.
  virtual Text BP_VARVALUE(std::int64_t v, std::string_view chars) = 0;
  virtual Text BP_LRVALUE(double value, const Format& format) = 0;       // a double in a format
  virtual Text BP_IVALUE(std::int64_t value, const Format& format) = 0;  // an integer in a format

  // ---- Formats ------------------------------------------------------------------------
  virtual Format BP_N_FORMAT() const = 0;  // counts
  // Means of variable v: from its print format, two more decimals.
  virtual Format BP_MEAN_FORMAT(Workspace& ws, std::int64_t v, int option) = 0;
  // Standard deviations of variable v: from its print format, two more decimals.
  virtual Format BP_STDDEV_FORMAT(Workspace& ws, std::int64_t v, int option) = 0;
  virtual Format BP_CORRELATION_FORMAT() const = 0;   // correlations
  virtual Format BP_GENSTAT_FORMAT() const = 0;       // general statistics
  virtual Format BP_SIGNIFICANCE_FORMAT() const = 0;  // probabilities
  virtual Format BP_PERCENT_NS_FORMAT() const = 0;    // percentages without a sign
  // An explicit print format of the given type, width and decimals.
  virtual Format DIFENC(int type, int width, int decimals) const = 0;

  // ---- Pivot tables -------------------------------------------------------------------
  virtual void BP_TABLE_ID(int number) = 0;  // announces a table number
  virtual void BP_END_TABLE_IDS() = 0;       // ends the announcements
  // Opens table `number` with its title and subtype.
  virtual void BP_BEGIN_PIVOT_TABLE(int number, const Text& title, const Text& subtype) = 0;
  virtual void BP_END_PIVOT_TABLE(int number) = 0;  // ends table `number`
  // Sets a property of the open table `number`.
  virtual void BP_TABLE_PROPERTY(int number, int property, const Text& value) = 0;
  virtual void BP_BEGIN_HEADING(const Text& text) = 0;  // opens a heading over several tables
  virtual void BP_END_HEADING() = 0;                    // closes it
  // Adds a row, column or layer dimension to table `number`, placed as
  // `placement` says (kRowDimension, kColumnDimension, ...).
  virtual void BP_POSITION_DIMENSION(int number, const Text& name, Placement placement) = 0;
  // Names the dimension whose categories label the cells.
  virtual void BP_CELL_DIMENSION(int number, const Text& name) = 0;
  // Adds a category to a position dimension (once) and makes it current.
  virtual void BP_CATEGORY_DIMENSION(int number, const Text& category, const Text& dimension) = 0;
  // Opens a group label over the categories added next to `dimension`.
  virtual void BP_BEGIN_GROUP(int number, const Text& group, const Text& dimension) = 0;
  // Closes the group opened last in `dimension`.
  virtual void BP_END_GROUP(int number, const Text& dimension) = 0;
  // Marks the group begun last in table `number` as ungrouped.
  virtual void BP_UNGROUP(int number) = 0;
  // Stores a value in the cell at the current categories and `category` of
  // the cell dimension.
  virtual void BP_CELL_IN_CATEGORY(int number, const Text& value, const Text& category) = 0;
  // Stores a row of cells at once: *values[k] in categories[k] of the cell
  // dimension, at the current categories of the other dimensions, as that
  // many BP_CELL_IN_CATEGORY calls in turn would (the spans are as long).
  // A table of many rows gives each row this way.
  virtual void BP_CELLS_IN_CATEGORIES(int number, std::span<const Text* const> values,
                                      std::span<const Text> categories) = 0;
  // A note or footnote, placed as `code` says.
  virtual void BP_ANNOTATE(const Text& text, AnnotationCode code) = 0;
};

}  // namespace mva
