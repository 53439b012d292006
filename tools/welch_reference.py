"""Welch t tests on the airquality fixture, for tests/mva/t_tests_test.cpp.

For every grouping variable g with missing values and every other variable c
of Ozone, SolarR, Wind, Temp: the cases where c is present are split into
those where g is present and those where g is missing, and
scipy.stats.ttest_ind(equal_var=False) compares c between the two groups.
Prints one C++ row per pair: grouping, tested, t, df, two-tailed p,
#present, #missing, mean present, mean missing (17 significant digits).

  /usr/bin/python3 tools/welch_reference.py > tests/mva/t_tests_welch.out
"""
import csv

import numpy as np
from scipy import stats

NAMES = ["Ozone", "SolarR", "Wind", "Temp"]


def welch_pairs(data):
    """scipy's Welch test for every grouping g with missing values and every
    other tested c of NAMES in `data` (name -> float array, NaN missing): a
    dict of t, df, two-tailed p, group counts and means per pair."""
    for g in NAMES:
        g_missing = np.isnan(data[g])
        if not g_missing.any():
            continue
        for c in NAMES:
            if c == g:
                continue
            x = data[c]
            present = x[~np.isnan(x) & ~g_missing]
            missing = x[~np.isnan(x) & g_missing]
            res = stats.ttest_ind(present, missing, equal_var=False)
            # The Welch-Satterthwaite degrees of freedom, as ttest_ind uses them.
            a = present.var(ddof=1) / len(present)
            b = missing.var(ddof=1) / len(missing)
            df = (a + b) ** 2 / (a * a / (len(present) - 1) + b * b / (len(missing) - 1))
            yield {"group": g, "tested": c, "t": float(res.statistic), "df": float(df),
                   "p": float(res.pvalue), "present": int(len(present)), "missing": int(len(missing)),
                   "present_mean": float(present.mean()), "missing_mean": float(missing.mean())}


if __name__ == "__main__":
    with open("tests/fixtures/mva/airquality.csv") as f:
        rows = list(csv.DictReader(f))
    data = {n: np.array([float(r[n]) if r[n] not in ("", "NA") else np.nan for r in rows]) for n in NAMES}
    for r in welch_pairs(data):
        print('{{"{group}", "{tested}", {t:.17g}, {df:.17g}, {p:.17g}, '
              '{present}, {missing}, {present_mean:.17g}, {missing_mean:.17g}}},'.format(**r))
