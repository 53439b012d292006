#!/usr/bin/env python3
"""Computes, independently of the program, the numbers that the command

    MVA <variables> /LISTWISE /PAIRWISE.

shows for a fixture under tests/fixtures/mva/: the univariate statistics
(N, mean, SD, missing count and percent, low and high extremes), the
listwise means, covariances and correlations, and the pairwise frequencies,
means, SDs, covariances and correlations, split group by split group; and
writes them to <fixture>.expected.json beside the data.

Rerun from the repository root with

    /usr/bin/python3 tools/mva_expected.py

(it rewrites all three expected files and, for airquality, checks its values
against tests/fixtures/mva/airquality.R.csv from tools/airquality_fixture.R).

Sums are exact: every value is taken as the rational number its double
stands for (fractions.Fraction), sums of weights, of weighted values and of
weighted products are exact, and each statistic is rounded to a double once
at the end (square roots and correlations through 40-digit decimals). The
program accumulates in doubles with running means, so it may differ from
these in the last few bits.

The definitions followed, and the choices made where they leave one:

Cases and weights.
- A case's weight is the weight variable's value truncated toward zero; a
  value within 1e-8 (relative) of a whole number is taken as that number
  (1.9999999999 counts 2). A blank weight counts 0. Cases whose truncated
  weight is 0 or less are dropped: they count nowhere, not in the totals,
  not in the case count that chooses the extremes rule, not among the
  values whose quartiles are taken. Without a weight variable every case
  weighs 1.
- Split groups are runs of consecutive cases with equal split values; each
  is analysed on its own.
- A cell is present when its status is valid: numeric cells that are blank,
  NA or "." are system-missing; user-missing values are equal to a listed
  value, or inside the range (low <= x <= high; LO and HI are open ends), or
  equal to the extra value of a range. A string value is compared with a
  missing word on its first min(width, 8) bytes, blank padded, and when the
  width is more than 8 its bytes from the 9th on must be blank.
- String variables are categorical; numeric ones are quantitative. A case
  is complete when every listed variable, categorical ones included, is
  present.

Statistics (W is a sum of truncated weights).
- Univariate, per listed variable: N = W of the cases where it is present;
  mean over those (system-missing, null, when N = 0); SD with divisor N - 1
  (null when N <= 1, 0 when the variance is not positive); missing count =
  W of all cases - N; missing percent = (1 - N / W of all cases) * 100 (null
  when there is no case). Means and SDs of quantitative variables only.
- Extremes (unweighted counts of cases), quantitative variables only. With
  N = number of cases kept and Q = number of quantitative listed variables:
  when Q * N * log10(N) > 150000 the mean +- 2 SD rule, else the
  interquartile rule.
  Interquartile: the present values sorted, n of them, q = ceil(n/4),
  Q1 = x(q), Q3 = x(n-q+1) (1-based, no interpolation: R's type 1 quantile
  for Q1 and its mirror from the top for Q3); s = 1.5 * (Q3 - Q1);
  limits Q1 - s and Q3 + s, in double arithmetic as written. No value: limits
  null, counts 0. Equal limits: counts -1 (shown as null).
  Mean +- 2 SD: the limits are the mean -+ 2 * SD of the univariate row
  (SD with divisor N - 1, 0 when N <= 1); equal limits: counts -1.
  Either rule: a value <= the lower limit is low, else a value >= the
  upper one is high.
- Listwise: over the complete cases, N = their W (shown as the number of
  cases); means; covariances with divisor N - 1 (all 0 when N <= 1);
  correlations cov / sqrt(var_i var_k) (null when a variance is not
  positive); the diagonal of the correlations is 1 (null without variance).
  No complete case: no listwise tables (null).
- Pairwise, for a row variable i and a column variable k (the frequency
  table takes categorical variables too): frequency = W of the cases where
  both are present; mean (row i, column k) = the mean of k over the cases
  where i and k are both present (null when the frequency is 0); SD of k
  over those cases (null when the frequency is <= 1); covariance (null when
  the frequency is <= 1); correlation = cov / sqrt(var_i var_k) with both
  variances over the cases where both are present (null when the frequency
  is <= 1 or a variance is not positive); the correlation diagonal is 1
  when the variable has variance, else null. The frequency, covariance
  and correlation tables are lower triangles in the order of the
  VARIABLES list: row i holds the columns named before it and itself.

EM (airquality.em.expected.json): what MVA <all six variables> /EM shows
under the normal, t (TDF=4) and contaminated-normal (PROPORTION=0.1
LAMBDA=5) models, iterated to the fixed point (CONVERGENCE=1E-300, enough
ITERATIONS), from the textbook E and M steps of tools/em_reference.py in
floating point: incomplete cases weighted by the model's expected precision
factor at their distance under the previous estimates, complete cases by 1;
covariances with divisor N - 1; Little's statistic with the complete
cases' weight for the complete pattern and the number of cases for the
others.
"""
import csv
import json
import math
import sys
from decimal import Decimal, getcontext
from fractions import Fraction

