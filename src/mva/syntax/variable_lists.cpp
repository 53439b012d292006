// The variable-list readers. The VARIABLES list chooses the analysed
// variables (string variables are categorical, numeric ones quantitative and,
// by default, dependent and independent for EM and REGRESSION); CATEGORICAL
// makes listed numeric variables categorical; ID names a variable kept with
// each case for display; the dependent and independent lists of EM and
// REGRESSION replace the default roles for their subcommand. A long string
// occupies its dictionary slot and the continuation slots after it, and every
// slot gets its own case-matrix column.
#include "mva/syntax/variable_lists.h"

#include <algorithm>
#include <span>
#include <vector>

#include "mva/frame/queries.h"
#include "mva/syntax/reading.h"

namespace mva {

namespace {

// How the host's list reader reads each list: only existing variables;
// the list ends at "/" (code 11) or, for the dependent and independent
// lists, also where the next part of the subcommand begins.
constexpr ListOptions kVariablesList{.scratch = 0, .duplicates = 2, .terminator = 11, .list = 1};
constexpr ListOptions kCategoricalList{.scratch = 0, .duplicates = 3, .terminator = 11, .list = 1};
constexpr ListOptions kDependentList{.scratch = 0, .duplicates = 2, .terminator = 11, .list = 3};
constexpr ListOptions kIndependentList{.scratch = 0, .duplicates = 2, .terminator = 11, .list = 2};

VarType type_of(Context& cx, std::int64_t v) { return var_type(cx.host.DICGET(v).type); }

// Marks slot v as a case-matrix column; the running count NV counts each
// slot once.
void select_column(Context& cx, std::int64_t v) {
  const WordArray colof = cx.words(cx.cmn.a.COLOF);
  if (colof(v) == 0) colof(v) = ++cx.cmn.NV;
}

// Selects the continuation slots that follow slot v.
void select_continuations(Context& cx, std::int64_t v) {
  for (std::int64_t u = v + 1; u <= cx.cmn.NVAR && type_of(cx, u) == VarType::Continuation; ++u) {
    select_column(cx, u);
  }
}

// The VARIABLES list as a span of its NVAR entries.
std::span<std::int64_t> vlist_entries(const Context& cx) { return cx.words(cx.cmn.a.VLIST).first(cx.cmn.NVAR); }

// True when v is any entry of the VARIABLES list.
bool on_vlist(const Context& cx, std::int64_t v) {
  return std::ranges::find(vlist_entries(cx), v) != vlist_entries(cx).end();
}

// A temporary list of NVAR cells for the readers other than VARIABLES. A
// reader with a message of its own for a shortage only asks; the others let
// the host report it.
class TempList {
 public:
  TempList(Context& cx, OnShortage on_shortage) : cx_(cx) {
    ok_ = !cx.host.QNOMEM(cx.ws, base_, 8, cx.cmn.NVAR, on_shortage);
  }
  ~TempList() {
    if (ok_) cx_.host.FREMEM(cx_.ws, base_, cx_.cmn.NVAR);
  }
  TempList(const TempList&) = delete;
  TempList& operator=(const TempList&) = delete;

  bool ok() const { return ok_; }
  // The NVAR cells the list reader fills.
  std::span<std::int64_t> cells() const { return cx_.words(base_).first(cx_.cmn.NVAR); }

