"""EM runs followed step by step: incomplete cases in location order, the
sweep operator with its tolerance rule, the stopping rule, Little's test.

Writes tests/fixtures/estimation/em_sweep_reference.json (used by
tests/mva/em_test.cpp) and tests/fixtures/estimation/nhanes_weighted.csv;
prints a summary (kept in tools/em_sweep_reference.out). Reads
tests/fixtures/mva/nhanes.csv and mammalsleep.csv (tools/em_datasets_fixture.R)
and airquality.csv.

tools/em_reference.py computes the fixed point of EM, which does not depend
on the path. This script instead follows one EM run as the program defines
it, so that it also gives the iteration count at which the stopping rule
ends the run and the values in cases where the path matters:

- Start: the means of all present values and the pairwise covariances
  (each pair over the cases in which both are present, divisor W - 1 with W
  the summed weight).
- One iteration: the sums restart from the complete cases (weight sum Nc,
  cross-products (Nc - 1) x listwise covariance). The incomplete cases are
  visited in case order. Before each, the working matrix (the previous
  covariance estimate) is swept so that the case's observed independent
  columns are in: columns no longer observed are swept out first, then the
  new ones are swept in one at a time, the one with the largest remaining
  diagonal relative to its reference first (a later column wins a tie). A
  column is refused when its remaining diagonal is below TOLERANCE times its
  reference, or when taking it in would bring a column already in below
  that. The reference diagonal is the working matrix's diagonal at the
  first sweep of the iteration. A refused column is not a predictor for
  that case; whether a column is refused therefore depends on which columns
  are in already, that is on the order of the cases.
- A case with a missing dependent variable is completed by the regression
  on the swept-in columns; the residual covariance of its missing part
  (over columns not observed) goes to its cross-products; the case enters
  the running moments with weight w and model factor f (t model
  (q + nu) / (d2 + nu), contaminated normal: the posterior-weighted
  precision ratio, lambda in the limit of a far case), d2 the squared
  distance of its swept-in part from the previous means. The cross-products
  are divided by (W / N) (N - 1), N the sum of the weights w and W the sum
  of w f.
- Stopping: after an iteration, the run stops when no dependent variance
  moved by more than CONVERGENCE (times the new variance when it exceeds 1).
- Little's test: the incomplete cases in the pattern chain order (each next
  case the nearest in missing pattern to the one before), grouped by the
  state of the dependent variables; the matrix swept on each group's
  observed independent columns with the same tolerance rule; d2 summed as
  n_g (ybar_g - mu)' S_g^-1 (ybar_g - mu), with the complete cases at their
  listwise means counted by their weight sum.
- Completed data: each case in case order, the final cross-products swept
  on its observed independent columns, missing dependent cells replaced by
  their regression prediction.

The sweep is written on a full symmetric numpy matrix, from its textbook
definition (Goodnight 1979): sweeping k in maps a_kk to -1/a_kk, a_ik to
a_ik/a_kk and a_ij to a_ij - a_ik a_kj / a_kk; sweeping out is the inverse.
"""
import csv
import json
import math
import os

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIX = os.path.join(ROOT, "tests/fixtures")
OUT_JSON = os.path.join(FIX, "estimation/em_sweep_reference.json")
OUT_WEIGHTED = os.path.join(FIX, "estimation/nhanes_weighted.csv")


def read(path, keep):
    with open(path) as f:
        rows = list(csv.reader(f))
    names = rows[0]
    idx = [names.index(v) for v in keep]
    x = np.array([[float(r[i]) if r[i] not in ("", "NA") else np.nan for i in idx] for r in rows[1:]])
    return x