getcontext().prec = 40
FIXTURES = "tests/fixtures/mva/"
NA_TOKENS = {"", "NA", "."}

RUNS = [
    {"name": "airquality", "data": "airquality.csv", "dict": None,
     "variables": ["Ozone", "SolarR", "Wind", "Temp"]},
    {"name": "usermissing", "data": "usermissing.csv", "dict": "usermissing.dict.json",
     "variables": ["q3", "q1", "q2", "q5", "q4", "longtext", "sname"]},
    {"name": "weighted_split", "data": "weighted_split.csv", "dict": "weighted_split.dict.json",
     "variables": ["a", "b", "c", "d"]},
]


# ---------------------------------------------------------------- reading

def is_number(text):
    try:
        float(text)
        return text.strip().lower() not in ("inf", "-inf", "+inf", "nan", "infinity")
    except ValueError:
        return False


class Variable:
    def __init__(self, name, cells, entry):
        self.name = name
        declared = entry.get("type")
        self.string = declared == "string" or (
            declared is None and not all(c.strip() in NA_TOKENS or is_number(c) for c in cells))
        self.width = entry.get("width", max([len(c.rstrip(" \t")) for c in cells] + [1])) if self.string else 0
        missing = entry.get("missing", {})
        self.values = list(missing.get("values", []))
        self.range = None
        if "range" in missing:
            low, high = missing["range"]
            self.range = (-math.inf if str(low).upper() in ("LO", "LOWEST") else float(low),
                          math.inf if str(high).upper() in ("HI", "HIGHEST") else float(high))
            if "value" in missing:
                self.values = [missing["value"]]
        if self.string:
            self.cells = [c[:self.width].ljust(self.width) for c in cells]
        else:
            self.cells = [None if c.strip() in NA_TOKENS else float(c) for c in cells]

    def present(self, case):
        """The cell's status is valid (not system- or user-missing)."""
        x = self.cells[case]
        if self.string:
            for word in self.values:
                word = str(word).ljust(self.width)
                n = min(self.width, 8)
                if x[:n] == word[:n] and (self.width <= 8 or x[8:].strip(" ") == ""):
                    return False
            return True
        if x is None:
            return False
        if any(x == float(v) for v in self.values):
            return False
        return not (self.range and self.range[0] <= x <= self.range[1])


def fuzzy_truncate(value):
    if value is None or not math.isfinite(value):
        return 0.0
    nearest = round(value)
    if abs(value - nearest) <= 1e-8 * max(1.0, abs(value)):
        return float(nearest)
    return float(math.trunc(value))


def load(run):
    with open(FIXTURES + run["data"], newline="") as f:
        rows = list(csv.reader(f))
    header, records = rows[0], rows[1:]
    dictionary = {}
    if run["dict"]:
        with open(FIXTURES + run["dict"]) as f:
            dictionary = json.load(f)
    entries = {e["name"].lower(): e for e in dictionary.get("variables", [])}
    variables = {name.lower(): Variable(name, [r[c] for r in records], entries.get(name.lower(), {}))
                 for c, name in enumerate(header)}
    return variables, dictionary, len(records)


