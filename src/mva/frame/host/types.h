// Plain values that cross the host boundary: command tokens, a variable's dictionary record, display formats, the
// texts handed to the host's output calls, and the codes of messages, notes and table dimensions. The procedure
// builds texts only through the host's calls and passes them back unopened; the host reads their fields to
// translate and render them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mva {

// ---- Command tokens -------------------------------------------------------

// The class of a command token.
enum class TokenKind : int {
  End = 1,      // end of the command
  Name = 2,     // a word: keyword or variable name (WITH carries Symbol::With)
  Number = 3,   // a number; `text` keeps it exactly as typed
  String = 4,   // a quoted string; `text` holds its contents
  Special = 5,  // a special symbol; `symbol` says which
};

// The code of a special symbol (and of the reserved word WITH).
enum class Symbol : int {
  None = 0,         // not a special symbol
  Equals = 3,       // =
  Asterisk = 10,    // *
  Slash = 11,       // /
  Comma = 12,       // ,
  LeftParen = 13,   // (
  RightParen = 14,  // )
  Other = 20,       // any other character; `text` holds it
  With = 31,        // the reserved word WITH (kind Name)
};

// One token of the command, as the host's token stream delivers it.
struct Token {
  TokenKind kind = TokenKind::End;  // its class
  Symbol symbol = Symbol::None;     // the symbol of a special token (or WITH)
  std::string text;                 // names upper-cased; numbers and strings as typed
  std::string typed;                // the token exactly as it stands in the command
  double number = 0.0;              // the value of a number
  int line = 0;                     // line where the token starts in its command source
  int column = 0;                   // column where it starts
};

using StackHandle = std::int64_t;  // token-stack handle; 0 = none
using FileHandle = std::int64_t;   // saved-file handle; 0 = none

// ---- Dictionary -------------------------------------------------------------

// The missing-value forms of a dictionary record.
enum MissingForm : int {
  kNoMissing = 0,        // 1..3: that many discrete values
  kMissingRange = -2,    // low in value 0, high in value 1
  kMissingRangeOne = -3  // a range and one discrete value (value 2)
};

// What the host's memory service does when a workspace request cannot be
// met: only answer (the caller gives its own message or falls back), or
// also report the shortage with the host's own memory message, an error.
enum class OnShortage : int { Answer, Report };

// A variable's print format.
struct PrintFormat {
  int type = 5;      // 5 = F (fixed decimals), 1 = A (characters)
  int width = 8;     // characters shown
  int decimals = 2;  // decimals shown
};

// What a dictionary slot holds, read from its host type word.
enum class VarType : int {
  Numeric,       // type word 0
  String,        // type word > 0: the width in characters
  Continuation,  // type word < 0: 8 more characters of the string before it
};

constexpr VarType var_type(std::int64_t type_word) {
  return type_word == 0 ? VarType::Numeric : type_word > 0 ? VarType::String : VarType::Continuation;
}

// Number of continuation slots that follow a variable: one for every 8
// characters of a string beyond its first 8; none for other slots.
constexpr std::int64_t continuation_slots(std::int64_t type_word) { return type_word > 0 ? (type_word - 1) / 8 : 0; }

// One dictionary slot as DICGET loads it.
struct VarRecord {
  std::string name;                           // as declared; empty for a continuation slot
  std::int64_t type = 0;                      // 0 numeric, > 0 string width, < 0 continuation
  int missing_form = kNoMissing;              // MissingForm, or 1..3 discrete values
  std::array<double, 3> missing{};            // numeric missing values
  std::array<std::string, 3> missing_text{};  // string missing values, padded to the width
  PrintFormat format;                         // print format
  std::string label;                          // variable label, empty = none
};

// ---- Output texts and values -----------------------------------------------

// What a value format is for; the host chooses the decimals by it.
enum class FormatKind : int {
  Count,         // counts and sums of weights: integers
  Mean,          // the variable's decimals plus two
  StdDev,        // the variable's decimals plus two
  Correlation,   // three decimals
  GenStat,       // general statistics: three decimals
  Significance,  // probabilities: three decimals
  PercentNS,     // percentages without a sign: one decimal
  Print,         // an explicit print format (DIFENC)
};

// The format of a value shown in a table.
struct Format {
  FormatKind kind = FormatKind::GenStat;  // what the format is for
  int type = 5;                           // print format type: 5 = F, 1 = A
  int width = 8;                          // characters shown
  int decimals = 3;                       // decimals shown
};

// A text (or value) to show. The procedure only ever makes these through the
// host's calls; the fields are the host's to read.
struct Text {
  // What the text is.
  enum class Kind : int {
    Empty,       // shows nothing
    Key,         // a message key, translated through the catalogue
    Literal,     // shown as it stands
    Number,      // a number in a format (system-missing shows as ".")
    Variable,    // the name (or label) of a dictionary variable
    VarValue,    // a value of a variable (its value label when it has one)
    Composite,   // a key whose ^n placeholders are filled by `params`
    RepeatList,  // the items of a repeat group: each item's `params`
  };
  Kind kind = Kind::Empty;    // what the text is
  std::string key;            // Key, Composite: the message key; Literal: the text
  double number = 0.0;        // Number, VarValue: the value
  Format format;              // Number, VarValue: its format
  std::int64_t variable = 0;  // Variable, VarValue: dictionary index
  std::string name;           // Variable, VarValue: the variable's name
  std::string label;          // Variable: its label; VarValue: the value's label or text
  bool is_integer = false;    // Number made by BP_IVALUE
  std::vector<Text> params;   // Composite: parameters; RepeatList: items
};

// ---- Messages, notes and table layout ---------------------------------------
// The values of these codes are the numbers that cross the host boundary.

// What a message is about.
enum class MessageClass : int {
  Syntax = 1,   // the command as written
  Runtime = 2,  // a condition met while the procedure runs
};

// How grave a message is. An error sets the error flag, and the procedure's
// saved files are then discarded.
enum class Severity : int {
  Note = 1,     // shown as a note
  Warning = 2,  // shown as a warning
  Error = 3,    // an error
};

// Where BP_ANNOTATE puts its text.
enum class AnnotationCode : int {
  Note = 0,       // a note under the open table (or the open heading when no table is open)
  TableNote = 1,  // a note under the table
  OrderNote = 2,  // a note under the table on the order of its rows (placed as a table note)
  Category = 3,   // a footnote on the category or group made current last
  Cell = 4,       // a footnote on the cell stored last
  Title = 6,      // a footnote on the title
};

// Where BP_POSITION_DIMENSION places a dimension: {nesting order (higher is
// outer), 1 columns / 0 rows, 1 show the dimension's name / 0 hide it,
// reserved}.
using Placement = std::array<int, 4>;
inline constexpr Placement kColumnDimension = {1, 1, 1, 0};         // across, its name shown
inline constexpr Placement kRowDimension = {1, 0, 1, 0};            // down, its name shown
inline constexpr Placement kUnnamedColumnDimension = {1, 1, 0, 0};  // across, its name hidden
inline constexpr Placement kUnnamedRowDimension = {1, 0, 0, 0};     // down, its name hidden
inline constexpr Placement kOuterRowDimension = {2, 0, 1, 0};       // down, outside the other rows

}  // namespace mva
