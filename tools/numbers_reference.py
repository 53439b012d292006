"""The figures of docs/numbers.md: what other tools give for R's airquality,
beside the forms the program follows, computed independently with numpy,
scipy and pandas from tests/fixtures/mva/airquality.csv.

- Listwise and all-values moments of Ozone and SolarR (complete cases of the
  six columns; every present value), and pandas' pairwise covariance and
  correlation of the two (pairwise complete observations, divisor n - 1).
- EM estimates of the six columns with the divisor N - 1 and with the
  maximum-likelihood divisor N, iterated to a fixed point by the textbook
  EM of tools/em_reference.py, and Little's MCAR statistic in both forms.
- Wind taken as a case weight: the sums and the weighted mean of Temp with
  the weights as given and truncated to whole numbers.
- The contaminated-normal factor near the point where its exponential
  overflows, computed in log space, against its limit lambda.

Run from the repository root:
    /usr/bin/python3 tools/numbers_reference.py > tools/numbers_reference.out
"""
import math
import os
import sys

import numpy as np
import pandas as pd
from scipy.stats import chi2

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import em_reference  # noqa: E402  (the textbook EM and Little's statistic)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "tests/fixtures/mva/airquality.csv")


def moments():
    d = pd.read_csv(DATA)
    complete = d.dropna()
    print(f"cases {len(d)}, complete cases {len(complete)}")
    for name in ("Ozone", "SolarR"):
        col = d[name]
        print(f"{name}: present {col.count()}, missing {col.isna().sum()}")
        print(f"  all values: mean {col.mean():.4f} sd {col.std(ddof=1):.4f}")
        print(f"  listwise:   mean {complete[name].mean():.4f} sd {complete[name].std(ddof=1):.4f}")
    pair = d[["Ozone", "SolarR"]]
    both = pair.dropna()
    print(f"Ozone and SolarR present together in {len(both)} cases")
    print(f"  pairwise covariance {pair.cov().iloc[0, 1]:.4f} correlation {pair.corr().iloc[0, 1]:.4f}")
    print(f"  listwise covariance {complete['Ozone'].cov(complete['SolarR']):.4f} "
          f"correlation {complete['Ozone'].corr(complete['SolarR']):.4f}")


def em_forms():
    names, x = em_reference.read()
    w = np.ones(len(x))
    mu, s, _ = em_reference.em(x, w, 1.0)
    mu_ml, s_ml, _ = em_reference.em(x, w, 0.0)
    print("EM, divisor N - 1 (the program) and N (maximum likelihood):")
    for k, name in enumerate(names):
        print(f"  {name}: mean {mu[k]:.4f} / {mu_ml[k]:.4f}  variance {s[k, k]:.4f} / {s_ml[k, k]:.4f}")
    d2, df = em_reference.little(x, w, mu, s, True)
    d2_ml, df_ml = em_reference.little(x, w, mu_ml, s_ml, False)
    print(f"Little's test on the N - 1 estimates: chi-square {d2:.4f} df {df} p {chi2.sf(d2, df):.6f}")
    print(f"Little's test on the ML estimates:    chi-square {d2_ml:.4f} df {df_ml} p {chi2.sf(d2_ml, df_ml):.6f}")


def weights():
    d = pd.read_csv(DATA)
    w = d["Wind"]
    t = np.trunc(w)
    print(f"Wind as a weight: sum {w.sum():.1f}, truncated sum {t.sum():.0f}, cases left out {(t <= 0).sum()}")
    print(f"  weighted mean of Temp: as given {np.average(d['Temp'], weights=w):.4f}, "
          f"truncated {np.average(d['Temp'], weights=t):.4f}")


def contaminated(proportion=0.1, lam=0.2, q=4):
    """f = ((1 - p) + lam e) / ((1 - p) + e), e = exp(ln p + ((1 - lam) d2 + q ln lam) / 2)."""
    def log_e(d2):
        return math.log(proportion) + 0.5 * ((1 - lam) * d2 + q * math.log(lam))

    def stable(d2):  # in log space: never overflows
        a, le = math.log(1 - proportion), log_e(d2)
        top = np.logaddexp(a, math.log(lam) + le)
        return math.exp(top - np.logaddexp(a, le))

    overflow = (2 * (math.log(sys.float_info.max) - math.log(proportion)) - q * math.log(lam)) / (1 - lam)
    print(f"contaminated normal, PROPORTION {proportion} LAMBDA {lam}, {q} observed variables:")
    print(f"  the exponential overflows for d2 above {overflow:.1f}")
    for d2 in (4.0, 16.0, 64.0, overflow + 1.0):
        print(f"  d2 {d2:8.1f}: f {stable(d2):.12f}")
    print(f"  limit: lambda = {lam}")


if __name__ == "__main__":
    moments()
    em_forms()
    weights()
    contaminated()