class Sweeper:
    """The working matrix with its column status (1 candidate, -1 in, 0
    out) and reference diagonal."""

    def __init__(self, a, tol):
        self.a = a.copy()
        self.p = a.shape[0]
        self.tol = tol
        self.ref = np.zeros(self.p)
        self.refused = 0
        self.skipped = 0

    def sweep(self, status, refresh):
        a, t = self.a, self.tol
        if refresh:
            self.ref = np.diag(a).copy()
        refused = set()
        steps = 0
        while steps < self.p:
            choice, best, forced = None, 0.0, False
            for k in range(self.p):
                if self.ref[k] == 0:
                    continue
                if status[k] < 0:
                    choice, forced = k, True
                    break
                if status[k] != 1 or k in refused or a[k, k] == 0:
                    continue
                r = abs(a[k, k] / self.ref[k])
                if r < t:
                    self.skipped += 1
                    continue
                if r >= best:
                    choice, best = k, r
            if choice is None:
                break
            k = choice
            if not forced and self.lowers_a_column_in(k):
                refused.add(k)
                self.refused += 1
                continue
            self.pivot(k, entering=status[k] > 0)
            status[k] = 0
            steps += 1
        return status  # a refused candidate keeps status 1

    def lowers_a_column_in(self, k):
        """Columns in have the diagonal -1 / (remaining variance); with k in
        as well it would be a_ii - a_ik^2 / a_kk."""
        a = self.a
        for i in range(self.p):
            if self.ref[i] != 0 and a[i, i] < 0:
                after = a[i, i] - a[i, k] ** 2 / a[k, k]
                if self.ref[i] * self.tol * after + 1 < 0:  # remaining < tol * reference
                    return True
        return False

    def pivot(self, k, entering):
        """Sweeps k in or out."""
        a = self.a
        d = a[k, k]
        col = a[:, k].copy()
        new = a - np.outer(col, col) / d
        new[:, k] = col / d if entering else -col / d
        new[k, :] = new[:, k]
        new[k, k] = -1.0 / d
        a[:, :] = new  # in place: the caller's view of the matrix stays valid


def mahal(mu, a, x, cols):
    d = 0.0
    inn = [k for k in cols if a[k, k] < 0 and not math.isnan(x[k]) and not math.isnan(mu[k])]
    for k in inn:
        ek = x[k] - mu[k]
        if ek == 0:
            continue
        for j in inn:
            d -= a[k, j] * ek * (x[j] - mu[j])
    return max(d, 0.0)


def factor(d2, q, model):
    pi, lam, tdf = model.get("proportion", 0), model.get("lambda", 0), model.get("tdf", 0)
    if pi > 0 and lam > 0:
        z = math.log(pi) + 0.5 * ((1 - lam) * d2 + q * math.log(lam))
        if z > 0:  # e = exp(z) large: divide through by it
            r = (1 - pi) * math.exp(-z)
            return (lam + r) / (1 + r)
        e = math.exp(z)
        return ((1 - pi) + lam * e) / ((1 - pi) + e)
    if tdf >= 2:
        return (q + tdf) / (d2 + tdf)
    return 1.0


def weighted_moments(x, w):
    """Weighted mean and cross-products about it (sum of squares form)."""
    W = w.sum()
    mu = (w[:, None] * x).sum(axis=0) / W
    d = x - mu
    return W, mu, (w[:, None] * d).T @ d


def casord(miss, dep, quant):
    """The pattern chain: start at the fewest missing dependent variables,
    then each next location the nearest in pattern over the quantitative
    variables (fewest missing on a tie, then the first met)."""
    n = len(miss)
    order = list(range(n))
    c = [int(sum(miss[i][k] for k in range(len(dep)) if dep[k])) for i in range(n)]
    start = min(range(n), key=lambda i: (c[i], i))
    order[0], order[start] = order[start], order[0]
    nv = miss.shape[1] if n else 0
    for pos in range(n - 1):
        cur = order[pos]
        best, bd, bm = None, 10 ** 9, 10 ** 9
        for q in range(pos + 1, n):
            cand = order[q]
            d = int(sum(miss[cand][k] != miss[cur][k] for k in range(nv) if quant[k]))
            m = int(sum(miss[cand][k] for k in range(nv) if quant[k]))
            if d == 0:
                best = q
                break
            if d < bd or (d == bd and m < bm):
                best, bd, bm = q, d, m
        order[pos + 1], order[best] = order[best], order[pos + 1]
    return order