# ---------------------------------------------------------------- numbers

def to_float(q):
    return None if q is None else float(q)


def sqrt_float(q):
    """Square root of a non-negative rational, correctly rounded enough."""
    return float((Decimal(q.numerator) / Decimal(q.denominator)).sqrt())


def correlation(var_i, var_k, cov):
    if not (var_i > 0 and var_k > 0):
        return None
    d = lambda q: Decimal(q.numerator) / Decimal(q.denominator)
    r = float(d(cov) / (d(var_i) * d(var_k)).sqrt())
    return max(-1.0, min(1.0, r))


class Moments:
    """Exact weighted sums over a set of (weight, x, y) terms."""

    def __init__(self):
        self.w = Fraction(0)
        self.sx = Fraction(0)
        self.sy = Fraction(0)
        self.sxx = Fraction(0)
        self.syy = Fraction(0)
        self.sxy = Fraction(0)

    def add(self, w, x, y):
        self.w += w
        self.sx += w * x
        self.sy += w * y
        self.sxx += w * x * x
        self.syy += w * y * y
        self.sxy += w * x * y

    def mean_x(self):
        return self.sx / self.w if self.w > 0 else None

    def mean_y(self):
        return self.sy / self.w if self.w > 0 else None

    def var_x(self):
        return (self.sxx - self.sx * self.sx / self.w) / (self.w - 1) if self.w > 1 else Fraction(0)

    def var_y(self):
        return (self.syy - self.sy * self.sy / self.w) / (self.w - 1) if self.w > 1 else Fraction(0)

    def cov(self):
        return (self.sxy - self.sx * self.sy / self.w) / (self.w - 1) if self.w > 1 else Fraction(0)


def sd(var):
    return sqrt_float(var) if var > 0 else 0.0


# ---------------------------------------------------------------- analysis

