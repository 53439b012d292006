"""Reference moments for the listwise and pairwise tests
(tests/mva/matrix_kernels_test.cpp, tests/mva/listwise_pairwise_tables_test.cpp).

Data: tests/fixtures/estimation/moments.csv (x, y, z quantitative, c
categorical, w the case weight; an empty cell is missing, and so is the
value 99 of y, declared user-missing). Two runs: without
weights (every case counts 1) and weighted by w (the case of weight 0 counts
nowhere). Weights are frequency weights: a weighted mean is sum(w x)/W, a
variance or covariance sum(w dx dy)/(W - 1).

Listwise: the cases with x, y, z and c all present. Pairwise, for columns a
and b: N(a,b) the weight of the cases where both are present; mean(a|b) and
var(a|b) the mean and variance of a over those cases; cov(a,b) their
covariance; corr(a,b) = cov(a,b) / sqrt(var(a|b) var(b|a)).

Run: /usr/bin/python3 tools/estimation/moments_reference.py
writes tests/fixtures/estimation/moments_expected.json.
"""
import csv
import json
import os

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "..", "tests", "fixtures", "estimation")
QUANT = ["x", "y", "z"]
ALL = ["x", "y", "z", "c"]

with open(os.path.join(FIXTURES, "moments.csv")) as f:
    rows = list(csv.DictReader(f))
data = {v: np.array([float(r[v]) if r[v] != "" else np.nan for r in rows]) for v in ALL + ["w"]}
data["y"][data["y"] == 99] = np.nan


def wmean(x, w):
    return float(np.sum(w * x) / np.sum(w))


def wcov(x, y, w):
    W = np.sum(w)
    if W <= 1:
        return 0.0
    return float(np.sum(w * (x - wmean(x, w)) * (y - wmean(y, w))) / (W - 1))


def run(weights):
    keep = weights > 0
    out = {"SUMWT": float(np.sum(weights[keep]))}
    complete = keep.copy()
    for v in ALL:
        complete &= ~np.isnan(data[v])
    w = weights[complete]
    out["LWN"] = float(np.sum(w))
    out["LWMEAN"] = {v: wmean(data[v][complete], w) for v in QUANT}
    out["LWCOV"] = {f"{a},{b}": wcov(data[a][complete], data[b][complete], w)
                    for a in QUANT for b in QUANT}
    out["LWCORR"] = {f"{a},{b}": out["LWCOV"][f"{a},{b}"] /
                     np.sqrt(out["LWCOV"][f"{a},{a}"] * out["LWCOV"][f"{b},{b}"])
                     for a in QUANT for b in QUANT}
    pwn, pwmean, pwvar, pwcov, pwcorr = {}, {}, {}, {}, {}
    for a in ALL:
        for b in ALL:
            both = keep & ~np.isnan(data[a]) & ~np.isnan(data[b])
            wb = weights[both]
            key = f"{a},{b}"
            pwn[key] = float(np.sum(wb))
            if a in QUANT:
                pwmean[key] = wmean(data[a][both], wb)
                pwvar[key] = wcov(data[a][both], data[a][both], wb)
            if a in QUANT and b in QUANT:
                pwcov[key] = wcov(data[a][both], data[b][both], wb)
    for a in QUANT:
        for b in QUANT:
            pwcorr[f"{a},{b}"] = pwcov[f"{a},{b}"] / np.sqrt(pwvar[f"{a},{b}"] * pwvar[f"{b},{a}"])
    out.update(PWN=pwn, PWMEAN=pwmean, PWVAR=pwvar, PWCOV=pwcov, PWCORR=pwcorr)
    return out


result = {"unweighted": run(np.ones(len(rows))), "weighted": run(data["w"])}
with open(os.path.join(FIXTURES, "moments_expected.json"), "w") as f:
    json.dump(result, f, indent=1)
    f.write("\n")
