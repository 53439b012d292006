// The notes the executive gives in place of an analysis that the group's data
// or the command do not allow. Notes on the data ("no missing value", "no
// complete case") come in every split group, in their SPLIT form (naming the
// group) when the file is split; notes on the command ("no quantitative", "no
// categorical") come once, in the first group.
#pragma once

#include <initializer_list>
#include <string_view>

#include "mva/frame/common.h"

namespace mva {

// Notes that depend on the data of the group.
enum class DataNote {
  NoTStat,     // no incomplete case: no t tests
  NoMpatt,     // no incomplete case: no missing-patterns table
  NoTpatt,     // no incomplete case: no tabulated-patterns table
  NoListwise,  // no complete case: no listwise statistics
  NoEmEst,     // no incomplete case: no EM estimates
  NoRegr,      // no incomplete case: no regression estimates
};

// Gives a data note: the plain form without split variables, else the SPLIT
// form with the group's split values.
void data_note(Context& cx, DataNote note);

// The note that no EM outfile is written for a group without missing values;
// always in its SPLIT form.
void em_outfile_note(Context& cx);

// The note that no regression outfile is written for a group without missing
// values; always in its plain form.
void regression_outfile_note(Context& cx);

// Warns, before the EM (method kEm) or regression (kRegression) estimates,
// of each variable they use that has no valid value in the group: the
// procedure still carries it (its estimates show as 0), so the figures for
// it are not estimates, and under EM its pattern counts in the degrees of
// freedom of Little's MCAR test.
void no_value_warnings(Context& cx, int method);

// Notes, for each categorical string variable of the list, two of its
// values that agree in their first 8 characters: categories are told apart
// by those alone, so the two count as one category. Given once a command.
void category_prefix_notes(Context& cx);

// Gives a note on the command (class 2, severity 2), in the first split group
// only.
void command_note(Context& cx, std::string_view key);

// The composite text of `key` whose repeat group lists the split variables
// and values of the current group; `more` fills the parameters after it.
Text split_text(Context& cx, std::string_view key, std::initializer_list<Text> more = {});

}  // namespace mva