 private:
  Context& cx_;
  Index base_ = 0;
  bool ok_ = false;
};

// Applies f to every role flag of variable v: ISCAT, both halves of the
// dependent and independent flags and the three blocks of DESCRIBE flags.
template <class F>
void for_each_role_flag(const Context& cx, std::int64_t v, F f) {
  f(cx.words(cx.cmn.a.ISCAT)(v));
  for (const FlagBlocks& flags : {cx.dependent_flags(), cx.independent_flags(), cx.describe_flags()}) {
    for (int m = flags.first(); m <= flags.last(); ++m) f(flags(m, v));
  }
}

bool is_variables_keyword(const Context& cx) {
  if (!at_name(cx)) return false;
  const std::string& t = current(cx).text;
  return t == "VAR" || t == "VARI" || t == "VARIA" || t == "VARIAB" || t == "VARIABL" || t.starts_with("VARIABLE");
}

// Rewrites the first `count` entries of the list so that each long string is
// followed by its continuation slots; the rest become 0. Returns the new
// length, at most the list's capacity.
std::int64_t expand_long_strings(Context& cx, std::span<std::int64_t> list, std::int64_t count) {
  std::vector<std::int64_t> expanded;
  for (const std::int64_t v : list.first(static_cast<std::size_t>(count))) {
    expanded.push_back(v);
    const std::int64_t extra = continuation_slots(cx.host.DICGET(v).type);
    for (std::int64_t e = 1; e <= extra; ++e) expanded.push_back(v + e);
  }
  const auto length = std::min(expanded.size(), list.size());
  expanded.resize(list.size(), 0);
  std::ranges::copy(expanded, list.begin());
  return static_cast<std::int64_t>(length);
}

}  // namespace

void read_variables(Context& cx, Logical& error) {
  MvaCommon& c = cx.cmn;
  const std::int64_t n = c.NVAR;
  const WordArray vlist = cx.words(c.a.VLIST), iscat = cx.words(c.a.ISCAT), sortky = cx.words(c.a.SORTKY);
  const FlagBlocks dep = cx.dependent_flags(), ind = cx.independent_flags(), des = cx.describe_flags();

  for (std::int64_t v = 1; v <= n; ++v) {
    vlist(v) = 0;
    const VarType type = type_of(cx, v);
    const std::int64_t role = type == VarType::Numeric ? 1 : 0;  // dependent and independent
    for (const int m : {kEm, kRegression}) dep(m, v) = ind(m, v) = role;
    iscat(v) = type == VarType::String ? 1 : 0;
    for (int m = des.first(); m <= des.last(); ++m) des(m, v) = 0;
    sortky(v) = 0;
  }

  advance(cx);
  if (is_variables_keyword(cx)) advance(cx);
  skip_equals(cx);

  std::int64_t count = 0;
  error = kFalse;
  const std::span<std::int64_t> list = vlist_entries(cx);
  cx.host.PRVRLT(cx.ws, cx.handle, kVariablesList, list, count, error);
  if (count < n) count = expand_long_strings(cx, list, count);
  if (is_true(error)) return;

  // Roles are negated for every variable and restored for the listed ones;
  // the clamp to 0 then clears the roles of every variable off the list.
  const auto negate = [](std::int64_t& flag) { flag = -flag; };
  for (std::int64_t v = 1; v <= n; ++v) for_each_role_flag(cx, v, negate);
  for (std::int64_t i = 1; i <= count; ++i) {
    const std::int64_t v = vlist(i);
    for_each_role_flag(cx, v, negate);
    select_column(cx, v);
    if (type_of(cx, v) == VarType::Continuation) select_continuations(cx, v);
  }
  const std::int64_t w = cx.host.weight_var();
  if (w > 0) select_column(cx, w);  // the weight is stored with every case
  const auto clamp = [](std::int64_t& flag) { flag = std::max<std::int64_t>(flag, 0); };
  for (std::int64_t v = 1; v <= n; ++v) for_each_role_flag(cx, v, clamp);
}

void CATV(Context& cx, Logical& error) {
  advance(cx);
  skip_equals(cx);
  TempList list(cx, OnShortage::Report);
  if (!list.ok()) {
    error = kTrue;
    return;
  }
  cx.host.DICGNV();
  const std::int64_t n = cx.cmn.NVAR;
  const WordArray iscat = cx.words(cx.cmn.a.ISCAT);
  for (std::int64_t v = 1; v <= n; ++v) {
    iscat(v) = type_of(cx, v) == VarType::String && on_vlist(cx, v) ? 1 : 0;
  }

  std::int64_t count = 0;
  Logical failed = kFalse;
  cx.host.PRVRLT(cx.ws, cx.handle, kCategoricalList, list.cells(), count, failed);
  if (is_true(failed)) {
    error = kTrue;
    syntax_error(cx, "CATV_ ERROR READING VARIABLE LIST");
    return;
  }
  for (const std::int64_t v : list.cells().first(static_cast<std::size_t>(count))) {
    if (on_vlist(cx, v)) iscat(v) = 1;  // a variable off the list is ignored
  }
  const FlagBlocks dep = cx.dependent_flags(), ind = cx.independent_flags();
  for (std::int64_t v = 1; v <= n; ++v) {
    if (iscat(v) == 0) continue;
    for (const int m : {kEm, kRegression}) dep(m, v) = ind(m, v) = 0;
  }
}

void LABV(Context& cx, Logical& error) {
  MvaCommon& c = cx.cmn;
  error = kFalse;
  advance(cx);
  skip_equals(cx);
  c.IDVAR = -1;
  if (at_name(cx)) c.IDVAR = cx.host.DICSCH(current(cx).text);

  const std::span<std::int64_t> list = vlist_entries(cx);
  if (c.IDVAR >= 1) {
    const std::int64_t v = c.IDVAR;
    cx.dependent_flags()(kEm, v) = 0;
    cx.independent_flags()(kEm, v) = 0;
    cx.words(c.a.ISCAT)(v) = 0;
    cx.describe_flags()(kDpattern, v) = 0;
    // The ID leaves the list; the entries after it move up.
    if (const auto at = std::ranges::find(list, v); at != list.end()) {
      std::shift_left(at, list.end(), 1);
      list.back() = 0;
    }
    select_column(cx, v);
    select_continuations(cx, v);
  }

  if (std::ranges::count(list, 0) == static_cast<std::ptrdiff_t>(list.size())) {
    syntax_error(cx, "LABV_ THERE ARE NO VARIABLE TO USE");
    error = kTrue;
  }
  if (c.IDVAR == 0) {
    syntax_error(cx, "LABV_ BAD VARIABLE ^1", {token_text(cx)});
    error = kTrue;
  } else {
    c.IDVAR = std::max<std::int64_t>(c.IDVAR, 0);
  }
}

namespace {

// What tells the dependent and the independent list readers apart.
struct RoleList {
  FlagBlocks (Context::*flags)() const;  // the flags the list sets
  ListOptions options;                   // how the host reads the list
  std::string_view no_memory;            // message: no temporary array
  std::string_view unreadable;           // message: empty or unreadable list
  std::string_view not_usable;           // message: a categorical or unlisted variable
};

// Reads the dependent or independent list of subcommand m (EM or
// REGRESSION) into that subcommand's half of the flags.
void read_role_list(Context& cx, int m, const RoleList& role) {
  TempList list(cx, OnShortage::Answer);
  if (!list.ok()) {
    syntax_error(cx, role.no_memory);
    return;
  }
  std::int64_t count = 0;
  Logical failed = kFalse;
  cx.host.PRVRLT(cx.ws, cx.handle, role.options, list.cells(), count, failed);
  const FlagBlocks flags = (cx.*role.flags)();
  if (count == 0 || is_true(failed) || !flags.has_block(m)) {
    syntax_error(cx, role.unreadable);
    return;
  }
  for (std::int64_t v = 1; v <= cx.cmn.NVAR; ++v) flags(m, v) = 0;
  for (const std::int64_t v : list.cells().first(static_cast<std::size_t>(count))) {
    if (ISCATV(cx, v) || !INVLST(cx, v)) {
      syntax_error(cx, role.not_usable, {cx.host.DICGET(v).name});
    }
    flags(m, v) = 1;
  }
}

}  // namespace

void DEPV(Context& cx, int m) {
  read_role_list(cx, m,
                 {.flags = &Context::dependent_flags,
                  .options = kDependentList,
                  .no_memory = "DEPV_ ERROR READING DEPENDENT VARIABLE LIST",
                  .unreadable = "DEPV_ ERROR READING DEPENDENT VARIABLE LIST",
                  .not_usable = "DEPV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG"});
}

void INDV(Context& cx, int m) {
  read_role_list(cx, m,
                 {.flags = &Context::independent_flags,
                  .options = kIndependentList,
                  .no_memory = "INDV_ NOT ENOUGH MEMORY",
                  .unreadable = "INDV_ ERROR READING INDEPENDENT VARIABLE LIST",
                  .not_usable = "INDV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG"});
}

}  // namespace mva