def analyse_group(cases, weights, listed, quantitative):
    """The expected tables of one split group; `cases` are the kept case
    numbers and `weights` their truncated weights (Fractions)."""
    value = lambda v, c: Fraction(v.cells[c]) if not v.string else Fraction(0)
    present = {v.name: [v.present(c) for c in cases] for v in listed}
    sumwt = sum(weights, Fraction(0))
    n_cases = len(cases)
    n_quant = len(quantitative)
    group = {"cases": n_cases, "sumwt": to_float(sumwt),
             "complete_cases": sum(all(present[v.name][i] for v in listed) for i in range(n_cases))}

    def pair(vi, vk):
        m = Moments()
        for i, c in enumerate(cases):
            if present[vi.name][i] and present[vk.name][i]:
                m.add(weights[i], value(vi, c), value(vk, c))
        return m

    pairs = {(vi.name, vk.name): pair(vi, vk) for vi in listed for vk in listed}

    # Univariate statistics and extremes.
    mean_sd_rule = n_cases > 0 and n_quant * n_cases * math.log10(n_cases) > 150000
    group["extremes_rule"] = "mean_sd" if mean_sd_rule else "iqr"
    rows = []
    closest = math.inf
    for v in listed:
        m = pairs[(v.name, v.name)]
        row = {"variable": v.name, "n": to_float(m.w),
               "missing_count": to_float(sumwt - m.w),
               "missing_percent": to_float((1 - m.w / sumwt) * 100) if sumwt > 0 else None}
        if v in quantitative:
            row["mean"] = to_float(m.mean_x())
            row["sd"] = sd(m.var_x()) if m.w > 1 else None
            values = sorted(v.cells[c] for i, c in enumerate(cases) if present[v.name][i])
            if mean_sd_rule:
                mean = float(m.mean_x()) if m.w > 0 else 0.0
                var = m.var_x()
                d = 2 * sqrt_float(var) if var > 0 else 0.0
                lower, upper = mean - d, mean + d
            elif values:
                n = len(values)
                q = (n + 3) // 4
                q1, q3 = values[q - 1], values[n - q]
                s = 1.5 * (q3 - q1)
                lower, upper = q1 - s, q3 + s
            else:
                lower = upper = None
            if lower is None:
                low = high = 0
            elif upper <= lower:
                low = high = -1
            else:
                low = sum(x <= lower for x in values)
                high = sum(x >= upper and not x <= lower for x in values)
                if mean_sd_rule:  # counts must not hang on the last bits of the limits
                    scale = max(1.0, abs(lower), abs(upper))
                    closest = min([closest] + [min(abs(x - lower), abs(x - upper)) / scale for x in values])
            row["low"] = None if low < 0 else low
            row["high"] = None if high < 0 else high
            row["lower_limit"], row["upper_limit"] = lower, upper
        rows.append(row)
    group["univariate"] = rows
    if closest < 1e-9:
        sys.exit(f"a value lies within {closest:g} of a mean +- 2 SD limit: the counts are fragile")

    names = [v.name for v in listed]
    quant = [v.name for v in listed if v in quantitative]

    # Listwise.
    complete = [i for i in range(n_cases) if all(present[v.name][i] for v in listed)]
    if complete:
        def lw(vi, vk):
            m = Moments()
            for i in complete:
                m.add(weights[i], value(vi, cases[i]), value(vk, cases[i]))
            return m
        by_name = {v.name: v for v in listed}
        lwm = {(i, k): lw(by_name[i], by_name[k]) for i in quant for k in quant}
        listwise = {"n": to_float(lwm[(quant[0], quant[0])].w) if quant else None,
                    "mean": {i: to_float(lwm[(i, i)].mean_x()) for i in quant},
                    "covariance": {}, "correlation": {}}
        for a, i in enumerate(quant):
            listwise["covariance"][i] = {k: to_float(lwm[(i, k)].cov()) for k in quant[:a + 1]}
            listwise["correlation"][i] = {k: correlation(lwm[(i, i)].var_x(), lwm[(k, k)].var_x(), lwm[(i, k)].cov())
                                          for k in quant[:a]}
            listwise["correlation"][i][i] = 1 if lwm[(i, i)].var_x() > 0 else None
        group["listwise"] = listwise
    else:
        group["listwise"] = None

    # Pairwise.
    pw = {"frequency": {}, "mean": {}, "sd": {}, "covariance": {}, "correlation": {}}
    for a, i in enumerate(names):
        pw["frequency"][i] = {k: to_float(pairs[(i, k)].w) for k in names[:a + 1]}
        pw["mean"][i] = {k: to_float(pairs[(i, k)].mean_y()) for k in quant}
        pw["sd"][i] = {k: sd(pairs[(i, k)].var_y()) if pairs[(i, k)].w > 1 else None for k in quant}
    for a, i in enumerate(quant):
        pw["covariance"][i] = {k: to_float(pairs[(i, k)].cov()) if pairs[(i, k)].w > 1 else None
                               for k in quant[:a + 1]}
        pw["correlation"][i] = {k: correlation(pairs[(i, k)].var_x(), pairs[(i, k)].var_y(), pairs[(i, k)].cov())
                                if pairs[(i, k)].w > 1 else None for k in quant[:a]}
        pw["correlation"][i][i] = 1 if pairs[(i, i)].var_x() > 0 else None
    group["pairwise"] = pw
    return group


def expected(run):
    variables, dictionary, n_records = load(run)
    listed = [variables[name.lower()] for name in run["variables"]]
    quantitative = [v for v in listed if not v.string]
    weight = variables[dictionary["weight"].lower()] if dictionary.get("weight") else None
    split = [variables[s.lower()] for s in dictionary.get("split", [])]

    groups = []
    start = 0
    while start < n_records:
        key = tuple(v.cells[start] for v in split)
        end = start
        while end < n_records and tuple(v.cells[end] for v in split) == key:
            end += 1
        cases, weights = [], []
        for c in range(start, end):
            w = fuzzy_truncate(weight.cells[c]) if weight else 1.0
            if w > 0:
                cases.append(c)
                weights.append(Fraction(w))
        group = {"split": {v.name: (int(v.cells[start]) if float(v.cells[start]).is_integer() else v.cells[start]) for v in split} or None}
        group.update(analyse_group(cases, weights, listed, quantitative))
        groups.append(group)
        start = end

    args = ["--data", FIXTURES + run["data"]]
    if run["dict"]:
        args += ["--dict", FIXTURES + run["dict"]]
    command = "MVA " + " ".join(run["variables"]) + " /LISTWISE /PAIRWISE."
    return {"about": "Computed by tools/mva_expected.py (exact sums, rounded once); see that script for the "
                     "definitions followed.",
            "args": args + ["-e", command], "command": command, "groups": groups}


