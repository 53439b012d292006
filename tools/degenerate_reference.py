"""Reference numbers for tests/fuzz/degenerate_data_test.cpp.

Two data sets where a careless formula loses every digit:
  near     x = 1e9 + k/1000, k = 0..7 (values near 1e9, spread 1e-3), y = k*k mod 5
  scales   x = 1e8 * (1 + k/7) and y = 1e-3 * (2 + (k*k % 5)), k = 0..7
For each: the mean and standard deviation (divisor n - 1) of x, and the
correlation of x and y, from the doubles the data hold, summed exactly
(fractions) and rounded once.
"""
from fractions import Fraction
import math

import numpy as np


def near():
    x = [1e9 + k / 1000 for k in range(8)]
    y = [float(k * k % 5) for k in range(8)]
    return x, y


def scales():
    x = [1e8 * (1 + k / 7) for k in range(8)]
    y = [1e-3 * (2 + (k * k % 5)) for k in range(8)]
    return x, y


def exact(x, y):
    fx = [Fraction(v) for v in x]
    fy = [Fraction(v) for v in y]
    n = len(fx)
    mx, my = sum(fx) / n, sum(fy) / n
    sxx = sum((a - mx) ** 2 for a in fx)
    syy = sum((b - my) ** 2 for b in fy)
    sxy = sum((a - mx) * (b - my) for a, b in zip(fx, fy))
    sd = math.sqrt(sxx / (n - 1))
    r = float(sxy) / math.sqrt(float(sxx) * float(syy))
    # numpy's two-pass results as a cross-check of the exact sums.
    assert abs(np.std(np.array(x), ddof=1) - sd) <= 1e-6 * sd
    assert abs(np.corrcoef(x, y)[0, 1] - r) <= 1e-9
    return float(mx), sd, r


for name, data in (("near", near()), ("scales", scales())):
    mean, sd, r = exact(*data)
    print(f"{name} mean={mean!r} sd={sd!r} r={r!r}")