def run(x, w, dep, indep, cat, tol=0.001, conv=1e-4, iters=25, **model):
    """One EM run; x holds the listed variables (categorical ones too)."""
    n, p = x.shape
    quant = [not c for c in cat]
    em = [d or i for d, i in zip(dep, indep)]
    miss = np.isnan(x)
    complete = ~miss.any(axis=1)
    pos = w > 0
    locs = [i for i in range(n) if miss[i].any()]
    for i in locs:
        for k in range(p):
            if indep[k] and not dep[k] and miss[i, k]:
                raise SystemExit("missing independent variable")
    qc = [k for k in range(p) if quant[k]]
    # Listwise and pairwise moments.
    cc = complete & pos
    Nc = w[cc].sum()
    lwmean = np.zeros(p)
    lwcp = np.zeros((p, p))
    if Nc > 0:
        _, m, s = weighted_moments(x[np.ix_(cc, qc)], w[cc])
        lwmean[qc] = m
        lwcp[np.ix_(qc, qc)] = s
    start_mean = np.zeros(p)
    start_cov = np.zeros((p, p))
    for a in qc:
        for b in qc:
            both = ~miss[:, a] & ~miss[:, b] & pos
            W = w[both].sum()
            ma = (w[both] * x[both, a]).sum() / W
            mb = (w[both] * x[both, b]).sum() / W
            cp = (w[both] * (x[both, a] - ma) * (x[both, b] - mb)).sum()
            start_cov[a, b] = cp / (W - 1) if W > 1 else 0.0
        present = ~miss[:, a] & pos
        start_mean[a] = (w[present] * x[present, a]).sum() / w[present].sum()
    means, cov = start_mean.copy(), start_cov.copy()
    count, converged, scale, refused = 0, False, 0.0, 0
    margins = []
    g = Nc - 1 if Nc > 0 else 0.0  # (Nc - 1) Wc / Nc with Wc = Nc
    lwcov = lwcp / (Nc - 1) if Nc > 1 else np.zeros((p, p))
    while not converged and count < iters:
        count += 1
        mu = means.copy()
        sw = Sweeper(cov, tol)
        means = lwmean.copy()
        cp = g * lwcov  # lower triangle is used
        status = np.zeros(p)
        sumw, sumwf = Nc, Nc
        first = True
        for i in locs:
            obs = np.array([1.0 if indep[k] and not miss[i, k] else 0.0 for k in range(p)])
            xv = np.array([x[i, k] if em[k] else 0.0 for k in range(p)])
            status = status + obs
            status = sw.sweep(status, first)
            first = False
            status = status - obs
            S = sw.a
            q = float(sum(1 for k in range(p) if status[k] == -1))
            d2 = mahal(mu, S, xv, qc)
            f = factor(d2, q, model)
            wi = w[i]
            if not (wi > 0 and f > 0):
                continue
            any_missing = False
            for k in range(p):
                if not (dep[k] and miss[i, k]):
                    continue
                any_missing = True
                v = mu[k]
                for j in range(p):
                    if obs[j] == 0 and j <= k:
                        cp[k, j] += wi * f * S[k, j]
                    if status[j] == -1:
                        v += (xv[j] - mu[j]) * S[k, j]
                xv[k] = v
            if any_missing:
                c = wi * f
                after = sumwf + c
                gg = c * sumwf / after
                dv = np.array([xv[k] - means[k] if quant[k] else 0.0 for k in range(p)])
                for k in qc:
                    for j in qc:
                        if j <= k:
                            cp[k, j] += dv[j] * gg * dv[k]
                for k in qc:
                    means[k] += dv[k] * c / after
                sumw += wi
                sumwf = after
        N, W = sumw, sumwf
        scale = (N / W) / (N - 1) if N > 1 else 0.0
        low = np.tril(cp) * scale
        cov = low + np.tril(low, -1).T
        status = sw.sweep(status, False)
        refused += sw.refused + sw.skipped
        prev = sw.a
        converged = True
        for k in range(p):
            if not dep[k]:
                continue
            a, b = cov[k, k], prev[k, k]
            limit = conv * abs(a) if abs(a) > 1 else conv
            margins.append(abs(b - a) / limit)
            if abs(b - a) > limit:
                converged = False
                break
    # Little's test.
    sw = Sweeper(cov, tol)
    obs = np.array([1.0 if indep[k] else 0.0 for k in range(p)])
    status = sw.sweep(obs.copy(), True)
    chisq, df = 0.0, 0
    if Nc > 0:
        chisq = Nc * mahal(lwmean, sw.a, means, qc)
    order = [locs[j] for j in casord(miss[locs], dep, quant)] if locs else []
    depmiss = [tuple(bool(dep[k] and miss[i, k]) for k in range(p)) for i in order]
    b = 0
    while b < len(order) and not any(depmiss[b]):
        b += 1
    if b == len(order) and order:
        b = len(order) - 1
    while order and b < len(order):
        head = order[b]
        status = status - obs
        for k in range(p):
            if not indep[k]:
                continue
            if not miss[head, k]:
                status[k] += 1
                obs[k] = 1
                df += 1
            else:
                obs[k] = 0
        e = b
        while e < len(order) and depmiss[e] == depmiss[b]:
            e += 1
        gm = np.zeros(p)
        sw_ = 0.0
        for i in order[b:e]:
            if not w[i] > 0:
                continue
            sw_ += w[i]
            for k in range(p):
                if em[k]:
                    gm[k] += w[i] / sw_ * (x[i, k] - gm[k])
        status = sw.sweep(status, False)
        chisq += (e - b) * mahal(gm, sw.a, means, qc)
        b = e
    # Completed data.
    sw = Sweeper(cov / scale if scale > 0 else np.zeros((p, p)), tol)
    status = np.zeros(p)
    first = True
    imputed = []
    for i in range(n):
        if i not in locs:
            continue
        ob = np.array([1.0 if indep[k] and not miss[i, k] else 0.0 for k in range(p)])
        status = sw.sweep(status + ob, first) - ob
        first = False
        for k in range(p):
            if dep[k] and miss[i, k]:
                v = means[k] + sum((x[i, j] - means[j]) * sw.a[k, j]
                                   for j in range(p) if indep[j] and status[j] == -1)
                imputed.append([i + 1, k, v])
    return {"means": means, "cov": cov, "iterations": count, "converged": converged,
            "chisq": chisq, "df": df, "refused": refused, "imputed": imputed,
            "last_margin": margins[-1] if margins else None, "margins": margins}


