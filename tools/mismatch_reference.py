"""Expected mismatch table of tests/mva/indicator_correlations_test.cpp.

Reads tests/fixtures/mva/airquality.csv (NA = missing), forms the 0/1
missing indicator of each of Ozone, SolarR, Wind, Temp, Month, and prints
  - the percent of cases missing: 100 * mean(indicator);
  - the percent mismatch of each pair: 100 * mean(indicator_a XOR indicator_b);
  - the variable order that chains similar missing columns, over the incomplete
    cases: start from the variable missing least
    often (first on ties), then repeatedly take the not-yet-placed variable
    whose column differs from the last placed one at the fewest cases (ties:
    fewer missing, then the first met; a distance of 0 wins at once), the
    chosen one swapped into the next position;
  - for comparison, numpy's correlation of the indicators (not shown by the
    program; printed so the two measures can be read side by side).
Every number is printed with 17 significant digits.

Run from the repository root:
  /usr/bin/python3 tools/mismatch_reference.py > tools/mismatch_reference.out
"""
import csv

import numpy as np

NAMES = ["Ozone", "SolarR", "Wind", "Temp", "Month"]

with open("tests/fixtures/mva/airquality.csv", newline="") as f:
    rows = list(csv.DictReader(f))
ind = np.array([[1 if r[v] in ("", "NA") else 0 for v in NAMES] for r in rows], dtype=int)
n = ind.shape[0]

print(f"cases {n}")
print("percent missing")
for j, v in enumerate(NAMES):
    print(f"  {v} {100.0 * ind[:, j].mean():.17g}")
print("percent mismatch")
for a in range(len(NAMES)):
    for b in range(a):
        x = 100.0 * np.mean(ind[:, a] != ind[:, b])
        print(f"  {NAMES[a]} {NAMES[b]} {x:.17g}")

incomplete = ind[ind.sum(axis=1) > 0]
miss = incomplete.sum(axis=0)
order = list(range(len(NAMES)))
start = min(order, key=lambda j: (miss[j], j))
order[0], order[start] = order[start], order[0]
for p in range(len(order) - 1):
    cur = order[p]
    best, best_key = p + 1, None
    for q in range(p + 1, len(order)):
        d = int(np.sum(incomplete[:, order[q]] != incomplete[:, cur]))
        if d == 0:
            best = q
            break
        if best_key is None or (d, miss[order[q]]) < best_key:
            best, best_key = q, (d, miss[order[q]])
    order[p + 1], order[best] = order[best], order[p + 1]
print("sorted order " + " ".join(NAMES[j] for j in order))

with np.errstate(invalid="ignore", divide="ignore"):
    corr = np.corrcoef(ind.T)
print("indicator correlations (numpy corrcoef; constant indicators give nan)")
for a in range(len(NAMES)):
    print("  " + " ".join(f"{corr[a, b]:.6f}" for b in range(a + 1)))
