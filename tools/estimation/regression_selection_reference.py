"""Reference values of regression imputation where the options of the
forward selection decide the equations (tests/mva/regression_imputation_test.cpp).

Writes tests/fixtures/estimation/regression_selection.csv (40 cases of y, x1
.. x4 and an integer case weight w; y, x2 and x4 have missing values) and
regression_selection_expected.json: for each run, the MVA command's options,
every imputed value with its equation (predictors and coefficients), and the
regression estimates (means and covariances of the completed data).

Model, from the textbook definitions (as in regression_reference.py, with
frequency weights):
- Weights are frequency weights: a mean is sum(w x)/W, a covariance
  sum(w dx dy)/(W - 1). S is the pairwise covariance matrix: cov(a, b) over
  the cases where a and b are both present, var(a) over all cases where a is
  present; m(a) is the weighted mean of a over the cases where it is present.
- For a case missing y, the candidates are the other variables present in
  the case. Forward selection (Efroymson): with the set E entered, the
  residual variance of y is s2(E) = S_yy - S_yE S_EE^-1 S_Ey. A candidate k
  is eligible when its tolerance (S_kk - S_kE S_EE^-1 S_Ek) / S_kk is at
  least TOL; its F-to-enter is (n - 2 - |E|) D / (s2(E) - D), with
  D = s2(E) - s2(E + k) and n the number of cases (not the summed weight).
  The eligible candidate with the largest F (the later one on a tie) enters
  when its F is at least FLIMIT, unless entering it would bring the
  tolerance of some entered predictor (on the others and k) below TOL; then
  the next best is tried. At most NPRED enter (all when not given).
- The imputed value is m(y) + b'(x_E - m(E)), b solving S_EE b = S_Ey.
- The regression estimates are the weighted means and covariances (divisor
  W - 1) of the completed data.

The runs: the defaults; FLIMIT one part in a million below and above the
largest F-to-enter of the second step for y in the cases where every
predictor is present (x3 enters first; the F of x1 decides); FLIMIT=3 with
TOLERANCE just below and above the tolerance x1 has once x3 is in; FLIMIT=3
with all, two and one predictors; weighted by w (the F-to-enter counts
cases, not weights), with the defaults and with FLIMIT just below and above
the largest F-to-enter of the third step. The script
stops when a run does not change the equations it is meant to change, or
when a comparison of the selection is within 1e-9 of a tie, where rounding
could decide it.

Run: /usr/bin/python3 tools/estimation/regression_selection_reference.py
"""
import json
import os

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
FIXTURES = os.path.join(ROOT, "tests", "fixtures", "estimation")
NAMES = ["y", "x1", "x2", "x3", "x4"]
N = 40


def make_data():
    rng = np.random.default_rng(20240611)
    x1 = rng.normal(10, 2, N)
    x2 = rng.normal(5, 1, N)
    x3 = x1 + rng.normal(0, 0.3, N)  # nearly collinear with x1
    x4 = rng.normal(0, 1, N)
    y = 3 + 1.5 * x1 + 0.35 * x2 + 1.2 * (x3 - x1) + rng.normal(0, 1, N)
    X = np.round(np.column_stack([y, x1, x2, x3, x4]), 3)
    w = rng.integers(1, 4, N).astype(float)
    X[[2, 5, 9, 13, 17, 21, 26, 30, 34], 0] = np.nan  # y
    X[[5, 11, 23, 30], 2] = np.nan  # x2
    X[[9, 19, 23, 37], 4] = np.nan  # x4
    return X, w


X, W_CASES = make_data()
n, p = X.shape
present = ~np.isnan(X)
margins = []  # relative distance of every decision of a run from a tie


def moments(weights):
    means = np.array([np.average(X[present[:, a], a], weights=weights[present[:, a]]) for a in range(p)])
    S = np.zeros((p, p))
    for a in range(p):
        for b in range(p):
            both = present[:, a] & present[:, b]
            w = weights[both]
            xa, xb = X[both, a], X[both, b]
            ma, mb = np.average(xa, weights=w), np.average(xb, weights=w)
            S[a, b] = np.sum(w * (xa - ma) * (xb - mb)) / (w.sum() - 1)
    return means, (S + S.T) / 2


def residual(S, y, E):
    if not E:
        return S[y, y]
    b = np.linalg.solve(S[np.ix_(E, E)], S[E, y])
    return S[y, y] - S[y, E] @ b


def margin(a, b):
    margins.append(abs(a - b) / max(abs(a), abs(b)))


def select(S, y, candidates, tol, flimit, npred, trace=None):
    """The predictors entered for column y, in the order they entered; with
    `trace`, the F-to-enter and tolerance of each candidate at each step."""
    E, left = [], list(candidates)
    while len(E) < npred:
        s2 = residual(S, y, E)
        refused = set()
        while True:
            best, best_f = None, flimit
            step = {}
            for k in left:
                if k in refused:
                    continue
                t = residual(S, k, E) / S[k, k]
                margin(t, tol)
                if t < tol:
                    continue
                d = s2 - residual(S, y, E + [k])
                f = (n - 2 - len(E)) * d / (s2 - d)
                step[k] = (f, t)
                margin(f, best_f)
                if f >= best_f:
                    best, best_f = k, f
            if trace is not None:
                trace.append(step)
            if best is None:
                break
            trial = E + [best]
            guard = [residual(S, i, [j for j in trial if j != i]) / S[i, i] for i in E]
            for g in guard:
                margin(g, tol)
            if any(g < tol for g in guard):
                refused.add(best)
                continue
            break
        if best is None:
            break
        E.append(best)
        left.remove(best)
    return E


