"""Statistics matrix rows of a small split file, for tests/mva/saved_files_test.cpp.

The data (written out below, and copied into the test) have two split groups
of g. Within each group the fully observed variables inc and age are the
matrix variables; x only makes some cases incomplete. For each group numpy
gives the means, the sample covariances (divisor n - 1) and the Pearson
correlations of inc and age. Prints one C++ row per matrix row: group, row
type, variable name, the inc cell, the age cell (17 significant digits).

  /usr/bin/python3 tools/statistics_matrix_reference.py > tests/mva/saved_matrix_rows.out
"""
import numpy as np

DATA = """g,x,inc,age
1,1,11.5,30
1,,12.25,45
1,3,13,52
1,4,10,41
2,5,21,35
2,,22.5,47
2,7,20,38
"""

rows = [line.split(",") for line in DATA.strip().splitlines()[1:]]
for g in ("1", "2"):
    block = np.array([[float(r[2]), float(r[3])] for r in rows if r[0] == g])
    mean = block.mean(axis=0)
    cov = np.cov(block, rowvar=False, ddof=1)
    corr = np.corrcoef(block, rowvar=False)
    out = [("MEAN_REG", "", mean)]
    out += [("COVA", name, cov[i]) for i, name in enumerate(("inc", "age"))]
    out += [("CORR", name, corr[i]) for i, name in enumerate(("inc", "age"))]
    for row_type, name, cells in out:
        print('{%s, "%s", "%s", %.17g, %.17g},' % (g, row_type, name, cells[0], cells[1]))
