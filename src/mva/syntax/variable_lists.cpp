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

constexpr ListOptions kVariablesList{0, 2, 11, 1};
constexpr ListOptions kCategoricalList{0, 3, 11, 1};
constexpr ListOptions kDependentList{0, 2, 11, 3};
constexpr ListOptions kIndependentList{0, 2, 11, 2};

// Marks slot v as a case-matrix column; the running count NV counts each
// slot once.
void select_column(Context& cx, std::int64_t v) {
  const WordArray colof = cx.words(cx.cmn.a.COLOF);
  if (colof(v) == 0) colof(v) = ++cx.cmn.NV;
}

// Selects the continuation slots that follow slot v.
void select_continuations(Context& cx, std::int64_t v) {
  for (std::int64_t u = v + 1; u <= cx.cmn.NVAR && cx.host.DICGET(u).type < 0; ++u) {
    select_column(cx, u);
  }
}

bool on_vlist(const Context& cx, std::int64_t v) {
  const WordArray vlist = cx.words(cx.cmn.a.VLIST);
  for (std::int64_t i = 1; i <= cx.cmn.NVAR; ++i) {
    if (vlist(i) == v) return true;
  }
  return false;
}

// A temporary list of NVAR cells for the readers other than VARIABLES.
class TempList {
 public:
  explicit TempList(Context& cx) : cx_(cx) {
    ok_ = !cx.host.QNOMEM(cx.ws, base_, 8, cx.cmn.NVAR);
  }
  ~TempList() {
    if (ok_) cx_.host.FREMEM(cx_.ws, base_, cx_.cmn.NVAR);
  }
  TempList(const TempList&) = delete;
  TempList& operator=(const TempList&) = delete;

  bool ok() const { return ok_; }
  std::span<std::int64_t> span() const {
    return {cx_.words(base_).data(), static_cast<std::size_t>(cx_.cmn.NVAR)};
  }

 private:
  Context& cx_;
  Index base_ = 0;
  bool ok_ = false;
};

// The role flags of variable v, negated (or restored) together.
void negate_roles(Context& cx, std::int64_t v) {
  const std::int64_t n = cx.cmn.NVAR;
  const ArrayBases& a = cx.cmn.a;
  const WordArray iscat = cx.words(a.ISCAT), dep = cx.words(a.DEPFLG),
                  ind = cx.words(a.INDFLG), des = cx.words(a.DESFLG);
  iscat(v) = -iscat(v);
  for (std::int64_t half = 0; half < 2; ++half) {
    dep(half * n + v) = -dep(half * n + v);
    ind(half * n + v) = -ind(half * n + v);
  }
  for (std::int64_t block = 0; block < 3; ++block) des(block * n + v) = -des(block * n + v);
}

void clamp_roles(Context& cx, std::int64_t v) {
  const std::int64_t n = cx.cmn.NVAR;
  const ArrayBases& a = cx.cmn.a;
  auto clamp = [](std::int64_t& f) { f = std::max<std::int64_t>(f, 0); };
  clamp(cx.words(a.ISCAT)(v));
  for (std::int64_t half = 0; half < 2; ++half) {
    clamp(cx.words(a.DEPFLG)(half * n + v));
    clamp(cx.words(a.INDFLG)(half * n + v));
  }
  for (std::int64_t block = 0; block < 3; ++block) clamp(cx.words(a.DESFLG)(block * n + v));
}

bool is_variables_keyword(const Context& cx) {
  if (!at_name(cx)) return false;
  const std::string& t = current(cx).text;
  return t == "VAR" || t == "VARI" || t == "VARIA" || t == "VARIAB" || t == "VARIABL" ||
         t.starts_with("VARIABLE");
}

}  // namespace

void read_variables(Context& cx, Logical& error) {
  MvaCommon& c = cx.cmn;
  const std::int64_t n = c.NVAR;
  const ArrayBases& a = c.a;
  const WordArray vlist = cx.words(a.VLIST), iscat = cx.words(a.ISCAT),
                  dep = cx.words(a.DEPFLG), ind = cx.words(a.INDFLG),
                  des = cx.words(a.DESFLG), sortky = cx.words(a.SORTKY);

  for (std::int64_t v = 1; v <= n; ++v) {
    vlist(v) = 0;
    const std::int64_t t = cx.host.DICGET(v).type;
    const std::int64_t role = t == 0 ? 1 : 0;  // numeric: dependent and independent
    for (std::int64_t half = 0; half < 2; ++half) {
      dep(half * n + v) = role;
      ind(half * n + v) = role;
    }
    iscat(v) = t > 0 ? 1 : 0;
    for (std::int64_t block = 0; block < 3; ++block) des(block * n + v) = 0;
    sortky(v) = 0;
  }

  advance(cx);
  if (is_variables_keyword(cx)) advance(cx);
  skip_equals(cx);

  std::int64_t count = 0;
  error = kFalse;
  cx.host.PRVRLT(cx.ws, cx.handle, kVariablesList,
                 std::span<std::int64_t>(vlist.data(), static_cast<std::size_t>(n)), count,
                 error);

  // Each long string is followed on the list by its continuation slots.
  if (count < n) {
    std::vector<std::int64_t> expanded;
    for (std::int64_t i = 1; i <= count; ++i) {
      const std::int64_t v = vlist(i);
      expanded.push_back(v);
      const std::int64_t t = cx.host.DICGET(v).type;
      const std::int64_t extra = t > 0 ? (t - 1) / 8 : 0;
      for (std::int64_t e = 1; e <= extra; ++e) expanded.push_back(v + e);
    }
    count = std::min<std::int64_t>(static_cast<std::int64_t>(expanded.size()), n);
    for (std::int64_t i = 1; i <= n; ++i) vlist(i) = i <= count ? expanded[i - 1] : 0;
  }
  if (is_true(error)) return;

  for (std::int64_t v = 1; v <= n; ++v) negate_roles(cx, v);
  for (std::int64_t i = 1; i <= count; ++i) {
    const std::int64_t v = vlist(i);
    negate_roles(cx, v);
    select_column(cx, v);
    if (cx.host.DICGET(v).type < 0) select_continuations(cx, v);
  }
  const std::int64_t w = cx.host.weight_var();
  if (w > 0) select_column(cx, w);  // the weight is stored with every case
  for (std::int64_t v = 1; v <= n; ++v) clamp_roles(cx, v);
}