def impute(weights, tol=0.001, flimit=4.0, npred=p - 1):
    means, S = moments(weights)
    completed = X.copy()
    imputed = []
    for c in range(n):
        if present[c].all():
            continue
        cands = [k for k in range(p) if present[c, k]]
        for y in range(p):
            if present[c, y]:
                continue
            E = sorted(select(S, y, cands, tol, flimit, npred))
            b = np.linalg.solve(S[np.ix_(E, E)], S[E, y]) if E else np.zeros(0)
            value = means[y] + (b @ (X[c, E] - means[E]) if E else 0.0)
            completed[c, y] = value
            imputed.append({"case": c + 1, "variable": NAMES[y], "value": float(value),
                            "predictors": [NAMES[k] for k in E], "coefficients": b.tolist()})
    W = weights.sum()
    m = weights @ completed / W
    dev = completed - m
    cov = (dev * weights[:, None]).T @ dev / (W - 1)
    return {"imputed": imputed, "centring_means": means.tolist(), "means": m.tolist(),
            "covariances": cov.tolist()}


def step_f(weights, step):
    """The largest F-to-enter at `step` (0 the first) for y where every
    predictor is present, on the path where the best candidate always enters."""
    _, S = moments(weights)
    trace = []
    select(S, 0, [1, 2, 3, 4], 0.001, 0.0, step + 1, trace)
    return max(f for f, _ in trace[step].values())


def x1_tolerance_after_x3():
    _, S = moments(np.ones(n))
    return residual(S, 1, [3]) / S[1, 1]


unit = np.ones(n)
f2, f3w, tol1 = step_f(unit, 1), step_f(W_CASES, 2), x1_tolerance_after_x3()
below, above = 1 - 1e-6, 1 + 1e-6
runs = [
    ("defaults", "", unit, {}),
    ("flimit below", f"FLIMIT={f2 * below!r}", unit, {"flimit": f2 * below}),
    ("flimit above", f"FLIMIT={f2 * above!r}", unit, {"flimit": f2 * above}),
    ("tolerance below", f"FLIMIT=3 TOLERANCE={tol1 * below!r}", unit, {"flimit": 3.0, "tol": tol1 * below}),
    ("tolerance above", f"FLIMIT=3 TOLERANCE={tol1 * above!r}", unit, {"flimit": 3.0, "tol": tol1 * above}),
    ("all predictors", "FLIMIT=3", unit, {"flimit": 3.0}),
    ("two predictors", "FLIMIT=3 NPREDICTORS=2", unit, {"flimit": 3.0, "npred": 2}),
    ("one predictor", "FLIMIT=3 NPREDICTORS=1", unit, {"flimit": 3.0, "npred": 1}),
    ("weighted", "", W_CASES, {}),
    ("weighted flimit below", f"FLIMIT={f3w * below!r}", W_CASES, {"flimit": f3w * below}),
    ("weighted flimit above", f"FLIMIT={f3w * above!r}", W_CASES, {"flimit": f3w * above}),
]
result = {"variables": NAMES, "cases": n, "second_step_f": f2, "weighted_third_step_f": f3w,
          "x1_tolerance_after_x3": tol1, "runs": []}
for name, options, weights, limits in runs:
    margins.clear()
    out = impute(weights, **limits)
    closest = min(margins)
    # A decision that only rounding could settle makes the run useless.
    assert closest > 1e-9, (name, closest)
    result["runs"].append({"name": name, "options": options, "weighted": bool(weights is W_CASES),
                           "closest_decision": closest, **out})


def equations(run):
    return [i["predictors"] for i in run["imputed"]]


by_name = {r["name"]: r for r in result["runs"]}
for a, b in [("flimit below", "flimit above"), ("tolerance below", "tolerance above"),
             ("all predictors", "two predictors"), ("two predictors", "one predictor"),
             ("weighted flimit below", "weighted flimit above"), ("defaults", "weighted")]:
    assert equations(by_name[a]) != equations(by_name[b]), (a, b)
print(f"largest F-to-enter of the second step {f2:.6f}, of the third step weighted {f3w:.6f}; "
      f"tolerance of x1 after x3 {tol1:.6f}")
for r in result["runs"]:
    changed = sum(e != d for e, d in zip(equations(r), equations(by_name["weighted" if r["weighted"] else "defaults"])))
    print(f"{r['name']:24s} {r['options']:32s} {len(r['imputed'])} values, {changed} equations differ from "
          f"the defaults; closest decision {r['closest_decision']:.2e}")

with open(os.path.join(FIXTURES, "regression_selection.csv"), "w") as f:
    f.write(",".join(NAMES + ["w"]) + "\n")
    for c in range(n):
        cells = ["" if np.isnan(v) else repr(float(v)) for v in X[c]]
        f.write(",".join(cells + [str(int(W_CASES[c]))]) + "\n")
with open(os.path.join(FIXTURES, "regression_selection_expected.json"), "w") as f:
    json.dump(result, f, indent=1)
    f.write("\n")
