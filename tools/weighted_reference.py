"""Weighted statistics of airquality computed on expanded data.

Writes tests/fixtures/estimation/weighted_reference.json; prints a summary
(kept in tools/weighted_reference.out).

With whole case weights, a weighted statistic equals the unweighted one of
the data in which every case is repeated as many times as its weight. Every
value here is computed that way (numpy, scipy, pandas on the repeated rows),
never from weighted formulas, so it checks the weighted code paths of the
program independently:

- "weight_listed": airquality weighted by Month, with Month itself among
  the variables Ozone, SolarR, Wind, Temp, Month. The listwise means (over
  the repeated complete rows) and the pairwise means: mean of a over the
  repeated rows where a and b are both present. Month's listwise mean is
  its plain weighted mean, sum(Month^2) / sum(Month) over complete cases.
- "ttests": tests/fixtures/estimation/airquality_weighted.csv weighted by w
  (Day % 3 + 1); for every grouping variable g of Ozone, SolarR, Wind, Temp
  with missing values and every other of them c, scipy's Welch test of c
  between the repeated rows where g is present and where it is missing:
  t, df, two-tailed p, group sizes and means.
- "crosstab": the same weighted file, Month as the categorical variable
  against Ozone and SolarR: per month, the repeated rows with the variable
  present (count, percent of the month) and missing (percent of the
  month); the total row: present count and percents of all repeated rows.

  /usr/bin/python3 tools/weighted_reference.py > tools/weighted_reference.out
"""
import json

import pandas as pd
from welch_reference import NAMES, welch_pairs


def expanded(frame, weight):
    """Every row repeated `weight` times."""
    return frame.loc[frame.index.repeat(frame[weight].astype(int))].reset_index(drop=True)


def weight_listed():
    aq = pd.read_csv("tests/fixtures/mva/airquality.csv", na_values=["", "NA"])
    names = NAMES + ["Month"]
    rows = expanded(aq, "Month")
    complete = rows[names].dropna()
    out = {"listwise": {n: float(complete[n].mean()) for n in names}, "pairwise": {}}
    for a in names:
        for b in names:
            both = rows[[a, b]].dropna() if a != b else rows[[a]].dropna()
            out["pairwise"][f"{a}|{b}"] = float(both[a].mean())
    out["listwise_weight"] = int(len(complete))
    return out


def weighted_file():
    return pd.read_csv("tests/fixtures/estimation/airquality_weighted.csv", na_values=["", "NA"])


def ttests():
    rows = expanded(weighted_file(), "w")
    return list(welch_pairs({n: rows[n].to_numpy(dtype=float) for n in NAMES}))


def crosstab():
    rows = expanded(weighted_file(), "w")
    total = len(rows)
    out = {"cases": total, "variables": {}}
    for u in ["Ozone", "SolarR"]:
        present = rows[u].notna()
        table = pd.crosstab(rows["Month"], present)
        months = {}
        for month, counts in table.iterrows():
            n_present = int(counts.get(True, 0))
            n_missing = int(counts.get(False, 0))
            n = n_present + n_missing
            months[str(int(month))] = {"count": n_present, "percent": 100.0 * n_present / n,
                                       "missing_percent": 100.0 * n_missing / n}
        out["variables"][u] = {
            "months": months,
            "total_count": int(present.sum()),
            "total_percent": 100.0 * int(present.sum()) / total,
            "total_missing_percent": 100.0 * int((~present).sum()) / total,
        }
    return out


def main():
    result = {"weight_listed": weight_listed(), "ttests": ttests(), "crosstab": crosstab()}
    with open("tests/fixtures/estimation/weighted_reference.json", "w") as f:
        json.dump(result, f, indent=1)
        f.write("\n")
    wl = result["weight_listed"]
    print("airquality weighted by Month, Month listed (expanded data):")
    print(f"  complete rows after repetition: {wl['listwise_weight']}")
    for n, m in wl["listwise"].items():
        print(f"  listwise mean {n:7s} {m:.17g}")
    print(f"  pairwise mean Month|Ozone {wl['pairwise']['Month|Ozone']:.17g}")
    print(f"weighted t tests (weights Day % 3 + 1): {len(result['ttests'])} pairs")
    for r in result["ttests"]:
        print(f"  {r['group']:6s} {r['tested']:6s} t={r['t']:.12g} df={r['df']:.12g} p={r['p']:.12g} "
              f"n={r['present']}/{r['missing']}")
    ct = result["crosstab"]
    print(f"crosstab of Month (weights Day % 3 + 1): {ct['cases']} repeated rows")
    for u, v in ct["variables"].items():
        print(f"  {u}: total present {v['total_count']} ({v['total_percent']:.12g} %), "
              f"missing {v['total_missing_percent']:.12g} %")


if __name__ == "__main__":
    main()