def case(label, command, names, x, w, dep, indep, cat, **opts):
    r = run(x, w, dep, indep, cat, **opts)
    shown = [k for k in range(len(names)) if dep[k] and not cat[k]]
    print(f"{label}: {command}")
    print(f"  {r['iterations']} iterations, converged {r['converged']}, pivots refused {r['refused']}")
    near = [m for m in r["margins"] if 0.999 < m < 1.001]
    print(f"  stopping rule: |change| / limit of the deciding variance {r['last_margin']:.6g}"
          f"{' (TOO CLOSE TO 1)' if near else ''}")
    print("  means", " ".join(f"{names[k]}={r['means'][k]:.10g}" for k in shown))
    print(f"  Little chisq {r['chisq']:.10f} df {r['df']}")
    return {"label": label, "command": command, "names": [names[k] for k in shown],
            "means": [r["means"][k] for k in shown],
            "cov": [[r["cov"][a, b] for b in shown] for a in shown],
            "iterations": r["iterations"], "converged": r["converged"],
            "mcar_chisq": r["chisq"], "mcar_df": r["df"],
            "imputed": [[row, names[k], v] for row, k, v in r["imputed"]]}


def main():
    out = []
    nh = ["age", "bmi", "hyp", "chl"]
    x = read(os.path.join(FIX, "mva/nhanes.csv"), nh)
    one = np.ones(len(x))
    al = [True] * 4
    no = [False] * 4
    out.append(case("nhanes", "MVA age bmi hyp chl /EM (TOLERANCE=0.9).", nh, x, one, al, al, no, tol=0.9))
    out.append(case("nhanes", "MVA age bmi hyp chl /EM.", nh, x, one, al, al, no))
    out.append(case("nhanes", "MVA age bmi hyp chl /CATEGORICAL=hyp /EM.", nh, x, one,
                    [True, True, False, True], [True, True, False, True], [False, False, True, False]))
    out.append(case("nhanes", "MVA age bmi hyp chl /EM bmi hyp chl WITH age bmi.", nh, x, one,
                    [False, True, True, True], [True, True, False, False], no))
    # Weights 1, 2, 3 by case number (whole numbers: the program truncates
    # a case's weight to an integer as it reads it).
    w = 1.0 + (np.arange(len(x)) % 3)
    with open(OUT_WEIGHTED, "w", newline="") as f:
        wr = csv.writer(f, lineterminator="\n")
        wr.writerow(nh + ["w"])
        for r, wi in zip(x, w):
            wr.writerow([("" if np.isnan(v) else f"{v:g}") for v in r] + [f"{wi:g}"])
    out.append(case("nhanes_weighted", "MVA age bmi hyp chl /EM (TDF=3 CONVERGENCE=1E-6 ITERATIONS=100).",
                    nh, x, w, al, al, no, tdf=3, conv=1e-6, iters=100))
    out.append(case("nhanes_weighted",
                    "MVA age bmi hyp chl /EM (PROPORTION=0.2 LAMBDA=0.25 CONVERGENCE=1E-6 ITERATIONS=100).",
                    nh, x, w, al, al, no, proportion=0.2, **{"lambda": 0.25}, conv=1e-6, iters=100))

    ms = ["bw", "brw", "sws", "ps", "ts", "mls", "gt", "pi", "sei", "odi"]
    x = read(os.path.join(FIX, "mva/mammalsleep.csv"), ms)
    one = np.ones(len(x))
    al, no = [True] * 10, [False] * 10
    out.append(case("mammalsleep", "MVA bw brw sws ps ts mls gt pi sei odi /EM.", ms, x, one, al, al, no))
    dep = [v in ("sws", "ps", "mls", "gt") for v in ms]
    ind = [v in ("bw", "brw", "odi", "gt") for v in ms]
    out.append(case("mammalsleep", "MVA bw brw sws ps ts mls gt pi sei odi /EM sws ps mls gt WITH bw brw odi gt.",
                    ms, x, one, dep, ind, no))

    aq = ["Ozone", "SolarR", "Wind", "Temp", "Month"]
    x = read(os.path.join(FIX, "mva/airquality.csv"), aq)
    for month in range(5, 10):
        rows = x[:, 4] == month
        first = int(np.flatnonzero(rows)[0])
        r = case("airquality", f"Month={month}: MVA Ozone SolarR Wind Temp /EM.", aq[:4], x[rows, :4],
                 np.ones(rows.sum()), [True] * 4, [True] * 4, [False] * 4)
        r["imputed"] = [[row + first, v, value] for row, v, value in r["imputed"]]
        r["split"] = month
        out.append(r)
    with open(OUT_JSON, "w") as f:
        json.dump(out, f, indent=1)
        f.write("\n")


if __name__ == "__main__":
    main()
