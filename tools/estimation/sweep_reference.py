"""Reference values for the sweep kernel tests (tests/mva/matrix_kernels_test.cpp).

Sweeping columns in of a covariance matrix S leaves minus the inverse of the
swept block, the regression coefficients of the other columns on it, and the
residual covariances; sweeping every column leaves -inv(S), and the sum of
the logarithms of the pivots is log det S. The Mahalanobis distance of x
from mu over the swept-in columns is (x - mu)' inv(S_in) (x - mu).

Run: /usr/bin/python3 tools/estimation/sweep_reference.py > tools/estimation/sweep_reference.txt
"""
import numpy as np

np.set_printoptions(precision=17)

S = np.array([[4.0, 2.0, 0.6, 1.0],
              [2.0, 5.0, 1.5, -0.5],
              [0.6, 1.5, 3.0, 0.8],
              [1.0, -0.5, 0.8, 2.5]])


def packed(m):
    return [m[i, j] for i in range(m.shape[0]) for j in range(i + 1)]


def show(name, values):
    print(name)
    for v in values:
        print(f"  {v:.17g}")


show("full sweep: -inv(S), packed lower triangle", packed(-np.linalg.inv(S)))
sign, logdet = np.linalg.slogdet(S)
show("full sweep: log det S", [logdet])

# Columns 1 and 3 swept in (0-based 0 and 2).
inn, out = [0, 2], [1, 3]
Sii = S[np.ix_(inn, inn)]
B = S[np.ix_(out, inn)] @ np.linalg.inv(Sii)           # coefficients of out on in
R = S[np.ix_(out, out)] - B @ S[np.ix_(inn, out)]       # residual covariances
M = np.zeros_like(S)
M[np.ix_(inn, inn)] = -np.linalg.inv(Sii)
M[np.ix_(out, inn)] = B
M[np.ix_(inn, out)] = B.T
M[np.ix_(out, out)] = R
show("columns 1 and 3 swept in, packed lower triangle", packed(M))
show("columns 1 and 3 swept in: log det S[{1,3}]", [np.linalg.slogdet(Sii)[1]])

x = np.array([1.5, -2.0, 0.25, 3.0])
mu = np.array([0.5, 1.0, -0.75, 2.0])
e = x - mu
show("Mahalanobis distance over all columns", [e @ np.linalg.solve(S, e)])
ei = e[inn]
show("Mahalanobis distance over columns 1 and 3", [ei @ np.linalg.solve(Sii, ei)])
