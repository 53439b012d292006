#!/usr/bin/env python3
"""Writes examples/survey.csv: a small synthetic survey with values missing
at random and by design (income more often missing for older respondents,
satisfaction 9 = "no answer" as a user-missing code). Rerun with
`python3 tools/make_example.py` from the repository root; the seed is fixed."""
import csv
import random

random.seed(20261205)
regions = ["North", "South", "East", "West"]
rows = []
for case in range(1, 81):
    age = random.randint(18, 80)
    sex = random.choice([1, 2])
    educ = max(6, min(20, round(random.gauss(13, 2.5))))
    income = round(12 + 1.6 * educ + 0.25 * age + random.gauss(0, 8), 1)
    sat = random.choice([1, 2, 3, 4, 5, 9 if random.random() < 0.3 else 3])
    region = random.choice(regions)
    # Missingness: income depends on age; education missing completely at random.
    if random.random() < (0.05 + 0.006 * (age - 18)):
        income = ""
    if random.random() < 0.08:
        educ = ""
    if random.random() < 0.05:
        age = ""
    rows.append([case, age, sex, educ, income, sat, region])

with open("examples/survey.csv", "w", newline="") as f:
    w = csv.writer(f, lineterminator="\n")
    w.writerow(["id", "age", "sex", "educ", "income", "satisfaction", "region"])
    w.writerows(rows)
