#!/usr/bin/env python3
"""Writes two of the end-to-end fixtures under tests/fixtures/mva/ (the third,
airquality.csv, comes from tools/airquality_fixture.R):

- usermissing.csv and usermissing.dict.json: 32 cases whose variables carry
  user-missing codes of every form (three discrete values; a range; a range
  plus one value; an open range "LO" to a value; one value beside blank
  cells), a short string with two missing words and a 20-byte string whose
  missing word is tested against longer texts that share its first 8 bytes.
  The values are written out below, chosen so that some equal an extremes
  limit exactly.
- weighted_split.csv and weighted_split.dict.json: a file split by wave and
  weighted by wt with fractional, zero, negative and blank weights. Wave 1
  (60 cases) and wave 3 (12 cases, with a constant variable and a variable
  present in one case) are small; wave 2 (12,000 cases) is large enough for
  the extremes to use the mean +- 2 SD rule.

Rerun from the repository root with /usr/bin/python3 tools/make_fixtures.py;
the seed is fixed, so the files come out the same."""
import json
import numpy as np

OUT = "tests/fixtures/mva/"


def write_csv(path, header, rows):
    with open(path, "w", newline="") as f:
        f.write(",".join(header) + "\n")
        for row in rows:
            f.write(",".join(row) + "\n")


def usermissing():
    # id, q1 (missing 7, 8, 9), q2 (missing 90 to 99), q3 (90 to 99 and 0),
    # q4 (LO to -1), q5 (-9, and blank or NA cells), sname (NONE, N/A),
    # longtext (width 20, UNKNOWN).
    rows = [
        ("1", "3", "42", "12", "5", "1.5", "ab", "Lives alone"),
        ("2", "4", "45", "0", "3", "2.5", "cd", "UNKNOWN"),
        ("3", "7", "51", "15", "-1", "", "ab", "With parents"),
        ("4", "2", "90", "17", "0", "3.25", "NONE", "UNKNOWN SOURCE"),
        ("5", "5", "48", "95", "8", "-9", "ef", "Lives alone"),
        ("6", "3", "100", "11", "2", "4", "cd", "UNKNOWNS"),
        ("7", "8", "39", "99", "-5", "NA", "N/A", "With parents"),
        ("8", "4", "47", "13", "6", "1", "ab", "unknown"),
        ("9", "9", "99", "100", "1", "2", "ef", "Lives alone"),
        ("10", "1", "50", "14", "4", "", "cd", "With partner"),
        ("11", "3", "44", "16", "-2", "2.75", "ab", "UNKNOWN"),
        ("12", "6", "46", "0", "7", "3.5", "NONE", "With parents"),
        ("13", "4", "89.5", "18", "3", "-9", "ab", "With partner"),
        ("14", "2", "43", "12", "5", "2.25", "cd", "Lives alone"),
        ("15", "5", "95", "19", "2", "1.75", "ef", "With parents"),
        ("16", "3", "41", "13", "4", "3", "ab", "Lives alone"),
        ("17", "10", "49", "15", "9", "2", "cd", "With partner"),
        ("18", "4", "52", "90", "1", "4.5", "ab", "UNKNOWN SOURCE"),
        ("19", "3", "40", "14", "-3", "2.5", "N/A", "With parents"),
        ("20", "", "47", "16", "3", "1.25", "ef", "Lives alone"),
        ("21", "4", "45", "11", "6", "3", "ab", "With partner"),
        ("22", "2", "101", "17", "2", "9.5", "cd", "Lives alone"),
        ("23", "5", "46", "13", "", "2", "ab", "With parents"),
        ("24", "3", "44", "98.9", "4", "2.5", "ef", "UNKNOWN"),
        ("25", "4", "48", "12", "5", "1.5", "ab", "Lives alone"),
        ("26", "7", "43", "14", "3", "-9", "cd", "With partner"),
        ("27", "3", "50", "15", "0", "2", "NONE", "With parents"),
        ("28", "4", "42", "", "2", "3", "ab", "Lives alone"),
        ("29", "5", "47", "16", "8", "2.5", "ef", "UNKNOWNS"),
        ("30", "2", "45", "13", "1", "2", "cd", "With parents"),
        ("31", "4", "46", "12", "5", "3.5", "ab", "Lives alone"),
        ("32", "3", "49", "14", "4", "2", "cd", "With partner"),
    ]
    write_csv(OUT + "usermissing.csv",
              ["id", "q1", "q2", "q3", "q4", "q5", "sname", "longtext"], rows)
    dictionary = {
        "variables": [
            {"name": "q1", "missing": {"values": [7, 8, 9]}},
            {"name": "q2", "missing": {"range": [90, 99]}},
            {"name": "q3", "missing": {"range": [90, 99], "value": 0}},
            {"name": "q4", "missing": {"range": ["LO", -1]}},
            {"name": "q5", "format": "F8.2", "missing": {"values": [-9]}},
            {"name": "sname", "type": "string", "width": 4, "missing": {"values": ["NONE", "N/A"]}},
            {"name": "longtext", "type": "string", "width": 20, "label": "Living arrangement",
             "missing": {"values": ["UNKNOWN"]}},
        ]
    }
    with open(OUT + "usermissing.dict.json", "w") as f:
        json.dump(dictionary, f, indent=2)
        f.write("\n")


def weighted_split():
    rng = np.random.default_rng(20261206)
    weights = ["0.4", "0.5", "1", "1.5", "2.7", "3.2", "1.9999999999", "0", "-1", "", "2", "1.25"]
    chances = [0.04, 0.04, 0.2, 0.14, 0.14, 0.1, 0.04, 0.03, 0.02, 0.03, 0.12, 0.1]

    def cell(value, missing_rate, decimals=1):
        return "" if rng.random() < missing_rate else f"{value:.{decimals}f}"

    rows = []
    for wave, cases in ((1, 60), (2, 12000)):
        for _ in range(cases):
            f = rng.normal()
            a = 50 + 10 * (0.8 * f + 0.6 * rng.normal())
            b = 20 + 5 * (0.5 * f + 0.866 * rng.normal())
            c = 100 + 15 * (-0.4 * f + 0.917 * rng.normal())
            d = 3 + 2 * rng.standard_t(4)  # heavy tails: more extremes
            rows.append([str(wave), str(rng.choice(weights, p=chances)),
                         cell(a, 0.08), cell(b, 0.15), cell(c, 0.22), cell(d, 0.12, 2)])
    # Wave 3: c is constant, d is present in one case only, of weight 1.5.
    wave3 = [
        ("2", "11.5", "21.0", "5", ""), ("1", "12.0", "", "5", ""), ("0.5", "13.5", "23.5", "5", "7.25"),
        ("1.5", "10.0", "20.0", "5", "4.5"), ("3", "14.5", "24.0", "", ""), ("2.7", "9.5", "22.5", "5", ""),
        ("1", "", "25.0", "5", ""), ("2", "13.0", "19.5", "5", ""), ("-2", "30.0", "30.0", "5", "1"),
        ("1.25", "12.5", "21.5", "5", ""), ("", "50.0", "", "5", ""), ("2", "11.0", "26.0", "", ""),
    ]
    rows += [["3", w, a, b, c, d] for (w, a, b, c, d) in wave3]
    write_csv(OUT + "weighted_split.csv", ["wave", "wt", "a", "b", "c", "d"], rows)
    with open(OUT + "weighted_split.dict.json", "w") as f:
        json.dump({"variables": [{"name": "d", "format": "F8.2"}], "weight": "wt", "split": ["wave"]}, f, indent=2)
        f.write("\n")


usermissing()
weighted_split()