def check_against_r(result):
    """The airquality values against R's own (tools/airquality_fixture.R)."""
    group = result["groups"][0]
    uni = {row["variable"]: row for row in group["univariate"]}
    worst = 0.0
    with open(FIXTURES + "airquality.R.csv") as f:
        for r in csv.DictReader(f):
            table, row, col, value = r["table"], r["row"], r["column"], float(r["value"])
            if table == "univariate":
                ours = uni[row][col]
            elif table == "listwise":
                ours = group["listwise"]["n"]
            elif table == "listwise_mean":
                ours = group["listwise"]["mean"][col]
            elif table.startswith("listwise_"):
                m = group["listwise"][table[len("listwise_"):]]
                ours = m[row][col] if col in m[row] else m[col][row]
            else:
                m = group["pairwise"][table[len("pairwise_"):]]
                ours = m[row][col] if col in m[row] else m[col][row]
            worst = max(worst, abs(ours - value) / max(abs(value), 1e-300))
    print(f"airquality: largest relative difference from R: {worst:.2e}")
    if worst > 1e-13:
        sys.exit("airquality: the values differ from R's")


# ---------------------------------------------------------------- patterns

PATTERN_COMMAND = ("MVA Ozone SolarR Wind Temp Month /CATEGORICAL=Month /TTEST PROB /CROSSTAB PERCENT=0 "
                   "/MISMATCH PERCENT=0 /TPATTERN PERCENT=0 /MPATTERN /DPATTERN.")


def nearest_neighbour_chain(items, distance, missing):
    """Orders `items`: the one missing least first (the first on ties), then
    repeatedly the remaining item nearest the last placed, fewer missing
    breaking ties, then the earlier one in the current arrangement. The
    current arrangement is changed by swapping the chosen item forward, as
    the chain is defined."""
    order = list(items)
    if not order:
        return order
    start = min(range(len(order)), key=lambda i: (missing(order[i]), i))
    order[0], order[start] = order[start], order[0]
    for p in range(len(order) - 1):
        best = min(range(p + 1, len(order)),
                   key=lambda q: (distance(order[q], order[p]), missing(order[q]), q))
        order[p + 1], order[best] = order[best], order[p + 1]
    return order