void CATV(Context& cx, Logical& error) {
  advance(cx);
  skip_equals(cx);
  TempList list(cx);
  if (!list.ok()) {
    error = kTrue;
    return;
  }
  cx.host.DICGNV();
  const std::int64_t n = cx.cmn.NVAR;
  const WordArray iscat = cx.words(cx.cmn.a.ISCAT);
  for (std::int64_t v = 1; v <= n; ++v) {
    iscat(v) = cx.host.DICGET(v).type > 0 && on_vlist(cx, v) ? 1 : 0;
  }

  std::int64_t count = 0;
  Logical failed = kFalse;
  cx.host.PRVRLT(cx.ws, cx.handle, kCategoricalList, list.span(), count, failed);
  if (is_true(failed)) {
    error = kTrue;
    syntax_error(cx, "CATV_ ERROR READING VARIABLE LIST");
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t v = list.span()[static_cast<std::size_t>(i)];
    if (on_vlist(cx, v)) iscat(v) = 1;  // a variable off the list is ignored
  }
  const WordArray dep = cx.words(cx.cmn.a.DEPFLG), ind = cx.words(cx.cmn.a.INDFLG);
  for (std::int64_t v = 1; v <= n; ++v) {
    if (iscat(v) == 0) continue;
    dep(v) = dep(n + v) = 0;
    ind(v) = ind(n + v) = 0;
  }
}

void LABV(Context& cx, Logical& error) {
  MvaCommon& c = cx.cmn;
  error = kFalse;
  advance(cx);
  skip_equals(cx);
  c.IDVAR = -1;
  if (at_name(cx)) c.IDVAR = cx.host.DICSCH(current(cx).text);

  const std::int64_t n = c.NVAR;
  const WordArray vlist = cx.words(c.a.VLIST);
  if (c.IDVAR >= 1) {
    const std::int64_t v = c.IDVAR;
    cx.words(c.a.DEPFLG)(v) = 0;
    cx.words(c.a.INDFLG)(v) = 0;
    cx.words(c.a.ISCAT)(v) = 0;
    cx.words(c.a.DESFLG)(v) = 0;
    for (std::int64_t i = 1; i <= n; ++i) {
      if (vlist(i) != v) continue;
      for (std::int64_t j = i; j < n; ++j) vlist(j) = vlist(j + 1);
      vlist(n) = 0;
      break;
    }
    select_column(cx, v);
    select_continuations(cx, v);
  }

  std::int64_t listed = 0;
  for (std::int64_t i = 1; i <= n; ++i) listed += vlist(i) != 0 ? 1 : 0;
  if (listed == 0) {
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

struct RoleList {
  Index ArrayBases::*flags;
  ListOptions options;
  std::string_view no_memory;
  std::string_view unreadable;
  std::string_view not_usable;
};

void read_role_list(Context& cx, int m, const RoleList& role) {
  TempList list(cx);
  if (!list.ok()) {
    syntax_error(cx, role.no_memory);
    return;
  }
  std::int64_t count = 0;
  Logical failed = kFalse;
  cx.host.PRVRLT(cx.ws, cx.handle, role.options, list.span(), count, failed);
  if (count == 0 || is_true(failed) || (m != kEm && m != kRegression)) {
    syntax_error(cx, role.unreadable);
    return;
  }
  const std::int64_t n = cx.cmn.NVAR;
  const WordArray flags = cx.words(cx.cmn.a.*role.flags);
  const std::int64_t offset = m == kEm ? 0 : n;
  for (std::int64_t v = 1; v <= n; ++v) flags(offset + v) = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t v = list.span()[static_cast<std::size_t>(i)];
    if (ISCATV(cx, v) || !INVLST(cx, v)) {
      syntax_error(cx, role.not_usable, {cx.host.DICGET(v).name});
    }
    flags(offset + v) = 1;
  }
}

}  // namespace

void DEPV(Context& cx, int m) {
  read_role_list(cx, m,
                 {&ArrayBases::DEPFLG, kDependentList,
                  "DEPV_ ERROR READING DEPENDENT VARIABLE LIST",
                  "DEPV_ ERROR READING DEPENDENT VARIABLE LIST",
                  "DEPV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG"});
}

void INDV(Context& cx, int m) {
  read_role_list(cx, m,
                 {&ArrayBases::INDFLG, kIndependentList, "INDV_ NOT ENOUGH MEMORY",
                  "INDV_ ERROR READING INDEPENDENT VARIABLE LIST",
                  "INDV_ VARIABLE ^1 IS NOT IN NOT USED OR IS CATEG"});
}

}  // namespace mva
