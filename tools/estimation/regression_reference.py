"""Reference values of regression imputation with nothing added to the
predictions (tests/mva/regression_imputation_test.cpp).

Data: tests/fixtures/mva/airquality.csv, every variable quantitative, each a
variable to impute and a predictor; no weights.

Model, from the textbook definitions:
- S is the pairwise covariance matrix: cov(a, b) over the cases in which a and
  b are both present (divisor N - 1), var(a) over all cases where a is present;
  m(a) is the mean of a over all cases where it is present.
- For a case missing y, the candidates are the other variables present in the
  case. Forward selection (Efroymson): with the set E entered, the residual
  variance of y is s2(E) = S_yy - S_yE S_EE^-1 S_Ey. A candidate k is eligible
  when its tolerance (S_kk - S_kE S_EE^-1 S_Ek) / S_kk is at least TOL; its
  F-to-enter is (n - 2 - |E|) D / (s2(E) - D) with D = s2(E) - s2(E + k) and
  n the number of cases. The eligible candidate with the largest F (the later
  one on a tie) enters when its F is at least FLIMIT, unless entering it would
  bring the tolerance of some entered predictor (on the others and k) below
  TOL; then the next best is tried. At most NPRED enter.
- The imputed value is the least-squares prediction on the entered set E:
  m(y) + b'(x_E - m(E)) with b solving S_EE b = S_Ey (numpy.linalg.lstsq).
- The regression estimates are the means and the covariances (divisor N - 1)
  of the completed data over all cases, and correlations from them.

Run: /usr/bin/python3 tools/estimation/regression_reference.py
writes tests/fixtures/estimation/regression_expected.json.
"""
import csv
import json
import os

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
DATA = os.path.join(ROOT, "tests", "fixtures", "mva", "airquality.csv")
OUT = os.path.join(ROOT, "tests", "fixtures", "estimation", "regression_expected.json")
TOL = 0.001
FLIMIT = 4.0

with open(DATA) as f:
    reader = csv.DictReader(f)
    names = reader.fieldnames
    rows = list(reader)
X = np.array([[float(r[v]) if r[v] not in ("", "NA") else np.nan for v in names] for r in rows])
n, p = X.shape
present = ~np.isnan(X)

means = np.array([X[present[:, a], a].mean() for a in range(p)])
S = np.zeros((p, p))
for a in range(p):
    for b in range(p):
        both = present[:, a] & present[:, b]
        if a == b:
            both = present[:, a]
        xa, xb = X[both, a], X[both, b]
        S[a, b] = np.sum((xa - xa.mean()) * (xb - xb.mean())) / (both.sum() - 1)
S = (S + S.T) / 2  # the pair (a, b) and (b, a) hold the same sums


def residual(y, E):
    """Variance of column y left after regressing it on the columns E."""
    if not E:
        return S[y, y]
    b = np.linalg.lstsq(S[np.ix_(E, E)], S[E, y], rcond=None)[0]
    return S[y, y] - S[y, E] @ b


def select(y, candidates, npred):
    E = []
    left = list(candidates)
    while len(E) < npred:
        s2 = residual(y, E)
        best, best_f = None, FLIMIT
        refused = set()
        while True:
            best, best_f = None, FLIMIT
            for k in left:
                if k in refused:
                    continue
                if residual(k, E) / S[k, k] < TOL:
                    continue
                d = s2 - residual(y, E + [k])
                f = (n - 2 - len(E)) * d / (s2 - d)
                if f >= best_f:
                    best, best_f = k, f
            if best is None:
                break
            trial = E + [best]
            if any(residual(i, [j for j in trial if j != i]) / S[i, i] < TOL for i in E):
                refused.add(best)
                continue
            break
        if best is None:
            break
        E.append(best)
        left.remove(best)
    return sorted(E)


completed = X.copy()
imputed = []
for c in range(n):
    if present[c].all():
        continue
    cands = [k for k in range(p) if present[c, k]]
    for y in range(p):
        if present[c, y]:
            continue
        E = select(y, cands, p - 1)
        value = means[y]
        if E:
            b = np.linalg.lstsq(S[np.ix_(E, E)], S[E, y], rcond=None)[0]
            value = means[y] + b @ (X[c, E] - means[E])
        completed[c, y] = value
        imputed.append({"case": c + 1, "variable": names[y],
                        "predictors": [names[k] for k in E], "value": float(value)})

cov = np.cov(completed, rowvar=False, ddof=1)
sd = np.sqrt(np.diag(cov))
result = {
    "command": "MVA " + " ".join(names) + " /REGRESSION (ADDTYPE=NONE)",
    "variables": names,
    "imputed": imputed,
    "means": completed.mean(axis=0).tolist(),
    "covariances": cov.tolist(),
    "correlations": (cov / np.outer(sd, sd)).tolist(),
}
with open(OUT, "w") as f:
    json.dump(result, f, indent=1)
    f.write("\n")
print("wrote", os.path.relpath(OUT, ROOT), "with", len(imputed), "imputed values")