def pattern_tables(limits):
    """The three pattern tables of PATTERN_COMMAND on airquality: marks
    (S for a blank cell; - at or below the lower extreme limit, + at or above
    the upper one, for the quantitative variables; the limits are those of
    the univariate table), missing counts and percents; the missing-pattern
    rows chained on their patterns and the variables chained on their
    missing columns; the tabulated patterns with their counts, X marks and
    the "complete if" counts (complete cases plus every pattern whose missing
    variables are all missing in this one)."""
    run = RUNS[0]
    variables, _, n = load(run)
    names = ["Ozone", "SolarR", "Wind", "Temp", "Month"]
    listed = [variables[x.lower()] for x in names]
    missing = {c: frozenset(v.name for v in listed if not v.present(c)) for c in range(n)}

    def marks(c, order):
        out = ""
        for name in order:
            v = variables[name.lower()]
            if name in missing[c]:
                out += "S"
            elif name in limits and v.cells[c] <= limits[name][0]:
                out += "-"
            elif name in limits and v.cells[c] >= limits[name][1]:
                out += "+"
            else:
                out += " "
        return out

    def row(c, order):
        k = len(missing[c])
        return {"case": c + 1, "marks": marks(c, order), "missing": k, "percent": 100.0 * k / len(order)}

    incomplete = [c for c in range(n) if missing[c]]
    cases = nearest_neighbour_chain(incomplete, lambda a, b: len(missing[a] ^ missing[b]),
                                    lambda a: len(missing[a]))
    columns = {x: frozenset(c for c in incomplete if x in missing[c]) for x in names}
    sorted_names = nearest_neighbour_chain(names, lambda a, b: len(columns[a] ^ columns[b]),
                                           lambda a: len(columns[a]))
    patterns = []
    for c in cases:
        if patterns and missing[patterns[-1]["case"]] == missing[c]:
            patterns[-1]["count"] += 1
        else:
            patterns.append({"case": c, "count": 1})
    n_complete = n - len(incomplete)
    tabulated = []
    for p in patterns:
        gone = missing[p["case"]]
        tabulated.append({
            "count": p["count"],
            "marks": "".join("X" if x in gone else " " for x in sorted_names),
            "complete_if": n_complete + sum(q["count"] for q in patterns if missing[q["case"]] <= gone)})
    return {
        "about": "Computed by tools/mva_expected.py (pattern_tables); see its docstring.",
        "args": ["--data", FIXTURES + run["data"], "-e", PATTERN_COMMAND],
        "command": PATTERN_COMMAND,
        "dpattern": {"columns": names, "rows": [row(c, names) for c in range(n)]},
        "mpattern": {"columns": sorted_names, "rows": [row(c, sorted_names) for c in cases]},
        "tpattern": {"columns": sorted_names, "complete": n_complete, "patterns": tabulated},
    }


for run in RUNS:
    result = expected(run)
    if run["name"] == "airquality":
        check_against_r(result)
        limits = {row["variable"]: (row["lower_limit"], row["upper_limit"])
                  for row in result["groups"][0]["univariate"] if "lower_limit" in row}
        with open(FIXTURES + "airquality.patterns.expected.json", "w") as f:
            json.dump(pattern_tables(limits), f, indent=1)
            f.write("\n")
    with open(FIXTURES + run["name"] + ".expected.json", "w") as f:
        json.dump(result, f, indent=1)
        f.write("\n")
    for g in result["groups"]:
        print(f"{run['name']} {g['split']}: {g['cases']} cases, {g['complete_cases']} complete, "
              f"sum of weights {g['sumwt']}, rule {g['extremes_rule']}")


# ---------------------------------------------------------------- EM
EM_RUNS = [("normal", "", {}), ("t4", "TDF=4 ", {"tdf": 4.0}),
           ("contaminated", "PROPORTION=0.1 LAMBDA=5 ", {"proportion": 0.1, "lam": 5.0})]


def em_expected():
    sys.path.insert(0, "tools")
    import numpy as np
    import em_reference
    names, x = em_reference.read()
    w = np.ones(len(x))
    runs = []
    for label, options, model in EM_RUNS:
        mu, s, iters = em_reference.em(x, w, 1.0, **model)
        d2, df = em_reference.little(x, w, mu, s, True)
        command = ("MVA " + " ".join(names) + " /NOUNIVARIATE /EM (" + options +
                   "ITERATIONS=" + str(iters + 60) + " CONVERGENCE=1E-300).")
        runs.append({"model": label, "args": ["--data", FIXTURES + "airquality.csv", "-e", command],
                     "means": dict(zip(names, mu)),
                     "covariance": {names[i]: {names[k]: s[i, k] for k in range(i + 1)} for i in range(len(names))},
                     "mcar_chisq": d2, "mcar_df": int(df), "mcar_p": em_reference.chi2.sf(d2, df)})
        print(f"airquality EM {label}: {iters} iterations to the fixed point, MCAR chisq {d2:.6f}")
    with open(FIXTURES + "airquality.em.expected.json", "w") as f:
        json.dump({"about": "Computed by tools/mva_expected.py with tools/em_reference.py (floating point).",
                   "runs": runs}, f, indent=1)
        f.write("\n")


em_expected()
