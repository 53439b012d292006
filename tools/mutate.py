#!/usr/bin/python3
"""Mutation testing of the test suite: `make mutate`.

Plants each fault of FAULTS, one at a time, in a scratch copy of the tree
(build-mutate/src-copy, refreshed from the working tree at each run;
the real tree is never written), builds the copy
incrementally and runs the tests, stopping at the first failure. A fault
that some test catches is killed; one that every test lets through
survives, and is a check the suite is missing.

A fault is (file, exact original snippet, replacement, reason, first). The
snippet must occur exactly once in the file; `first` names the test binary
(and a gtest filter) most likely to catch it, which runs first; only when
that passes do the whole binary and then the other binaries run. A snippet
that is no longer found (the code moved or was rewritten) is reported as
STALE, apart from the survivors, so that the list is easy to keep up.

Exit status: 0 when every fault was killed, 1 when one survived, 2 when
none survived but an entry of the list is stale or does not compile.

    tools/mutate.py                 # every fault
    tools/mutate.py --only 3,sweep  # faults by number or by id substring
    tools/mutate.py --list          # the list, with whether each snippet is found
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SUITES = ["mva", "host", "cli", "fuzz"]  # the gtest binaries, test_<suite>


@dataclass
class Fault:
    id: str
    file: str
    old: str
    new: str
    reason: str
    first: str  # "suite" or "suite:gtest_filter"


# Every fault must be able to change a result. A replacement that cannot is
# an equivalent mutant and survives for no fault of the tests: the listwise
# sums' ratio W / N is always 1 (their factor is 1), the weights in the case
# matrix are already whole (the data pass truncates them), and a running
# whole-number frequency truncated after adding w equals the sum of the
# truncated w; the reference host pads string missing values to the width.
F = Fault
FAULTS = [
    # ---- estimation: moments
    F("pairwise-divisor-n", "src/mva/estimation/moments.cpp",
      "const double scale = covariance_scale(pw.PWN(j, k));",
      "const double scale = has_covariance(pw.PWN(j, k)) ? 1.0 / pw.PWN(j, k) : 0.0;",
      "pairwise covariances divided by N instead of N - 1", "mva:Moments.*"),
    F("momupd-weight-factor", "src/mva/estimation/moment_update.cpp",
      "add_products(cp.row(k).part(first, count).data(), step.spread,",
      "add_products(cp.row(k).part(first, count).data(), step.share,",
      "the updating form's product weight W w / W' loses W", "mva:MomentUpdate.*:Moments.*"),
    F("pairupd-cross-term", "src/mva/estimation/pairwise_update.cpp",
      "add_product(var_col(k), step.spread, dk, dk);", "add_product(var_col(k), step.spread, dj, dk);",
      "the per-case pairwise update adds a cross-product to a sum of squares", "mva:PatternMoments.*"),
    F("pattern-merge-spread", "src/mva/estimation/pattern_moments.cpp",
      "const MomentStep step = moment_step(n, nb, SpreadRounding::share);",
      "MomentStep step = moment_step(n, nb, SpreadRounding::share);\n        step.spread = step.share;",
      "the pooled merge of two groups drops a weight from the between-group term", "mva:PatternMoments.*:Moments.*"),
    # ---- estimation: sweep, distances
    F("sweep-tie-later-column", "src/mva/estimation/sweep.cpp",
      "if (c >= best) {", "if (c > best) {",
      "of equal criteria the first column enters instead of the last", "mva:Sweep.*"),
    # ---- estimation: EM
    F("em-t-factor", "src/mva/estimation/em_iterations.cpp",
      "return (q + tdf) / (d2 + tdf);", "return (1.0 + tdf) / (d2 + tdf);",
      "the t model's case weight ignores the number of observed columns", "mva:EmModelFactors.*:EmReference.*"),
    F("em-contaminated-factor", "src/mva/estimation/em_iterations.cpp",
      "return ((1.0 - proportion) + lambda * e) / ((1.0 - proportion) + e);",
      "return (proportion + lambda * e) / (proportion + e);",
      "the contaminated normal factor swaps the two proportions", "mva:EmModelFactors.*:EmReference.*"),
    F("em-convergence-absolute", "src/mva/estimation/em_iterations.cpp",
      "std::fabs(now) > 1.0 ? model.convergence * std::fabs(now) : model.convergence",
      "model.convergence",
      "the convergence test is absolute for large variances", "mva:EmReference.*"),
    F("em-scale-drops-weight", "src/mva/estimation/em_iterations.cpp",
      "step.scale = covariance_scale(N, W);", "step.scale = covariance_scale(N);",
      "EM covariances lose the factor N / W of weighted or t-model sums", "mva:EmReference.*"),
    F("em-restart-covariances", "src/mva/estimation/em_iterations.cpp",
      "a.cp(k, j) = g * a.LWCOV(k, j);", "a.cp(k, j) = a.LWCOV(k, j);",
      "EM restarts from the listwise covariances as if they were cross-product sums", "mva:EmReference.*"),
    F("em-pool-between-term", "src/mva/estimation/em_iterations.cpp",
      "pool_product(a.cp(k, j), ck[j - 1], step.spread, dk, dj);", "a.cp(k, j) += ck[j - 1];",
      "pooling a pattern group drops the between-group cross-products", "mva:EmIterations.*:EmReference.*"),
    F("little-weighted-count", "src/mva/estimation/em_iterations.cpp",
      "const auto n = static_cast<double>(end - begin);",
      "double n = 0.0;\n    for (std::int64_t pos = begin; pos < end; ++pos) {\n"
      "      const double w = plan.weight(plan.case_at[static_cast<Pos>(pos)]);\n"
      "      if (w > 0.0) n += w;\n    }",
      "Little's statistic weighs a pattern by its weight instead of its case count", "mva:EmReference.*"),
    F("em-file-uncentred", "src/mva/estimation/em_algorithm.cpp",
      "value += (x(u) - a.mu(u)) * a.S(k, j);", "value += x(u) * a.S(k, j);",
      "completed values from uncentred predictors", "mva:EmProcedure.*:EmReference.*"),
    # ---- estimation: regression
    F("reg-start-covariances", "src/mva/estimation/regression_imputation.cpp",
      "REGCOV.at(t) = listwise * g;", "REGCOV.at(t) = listwise;",
      "regression estimates restart from the listwise covariances as if they were sums", "mva:RegressionSelection.*"),
    F("reg-finish-divisor-n", "src/mva/estimation/regression_imputation.cpp",
      "covariance_scale(running.sumw, running.sumwf)", "running.sumw / running.sumwf / running.sumw",
      "regression covariances divided by N instead of N - 1", "mva:RegressionSelection.*"),
    F("reg-residual-boundary", "src/mva/estimation/regression_imputation.cpp",
      "c.NCASES > 2 * c.NINCOM) return;", "c.NCASES >= 2 * c.NINCOM) return;",
      "RESIDUAL is kept when complete cases only equal the incomplete ones", "mva:RegressionFiles.*"),
    F("reg-donor-range", "src/mva/estimation/case_imputation.cpp",
      "draws.uniform(1.0, static_cast<double>(n))",
      "draws.uniform(1.0, static_cast<double>(n) + 1.0)",
      "the donor draw reaches one case further", "mva:RegressionSelection.*:RegressionFiles.*"),
    # ---- diagnostics
    F("welch-df-divisor", "src/mva/diagnostics/separate_variance.cpp",
      "a * a / (n_p - 1.0) + b * b", "a * a / n_p + b * b",
      "Welch-Satterthwaite degrees of freedom with n instead of n - 1", "mva:TTests.*"),
    F("ttest-degenerate-group", "src/mva/diagnostics/separate_variance.cpp",
      "n_p > 1.0 && n_m > 1.0 && w_p > 0.0", "n_p > 1.0 && n_m > 0.0 && w_p > 0.0",
      "a missing group of weight 1 gets a t test", "mva:TTests.*"),
    F("quartile-rank", "src/mva/diagnostics/extremes.cpp",
      "const std::int64_t q = (n + 3) / 4;", "const std::int64_t q = (n + 2) / 4;",
      "the quartile's rank is off by one for some n", "mva:Extremes.*"),
    F("extreme-low-inclusive", "src/mva/diagnostics/extremes.cpp",
      "x(e.low + 1) <= e.lower", "x(e.low + 1) < e.lower",
      "a value exactly at the lower limit is not counted", "mva:Extremes.*"),
    F("sort-budget", "src/mva/diagnostics/extremes.cpp",
      "kSortBudget = 150000.0;", "kSortBudget = 15000.0;",
      "the quartile rule gives way to mean +- 2 SD ten times too early", "mva:Extremes.*"),
    F("univariate-sd-weight-one", "src/mva/diagnostics/univariate_table.cpp",
      "finish_sd(n_of(row), in_.PWVAR(row.c, row.c), sysmis_)",
      "finish_sd(n_of(row) + 1.0, in_.PWVAR(row.c, row.c), sysmis_)",
      "a standard deviation is shown for a weight sum of 1", "mva:UnivariateTable.*"),
    F("crosstab-total-kept-only", "src/mva/diagnostics/crosstab_counts.cpp",
      "    column_totals_(s) += whole;\n    if (r < 1) continue;",
      "    if (r < 1) continue;\n    column_totals_(s) += whole;",
      "a case whose value has no kept category drops out of the column totals", "mva:Crosstabs.*"),
    F("mismatch-both-missing", "src/mva/diagnostics/mismatch_percents.h",
      "PWN(b, b) - 2.0 * PWN(a, b)", "PWN(b, b) - PWN(a, b)",
      "mismatch counts the cases where both are present once only", "mva:IndicatorMismatch.*"),
    F("variable-chain-tie", "src/mva/diagnostics/variable_order.cpp",
      "(d == best_d && mq < best_m)", "(d == best_d && mq <= best_m)",
      "of equally near variables the chain takes the last instead of the first", "mva:IndicatorMismatch.*"),
    F("pattern-threshold-inclusive", "src/mva/diagnostics/tabulated_patterns.cpp",
      "return percent > PATPCT;", "return percent >= PATPCT;",
      "a pattern exactly at the percent limit is shown", "mva:PatternTables.*"),
    F("tabulated-mean-unweighted", "src/mva/diagnostics/tabulated_patterns.cpp",
      "means(v) += (CELLV(in.cx, v, L) - means(v)) * w / out.W;",
      "means(v) += (CELLV(in.cx, v, L) - means(v)) / out.W;",
      "a pattern's means drop the case weights from the updating form", "mva:PatternTables.*"),
    F("sort-ties-reversed", "src/mva/diagnostics/record_sort.cpp",
      "return ia < ib ? -1 : ia > ib ? 1 : 0;", "return ia < ib ? 1 : ia > ib ? -1 : 0;",
      "records equal on every key come out in reverse order", "mva:RecordSort.*:PatternTables.*"),
    # ---- cases
    F("missing-range-open-top", "src/mva/cases/missing_codes.cpp",
      "value <= rec.missing[1]) return", "value < rec.missing[1]) return",
      "the high end of a missing range is not missing", "mva:MissingCodes.*"),
    F("missing-string-tail", "src/mva/cases/missing_codes.cpp",
      "std::int64_t rest = width - kCellChars;", "std::int64_t rest = 0;",
      "a long string is missing whatever follows its first 8 characters", "mva:MissingCodes.*"),
    F("maxcat-off-by-one", "src/mva/cases/categories.cpp",
      "if (k >= c.MAXCAT) return true;", "if (k > c.MAXCAT) return true;",
      "one category more than MAXCAT is kept", "mva:Categories.*"),
    # ---- syntax
    F("percent-100-accepted", "src/mva/syntax/percent_option.cpp",
      "p >= 0.0 && p < 100.0", "p >= 0.0 && p <= 100.0",
      "PERCENT=100 is accepted", "mva:SubcommandReaders.*"),
    F("tdf-200-refused", "src/mva/syntax/method_parameters.cpp",
      "value >= 2.0 && value <= 200.0", "value >= 2.0 && value < 200.0",
      "TDF=200 is refused", "mva:SubcommandReaders.*"),
    F("em-tolerance-zero-refused", "src/mva/syntax/em_reader.cpp",
      "[](double t) { return t >= 0.0 && t < 1.0; }", "[](double t) { return t > 0.0 && t < 1.0; }",
      "EM TOLERANCE=0 is refused", "mva:SubcommandReaders.*"),
    # ---- save
    F("matrix-row-short", "src/mva/save/statistics_matrix.cpp",
      "for (std::int64_t j = 1; j <= n; ++j) record(j) = covariances(column(i), column(j));",
      "for (std::int64_t j = 1; j < n; ++j) record(j) = covariances(column(i), column(j));",
      "the last cell of each COVA row keeps a stale value", "mva:SavedFiles.*"),
    # ---- host: readers, numerics, renderers
    F("csv-semicolon-tie", "src/host/data/csv_reader.cpp",
      "if (semicolon > comma && semicolon > tab) return ';';",
      "if (semicolon >= comma && semicolon > tab) return ';';",
      "a header with as many semicolons as commas is read as semicolon-separated", "host:CsvReader.*:DataSet.*"),
    F("number-decimals-exponent", "src/host/data/number_text.cpp",
      "long{n.fraction_digits} - n.exponent", "long{n.fraction_digits} + n.exponent",
      "the decimals of a number with an exponent move the wrong way", "host:NumberText.*:DataSet.*"),
    F("correlation-one-variance", "src/host/services/numerics.cpp",
      "if (!(var1 > 0.0) || !(var2 > 0.0)) return kSystemMissing;",
      "if (!(var1 > 0.0)) return kSystemMissing;",
      "a correlation with a zero variance on one side is computed", "host:Numerics.*"),
    F("text-centre-side", "src/host/output/render_text.cpp",
      "cell.align == Align::Center ? room / 2 : 0;",
      "cell.align == Align::Center ? room - room / 2 : 0;",
      "a centred header leans right instead of left", "host:OutputText.*"),
]


def run(cmd, cwd, log, timeout=None):
    """Runs cmd at low priority; returns (exit status, seconds). Output goes to log."""
    start = time.monotonic()
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(map(str, cmd))}\n")
        out.flush()
        try:
            status = subprocess.run(["nice", "-n", "15", *map(str, cmd)], cwd=cwd, stdout=out,
                                    stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            status = "timeout"
    return status, time.monotonic() - start


def tree_files(root):
    """The files of the tree, relative to it, without build folders and .git."""
    files = set()
    for folder, dirs, names in os.walk(root):
        here = Path(folder).relative_to(root)
        dirs[:] = [d for d in dirs if d != "__pycache__" and not (here == Path(".") and
                                                                 (d.startswith("build") or d == ".git"))]
        files.update(here / n for n in names if not (here == Path(".") and n == ".git"))
    return files


def sync_tree(source, copy):
    """Makes `copy` hold the files of `source`, writing only those that differ
    (unchanged files keep their times, so the copy's build stays incremental)."""
    copy.mkdir(parents=True, exist_ok=True)
    wanted = tree_files(source)
    for rel in tree_files(copy) - wanted:
        (copy / rel).unlink()
    for rel in wanted:
        data = (source / rel).read_bytes()
        target = copy / rel
        if target.exists() and target.read_bytes() == data:
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        shutil.copymode(source / rel, target)


class Scratch:
    """The scratch copy of the tree and its build folder."""

    def __init__(self, base, jobs, log):
        self.base = base
        self.src = base / "src-copy"
        # Inside the copy, as build/ is inside the tree: the compiler sees the
        # same relative paths, so the cache serves the copy's first build.
        self.build = self.src / "build"
        self.jobs = jobs
        self.log = log

    def refresh(self):
        self.base.mkdir(parents=True, exist_ok=True)
        sync_tree(ROOT, self.src)
        status, _ = run(["cmake", "-S", self.src, "-B", self.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                         "-DMVA_PYTHON=OFF", "-DMVA_WERROR=OFF"], ROOT, self.log)
        if status != 0:
            sys.exit(f"mutate: configuring {self.build} failed (see {self.log})")

    def build_targets(self, suites, fast_for=None):
        """Builds the test binaries of `suites`. With `fast_for` (the mutated
        file), only the library that holds it and the one binary are brought
        up to date, without the program and the loadable module the binary
        also depends on (make's /fast targets): enough for the first run."""
        names = [f"test_{s}" for s in suites]
        if fast_for is not None and len(suites) == 1:
            library = ["mva_module", "mva_core"] if fast_for.startswith("src/mva/") else \
                ["mva_host"] if fast_for.startswith("src/host/") else None
            if library is not None:
                # One at a time: /fast targets know nothing of their order.
                return all(self.cmake_build([f"{t}/fast"]) for t in library + names)
        return self.cmake_build(names)

    def cmake_build(self, names):
        targets = [a for n in names for a in ("--target", n)]
        return run(["cmake", "--build", self.build, "-j", str(self.jobs), *targets], ROOT, self.log)[0] == 0

    def test(self, suite, gtest_filter=None, timeout=900):
        """True when the binary passes (with the filter, if any)."""
        cmd = [self.build / f"test_{suite}", "--gtest_fail_fast", "--gtest_brief=1"]
        if gtest_filter:
            cmd.append(f"--gtest_filter={gtest_filter}")
        status, _ = run(cmd, self.src, self.log, timeout)
        return status == 0


def locate(fault):
    """'ok', 'stale' (not found) or 'ambiguous' (found more than once)."""
    path = ROOT / fault.file
    if not path.exists():
        return "stale"
    count = path.read_text().count(fault.old)
    return "ok" if count == 1 else "stale" if count == 0 else "ambiguous"


def try_fault(scratch, fault):
    """Plants the fault, builds and tests; returns (outcome, detail)."""
    target = scratch.src / fault.file
    original = target.read_text()
    target.write_text(original.replace(fault.old, fault.new, 1))
    try:
        first_suite, _, first_filter = fault.first.partition(":")
        if not scratch.build_targets([first_suite], fast_for=fault.file):
            return "no-compile", ""
        if first_filter and not scratch.test(first_suite, first_filter):
            return "killed", f"test_{first_suite} {first_filter}"
        if not scratch.build_targets([first_suite]) or not scratch.test(first_suite):
            return "killed", f"test_{first_suite}"
        others = [s for s in SUITES if s != first_suite]
        if not scratch.build_targets(others):
            return "no-compile", ""
        for s in others:
            if not scratch.test(s):
                return "killed", f"test_{s}"
        return "survived", ""
    finally:
        target.write_text(original)


def select(faults, only):
    if not only:
        return list(enumerate(faults, 1))
    wanted = [w.strip() for w in only.split(",") if w.strip()]
    chosen = []
    for n, f in enumerate(faults, 1):
        if any(w == str(n) or (not w.isdigit() and w in f.id) for w in wanted):
            chosen.append((n, f))
    return chosen


def main():
    parser = argparse.ArgumentParser(description="Plants faults one at a time and runs the tests.")
    parser.add_argument("--only", help="comma-separated fault numbers or id substrings")
    parser.add_argument("--list", action="store_true", help="list the faults and whether each snippet is found")
    parser.add_argument("--no-baseline", action="store_true", help="skip the run of the unchanged copy")
    parser.add_argument("--build-dir", default=str(ROOT / "build-mutate"))
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()

    chosen = select(FAULTS, args.only)
    if args.list:
        for n, f in chosen:
            print(f"{n:3} {f.id:28} {locate(f):9} {f.file}: {f.reason}")
        return 0

    base = Path(args.build_dir).resolve()
    log = base / "mutate.log"
    base.mkdir(parents=True, exist_ok=True)
    log.write_text("")
    scratch = Scratch(base, args.jobs, log)
    started = time.monotonic()
    scratch.refresh()
    print(f"mutate: {len(chosen)} faults; scratch copy {scratch.src}; log {log}", flush=True)
    if not args.no_baseline:
        if not scratch.build_targets(SUITES) or not all(scratch.test(s) for s in SUITES):
            sys.exit(f"mutate: the unchanged copy does not build or pass its tests (see {log})")
        print(f"mutate: the unchanged copy passes ({time.monotonic() - started:.0f} s)", flush=True)

    results = []
    for n, f in chosen:
        where = locate(f)
        t0 = time.monotonic()
        if where != "ok":
            outcome, detail = where, f"snippet {'not found' if where == 'stale' else 'found more than once'}"
        else:
            outcome, detail = try_fault(scratch, f)
        results.append((n, f, outcome))
        print(f"{n:3} {f.id:28} {outcome.upper():10} {time.monotonic() - t0:5.0f} s  {detail}", flush=True)
    # The copy is left unchanged and built, so that a rerun starts from it.

    survivors = [(n, f) for n, f, o in results if o == "survived"]
    broken = [(n, f, o) for n, f, o in results if o in ("stale", "ambiguous", "no-compile")]
    killed = sum(1 for _, _, o in results if o == "killed")
    print(f"\nmutate: {killed} killed, {len(survivors)} survived, {len(broken)} to update, "
          f"of {len(results)} ({time.monotonic() - started:.0f} s)")
    for n, f in survivors:
        print(f"  SURVIVED {n} {f.id}: {f.file}: {f.reason}")
    for n, f, o in broken:
        print(f"  {o.upper()} {n} {f.id}: {f.file}: update the entry")
    return 1 if survivors else 2 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
