// The executive's notes, with the message keys of their plain and SPLIT
// forms and the class each is reported with.
#include "mva/frame/executive_notes.h"

#include <cassert>

#include "mva/frame/queries.h"

namespace mva {

namespace {

struct NoteKeys {
  std::string_view plain;
  std::string_view split;
  MessageClass msg_class;
};

// Indexed by DataNote. The EM note is reported as a syntax message, the others
// as run-time ones.
constexpr NoteKeys kDataNotes[] = {
    {"EXEC_ NO MISSING VALUE => NO T-STAT", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO T-STAT",
     MessageClass::Runtime},
    {"EXEC_ NO MISSING VALUE => NO MPATT", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO MPATT",
     MessageClass::Runtime},
    {"EXEC_ NO MISSING VALUE => NO TPATT", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO TPATT",
     MessageClass::Runtime},
    {"EXEC_ NO COMPLETE CASE => NO LISTWISE", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO COMPLETE CASE => NO LISTWISE",
     MessageClass::Runtime},
    {"EXEC_ NO MISSING VALUE => NO EM_EST", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO EM_EST",
     MessageClass::Syntax},
    {"EXEC_ NO MISSING VALUE => NO REGR", "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO REGR",
     MessageClass::Runtime},
};

// The notes on the data and the command are shown as warnings.
constexpr Severity kNoteSeverity = Severity::Warning;

}  // namespace

Text split_text(Context& cx, std::string_view key, std::initializer_list<Text> more) {
  Host& host = cx.host;
  host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(key));
  host.BP_BEGIN_REPEAT_LIST();
  host.BP_SPLIT_LIST(cx.ws);
  host.BP_END_REPEAT_LIST();
  for (const Text& parameter : more) host.BP_ADD_PARAMETER(parameter);
  return host.BP_END_COMPSTRING();
}

void data_note(Context& cx, DataNote note) {
  const NoteKeys& keys = kDataNotes[static_cast<int>(note)];
  const Text text = cx.host.split_count() > 0 ? split_text(cx, keys.split) : cx.host.BP_CSTRING(keys.plain);
  cx.host.BP_ERROR(text, keys.msg_class, kNoteSeverity);
}

void em_outfile_note(Context& cx) {
  cx.host.BP_ERROR(split_text(cx, "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO MISSING VALUE => NO OUTFILE"),
                   MessageClass::Runtime, kNoteSeverity);
}

void regression_outfile_note(Context& cx) {
  cx.host.BP_ERROR(cx.host.BP_CSTRING("EXEC_ NO MISSING VALUE => NO OUTFILE"), MessageClass::Runtime, kNoteSeverity);
}

void no_value_warnings(Context& cx, int method) {
  assert(method == kEm || method == kRegression);
  const bool em = method == kEm;
  const std::string_view plain = em ? "EXEC_ NO VALID VALUE OF ^1 => EM" : "EXEC_ NO VALID VALUE OF ^1 => REG";
  const std::string_view split = em ? "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO VALID VALUE OF ^2 => EM"
                                    : "EXEC_ SPLIT [:^1=^2, :$2=$1]1 NO VALID VALUE OF ^2 => REG";
  Host& host = cx.host;
  const RealTriangle PWN = cx.triangle(cx.cmn.a.PWN);
  for (std::int64_t k = 1; k <= cx.cmn.NANAL; ++k) {
    const std::int64_t v = IANVAR(cx, k);
    if (v < 1 || ISCATV(cx, v) || !(ISDEPV(cx, v, method) || ISINDP(cx, v, method))) continue;
    if (PWN(k, k) > 0.0) continue;
    const Text name = host.BP_VARIABLE(v, 0);
    Text text;
    if (host.split_count() > 0) {
      text = split_text(cx, split, {name});
    } else {
      host.BP_BEGIN_COMPSTRING(host.BP_CSTRING(plain));
      host.BP_ADD_PARAMETER(name);
      text = host.BP_END_COMPSTRING();
    }
    host.BP_ERROR(text, MessageClass::Runtime, kNoteSeverity);
  }
}

void category_prefix_notes(Context& cx) {
  Host& host = cx.host;
  const WordArray VWIDTH = cx.words(cx.cmn.a.VWIDTH);
  for (std::int64_t k = 1; k <= cx.cmn.NANAL; ++k) {
    const std::int64_t v = IANVAR(cx, k);
    if (v < 1 || VWIDTH(v) <= 8 || !ISCATV(cx, v)) continue;
    const auto pair = host.values_sharing_first_cell(v);
    if (!pair) continue;
    host.BP_BEGIN_COMPSTRING(host.BP_CSTRING("EXEC_ CATEGORIES OF ^1 ON 8 CHARACTERS ^2 ^3"));
    host.BP_ADD_PARAMETER(host.BP_VARIABLE(v, 0));
    host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(pair->first));
    host.BP_ADD_PARAMETER(host.BP_CSTRING_NO_TRANSLATE(pair->second));
    host.BP_ERROR(host.BP_END_COMPSTRING(), MessageClass::Runtime, Severity::Note);
  }
}

void command_note(Context& cx, std::string_view key) {
  if (is_true(cx.cmn.FIRSTG)) cx.host.BP_ERROR(cx.host.BP_CSTRING(key), MessageClass::Runtime, kNoteSeverity);
}

}  // namespace mva
