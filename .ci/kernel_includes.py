#!/usr/bin/env python3
"""Checks that no numerical kernel includes the host interface or the MVA
common, directly or through another header of the project.

A kernel takes workspace views and plain structs and returns a plain result;
it never sees the host, a message key or the common. The table files and the
routines that join a kernel to its table may include both. Run from the
repository root; prints every offending chain and exits 1 when there is one.
"""
import re
import sys
from pathlib import Path

SRC = Path("src")
FORBIDDEN = {"mva/frame/host/host.h", "mva/frame/common.h"}

# The numerical kernels: the sweep, the Mahalanobis distance, the weighted
# and pairwise moment updates and their per-pattern form, the column sets,
# the regression equations, EM's iterations and case walk, the separate-
# variance t test and the mismatch percents.
KERNELS = [
    "mva/estimation/sweep.h", "mva/estimation/sweep.cpp",
    "mva/estimation/mahalanobis.h", "mva/estimation/mahalanobis.cpp",
    "mva/estimation/moment_update.h", "mva/estimation/moment_update.cpp",
    "mva/estimation/pairwise_update.h", "mva/estimation/pairwise_update.cpp",
    "mva/estimation/pattern_moments.h", "mva/estimation/pattern_moments.cpp",
    "mva/estimation/column_set.h", "mva/estimation/listwise_sums.h",
    "mva/estimation/regression_equations.h", "mva/estimation/regression_equations.cpp",
    "mva/estimation/em_iterations.h", "mva/estimation/em_iterations.cpp",
    "mva/estimation/em_case_walk.cpp",
    "mva/diagnostics/separate_variance.h", "mva/diagnostics/separate_variance.cpp",
    "mva/diagnostics/mismatch_percents.h",
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def includes(name):
    return INCLUDE.findall((SRC / name).read_text())


def offending_chain(name, seen):
    """The include chain from `name` to a forbidden header, or None."""
    for inc in includes(name):
        if inc in FORBIDDEN:
            return [name, inc]
        if inc in seen or not (SRC / inc).exists():
            continue
        seen.add(inc)
        chain = offending_chain(inc, seen)
        if chain:
            return [name] + chain
    return None


def main():
    failed = False
    for kernel in KERNELS:
        if not (SRC / kernel).exists():
            print(f"kernel_includes: {kernel} is listed as a kernel but is not in src/ (update the list)")
            failed = True
            continue
        chain = offending_chain(kernel, set())
        if chain:
            print("kernel_includes: " + " -> ".join(chain))
            failed = True
    if failed:
        print("A numerical kernel must not include the host interface or the MVA common (see .ci/kernel_includes.py).")
        return 1
    print(f"kernel_includes: {len(KERNELS)} kernel files include neither the host interface nor the common")
    return 0


if __name__ == "__main__":
    sys.exit(main())
