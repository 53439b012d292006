"""Writes R's airquality data (tests/fixtures/mva/airquality.csv) as pandas
and a European spreadsheet leave it, for the loader's test of data as users
bring them (tests/host/data_test.cpp):

  tests/fixtures/data/habits/airquality_pandas.csv  DataFrame.to_csv() with
      its index (an unnamed first column) and headers a command cannot name
      ("Solar R", "Temp (F)", "1st day", two "Month"); Ozone went through
      the nullable Int64 type and Solar R through str, so their missing
      values are written "<NA>" and "nan"
  tests/fixtures/data/habits/ozone_pandas.csv       one column, Ozone, as
      to_csv(index=False) writes it: each missing value an empty line
  tests/fixtures/data/habits/airquality_excel.csv   ';' delimiter, decimal
      comma, CRLF line ends and a byte-order mark, empty cells for missing
      values, as a spreadsheet set to a European locale saves "CSV UTF-8"

and prints the count of present values and the sum of each variable as
pandas reads them back (they must equal R's, tools/data_habits.R.out).
Run from the repository root:
  /usr/bin/python3 tools/data_habits.py > tools/data_habits.py.out
"""
import pandas as pd

OUT = "tests/fixtures/data/habits/"
aq = pd.read_csv("tests/fixtures/mva/airquality.csv")

messy = pd.DataFrame({
    "Ozone": aq["Ozone"].astype("Int64").astype(str),
    "Solar R": aq["SolarR"].astype(str),
    "Wind": aq["Wind"],
    "Temp (F)": aq["Temp"],
    "Month": aq["Month"],
    "1st day": aq["Day"],
})
messy.insert(5, "month", aq["Month"])  # a second "Month" (names ignore case)
messy.to_csv(OUT + "airquality_pandas.csv")
aq[["Ozone"]].to_csv(OUT + "ozone_pandas.csv", index=False)
excel = aq.rename(columns={"SolarR": "Solar R", "Temp": "Temp (F)"})
excel.to_csv(OUT + "airquality_excel.csv", sep=";", decimal=",", index=False,
             lineterminator="\r\n", encoding="utf-8-sig")

for name, frame, kw in [("pandas", "airquality_pandas.csv", {"index_col": 0, "na_values": ["<NA>", "nan"]}),
                        ("ozone", "ozone_pandas.csv", {"skip_blank_lines": False}),
                        ("excel", "airquality_excel.csv", {"sep": ";", "decimal": ",", "encoding": "utf-8-sig"})]:
    back = pd.read_csv(OUT + frame, **kw)
    for column in back.columns:
        x = back[column].astype(float)
        print(f"{name} {column} present {int(x.notna().sum())} sum {x.sum():.17g}")
