// Saved-file dictionaries: the variables of each file kind, copied from the
// active file or made afresh with their formats and value labels.
#include "mva/save/saved_dictionary.h"

#include <string>

#include "mva/frame/queries.h"

namespace mva {

namespace {

constexpr std::size_t kNameLength = 8;         // names of new variables
constexpr std::size_t kIndicatorStem = 6;      // characters of a dependent's name after the prefix
constexpr std::size_t kValueTextLength = 139;  // longest user-missing value text in a label
constexpr int kFormatF = 5;                    // the host's F format type

// The first n characters of `name`.
std::string first_chars(std::string_view name, std::size_t n) { return std::string(name.substr(0, n)); }

// The first 8 characters of `name`, blank padded to 8.
std::string padded_name(std::string_view name) {
  std::string out = first_chars(name, kNameLength);
  out.resize(kNameLength, ' ');
  return out;
}

// Builds the variables of one file; every call adds to the file's dictionary.
class Builder {
 public:
  Builder(Context& cx, int method, FileHandle handle)
      : cx_(cx), host_(cx.host), method_(method), handle_(handle), names_(method_names(method)) {}

  // Copies active-file variable v.
  void copy(std::int64_t v) { host_.DICRDA(handle_, v); }

  // The split variables, in the host's order.
  void copy_split_variables() {
    for (std::int64_t k = 1; k <= host_.split_count(); ++k) copy(host_.split_variable(k));
  }

  // A numeric variable with the print format (type, width, decimals);
  // returns its slot.
  std::int64_t numeric(std::string_view name, int type, int width, int decimals) {
    VarRecord record = host_.DICCLR(name, 0);
    const Format f = host_.DIFENC(type, width, decimals);
    record.format = PrintFormat{f.type, f.width, f.decimals};
    return host_.DICPUT(handle_, record);
  }

  // An 8-character string variable.
  void string8(std::string_view name) { host_.DICPUT(handle_, host_.DICCLR(name, 8)); }

  // DATA: the variables with a column, and the split variables, in
  // dictionary order.
  void data_variables() {
    for (std::int64_t v = 1; v <= cx_.cmn.NVAR; ++v) {
      if (var_type(cx_.words(cx_.cmn.a.VWIDTH)(v)) == VarType::Continuation) continue;
      if (ISANAL(cx_, v) || is_split(v)) copy(v);
    }
  }

  // INDICATOR: an indicator per dependent, in dictionary order, then CASE_IS.
  void indicator_variables() {
    for (std::int64_t v = 1; v <= cx_.cmn.NVAR; ++v) {
      if (!DEPFL(cx_, v, method_)) continue;
      const VarRecord record = host_.DICGET(v);
      const std::string stem = padded_name(record.name) + " is ";
      const std::int64_t slot =
          numeric(std::string(names_.prefix) + first_chars(record.name, kIndicatorStem), kFormatF, 2, 0);
      host_.VLBPTL(1.0, stem + "present");
      host_.VLBPTL(0.0, stem + "system sissing");
      const int count = user_missing_count(record);
      for (int j = 1; j <= count; ++j) host_.VLBPTL(static_cast<double>(-j), stem + missing_text(record, j));
      host_.VLBPDE(handle_, slot);
    }
    const std::int64_t slot = numeric("CASE_IS", kFormatF, 2, 0);
    host_.VLBPTL(0.0, "Incomplete");
    host_.VLBPTL(1.0, "Complete  ");
    host_.VLBPDE(handle_, slot);
  }

  // IMPUTES: the split variables, the case or its ID, the variable name and
  // the imputed value.
  void imputes_variables() {
    copy_split_variables();
    if (cx_.cmn.IDVAR >= 1) {
      copy(cx_.cmn.IDVAR);
    } else {
      numeric("CASE_", kFormatF, 8, 0);
    }
    string8("VAR_NAME");
    numeric(std::string(names_.prefix) + "ESTIM", kFormatF, 8, 0);
  }

  // STATISTICS: the split variables, the row type, the variable name and
  // one variable per matrix variable with a widened format.
  void statistics_variables() {
    copy_split_variables();
    string8("ROWTYPE_");
    string8("VAR_NAME");
    for (std::int64_t v = 1; v <= cx_.cmn.NVAR; ++v) {
      if (!DEPFL(cx_, v, method_) && !INDFL(cx_, v, method_)) continue;
      const VarRecord record = host_.DICGET(v);
      int type = 0, width = 0, decimals = 0;
      host_.DIFDEC(record.format, type, width, decimals);
      numeric(first_chars(record.name, kNameLength), type, width + 2, decimals + 2);
    }
  }

 private:
  bool is_split(std::int64_t v) const {
    for (std::int64_t k = 1; k <= host_.split_count(); ++k) {
      if (host_.split_variable(k) == v) return true;
    }
    return false;
  }

  // Number of user-missing values a label is made for: the discrete values,
  // or the bounds of a range (and its extra value).
  static int user_missing_count(const VarRecord& record) {
    if (record.missing_form >= 1 && record.missing_form <= 3) return record.missing_form;
    if (record.missing_form == kMissingRange) return 2;
    if (record.missing_form == kMissingRangeOne) return 3;
    return 0;
  }

  // The text of user-missing value j: a number as the variable's print
  // format shows it (the host's text, without the leading blanks of its
  // width; an open range end is a word, not a number of hundreds of
  // digits), a string as stored less its trailing blanks.
  std::string missing_text(const VarRecord& record, int j) const {
    const auto k = static_cast<std::size_t>(j - 1);
    std::string text;
    if (record.type > 0) {
      text = record.missing_text[k];
      text.erase(text.find_last_not_of(' ') + 1);
    } else {
      text = host_.print_text(record.missing[k], record.format);
    }
    return first_chars(text, kValueTextLength);
  }

  Context& cx_;
  Host& host_;
  int method_;
  FileHandle handle_;
  MethodNames names_;
};

}  // namespace

MethodNames method_names(int m) {
  switch (m) {
    case kListwise: return {"L_", "MEAN_LIS"};
    case kPairwise: return {"P_", "MEAN_PAI"};
    case kEm: return {"E_", "MEAN_EM"};
    default: return {"R_", "MEAN_REG"};
  }
}

void SAVDIC(Context& cx, int method, FileKind kind, FileHandle handle) {
  Builder build(cx, method, handle);
  switch (kind) {
    case kDataFile: build.data_variables(); break;
    case kIndicatorFile:
      build.data_variables();
      build.indicator_variables();
      break;
    case kImputesFile: build.imputes_variables(); break;
    case kStatisticsFile: build.statistics_variables(); break;
    case kNoFile: return;
  }
  std::int64_t error = 0;
  cx.host.DSDICTX(handle, error);
  if (error != 0) {
    cx.host.ERROR(error, MessageClass::Runtime, Severity::Error);
    return;
  }
  SFSETS(cx.cmn, method, kind, handle);
}

}  // namespace mva
