"""The Python package against the program: the same data and commands give
the same numbers and texts, whether the data come as a data frame or as a CSV
file; every kind of column goes in as the CSV reader would read its values;
problems come back as MvaError with message, key and location; analyses in
two threads give what they give one after the other."""

import json
import os
import subprocess
import threading

import numpy as np
import pandas as pd
import pytest

import mva

PROGRAM = os.environ.get("MVA_PROGRAM", "mva")
FIXTURES = os.path.join(os.environ.get("MVA_SOURCE_DIR", "."), "tests", "fixtures", "mva")


def program_json(csv_path, command, *options):
    run = subprocess.run([PROGRAM, "--data", csv_path, "--format", "json", "--no-progress", *options, "-e", command],
                         capture_output=True, text=True, check=False)
    assert run.returncode in (0, 1), run.stderr
    return json.loads(run.stdout)["output"]


def tables_of(items):
    """(title key, [(value, text) of each cell]) of every table but Files Saved."""
    out = []
    for item in mva._tables.walk(items):
        if item.get("type") == "table" and item["number"] != 1:
            out.append((item["title"]["key"], [(c["value"], c["text"]) for c in item["cells"]]))
        elif item.get("type") == "note":
            out.append((item["key"], item["params"]))
    return out


def cell_values(table_item):
    return sorted(float(c["value"]) for c in table_item["cells"] if isinstance(c["value"], (int, float)))


@pytest.fixture(scope="module")
def airquality():
    return pd.read_csv(os.path.join(FIXTURES, "airquality.csv"))


@pytest.mark.parametrize("command", [
    "MVA Ozone SolarR Wind Temp Month /CATEGORICAL=Month /TTEST /CROSSTAB /TPATTERN /DPATTERN /EM.",
    "MVA Ozone TO Day /LISTWISE /PAIRWISE /EM (TDF=4) /REGRESSION (ADDTYPE=NONE).",
    "MVA Ozone SolarR Wind Temp /EM (PROPORTION=0.1 LAMBDA=5) /MPATTERN /MISMATCH.",
])
def test_numbers_equal_the_programs(airquality, command):
    result = mva.run(airquality, command)
    ours = json.loads(result.json())["output"]
    assert tables_of(ours) == tables_of(program_json(os.path.join(FIXTURES, "airquality.csv"), command))
    # Each frame holds its table's numbers, and nothing else.
    items = [i for i in mva._tables.walk(ours) if i.get("type") == "table" and i["number"] != 1]
    assert len(items) == len(result.tables)
    for item, table in zip(items, result.tables):
        frame = table.frame.to_numpy().ravel()
        assert sorted(frame[~np.isnan(frame)]) == cell_values(item), table.title


def test_weights_splits_missing_values_and_saved_files(tmp_path):
    # The same data and options as a file with a dictionary, and as a frame.
    df = pd.read_csv(os.path.join(FIXTURES, "weighted_split.csv"))
    out = tmp_path / "done"
    command = f"MVA a b c d /EM (OUTFILE='{out}') /TTEST."
    result = mva.run(df, command, weight="wt", split="wave", missing={"c": (90, 99), "a": [38.5]})
    program = program_json(os.path.join(FIXTURES, "weighted_split.csv"), command.replace("done", "program"),
                           "--weight", "wt", "--split", "wave", "--missing", "c=90:99", "--missing", "a=38.5")
    assert tables_of(json.loads(result.json())["output"]) == tables_of(program)
    assert {t.split[0]["value"] for t in result.tables} == set(df["wave"])
    assert list(result.files) == [f"{out}.csv"]
    saved = pd.read_csv(tmp_path / "program.csv")
    pd.testing.assert_frame_equal(result.files[f"{out}.csv"], saved)
    assert "<table" in result._repr_html_()


def test_every_column_kind_reads_as_the_csv_reader_reads_it(tmp_path):
    df = pd.DataFrame({
        "x": [1.5, np.nan, 2.25, 4.0, -1.0, 3.5],
        "Solar R": pd.array([1, None, 3, 4, 4, 2], dtype="Int64"),
        "flag": pd.array([True, False, None, True, True, False], dtype="boolean"),
        "town": ["Oslo", None, "Bergen", np.nan, "Oslo", "Bergen"],
        "size": pd.Categorical(["small", "large", None, "small", "large", "large"], categories=["small", "large"]),
        "1st": [10, 20, 30, 40, 50, 60],
    })
    command = "MVA x Solar_R flag v1st town size /CATEGORICAL=size /CROSSTAB PERCENT=0 /TPATTERN."
    result = mva.run(df, command)
    # The same values as a file: numbers as numbers, the Categorical as its
    # codes with the categories as value labels, the texts as texts.
    codes = df["size"].cat.codes + 1
    as_file = df.assign(flag=df["flag"].astype("Int64"), size=pd.array(codes.where(codes > 0), dtype="Int64"))
    csv_path = tmp_path / "kinds.csv"
    as_file.to_csv(csv_path, index=False)
    (tmp_path / "kinds.dict.json").write_text(json.dumps({"variables": [
        {"name": "size", "value_labels": {"1": "small", "2": "large"}}]}))
    program = program_json(str(csv_path), command, "--dict", str(tmp_path / "kinds.dict.json"))
    assert tables_of(json.loads(result.json())["output"]) == tables_of(program)
    # The renamed headers and the texts without a value are told as a file's are.
    keys = [m["key"] for m in result.messages]
    assert keys == [m["key"] for m in program if m.get("type") == "message"]
    assert "HOST_ LOAD ^1 RENAMED ^2" in keys and "HOST_ LOAD ^1 BLANK STRINGS ^2 ^3 MISSING ^4" in keys
    univariate = result.table("Univariate Statistics")
    assert univariate.loc["town"].iloc[0] == 4  # None and NaN have no value
    crosstab_categories = " ".join(t.texts.to_string() for t in result.tables)
    assert "small" in crosstab_categories and "large" in crosstab_categories


@pytest.mark.parametrize("call, message, key, location", [
    (lambda df: mva.run(df, "MVA Ozone Nope /EM."), "Unknown variable name: Nope.", "HOST_ UNKNOWN VARIABLE ^1",
     {"file": "commands", "line": 1, "column": 11}),
    (lambda df: mva.run(df, "MVA Ozone Temp\n  /MAXCAT=0."), None, "PARS_ /MAXCAT MUST BE A POSITIVE INTEGER",
     {"file": "commands", "line": 2}),
    (lambda df: mva.run(df, "MVA Ozone Temp.", weight="w"), "weight: there is no column 'w' in the data frame",
     "argument", {"argument": "weight", "column": "w"}),
    (lambda df: mva.run(df, "MVA Ozone Temp.", missing={"Ozone": (1, 2, 3)}), None, "argument",
     {"argument": "missing['Ozone']"}),
    (lambda df: mva.run(df.assign(Wind=df["Wind"].replace(8.0, np.inf)), "MVA Ozone Wind."), None, "data",
     {"column": "Wind", "variable": "Wind", "case": 2}),
    (lambda df: mva.run(df.assign(Day=pd.to_datetime(df["Day"], unit="D")), "MVA Ozone."), None, "data",
     {"column": "Day"}),
    (lambda df: mva.run(df.iloc[:0], "MVA Ozone."), "the data frame has no rows; no command was run", "data", {}),
    (lambda df: mva.run(df.to_numpy(), "MVA Ozone."), "the data must be a pandas DataFrame, not ndarray", "data", {}),
    (lambda df: mva.em(df, model=("t",)), None, "argument", {"argument": "model"}),
])
def test_problems_are_exceptions_with_message_key_and_location(airquality, call, message, key, location):
    with pytest.raises(mva.MvaError) as caught:
        call(airquality)
    error = caught.value
    if message is not None:
        assert error.message == message
    assert error.message and str(error) == error.message
    assert error.key == key
    assert {k: error.location.get(k) for k in location} == location


def test_a_command_error_keeps_the_rest_of_the_run(airquality):
    with pytest.raises(mva.MvaError) as caught:
        mva.run(airquality, "MVA Ozone Temp /EM.\nMVA Ozone Nope.")
    assert caught.value.result.table("EM Means").shape == (1, 2)


def test_convenience_functions_are_their_tables(airquality):
    columns = ["Ozone", "SolarR", "Wind", "Temp"]
    full = mva.run(airquality, "MVA Ozone SolarR Wind Temp /NOUNIVARIATE /EM (TDF=4).")
    fitted = mva.em(airquality, columns, model=("t", 4))
    pd.testing.assert_frame_equal(fitted.means, full.table("EM Means"))
    pd.testing.assert_frame_equal(fitted.covariances, full.table("EM Covariances"))
    assert fitted.little == full.little
    normal = mva.run(airquality, "MVA Ozone SolarR Wind Temp /NOUNIVARIATE /EM.").little
    assert mva.little_mcar_test(airquality, columns) == normal != full.little
    # The completed data: the present values as they were, none missing.
    assert not fitted.data[columns].isna().any().any()
    present = airquality[columns].notna()
    assert np.array_equal(fitted.data[columns].where(present).to_numpy(float),
                          airquality[columns].where(present).to_numpy(float), equal_nan=True)
    assert mva.patterns(airquality, columns).shape[0] == 4
    assert mva.ttests(airquality, columns).index.names == ["Grouping Variable", "Statistics"]


def test_two_threads_give_what_one_after_the_other_gives(airquality):
    other = pd.read_csv(os.path.join(FIXTURES, "nhanes.csv"))
    jobs = [(airquality, "MVA Ozone TO Day /TTEST /EM /REGRESSION."), (other, "MVA age bmi hyp chl /EM /TPATTERN.")]
    alone = [mva.run(df, command).json() for df, command in jobs]
    together = [None, None]

    def work(k):
        for _ in range(5):
            text = mva.run(*jobs[k]).json()
            together[k] = text if together[k] in (None, text) else "differs"

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


def test_any_number_of_threads_and_any_layout_take_the_columns_alike(airquality):
    # A frame made from a matrix holds each column as a strided view of one
    # block; a reversed view walks it backwards. Both are read in place.
    numbers = airquality.astype(float)
    matrix = pd.DataFrame(np.ascontiguousarray(numbers.to_numpy()), columns=numbers.columns)
    backwards = pd.DataFrame(np.ascontiguousarray(numbers.to_numpy()[::-1])[::-1], columns=numbers.columns)
    assert matrix["Wind"].to_numpy().strides == (48,) and backwards["Wind"].to_numpy().strides == (-48,)
    command = "MVA Ozone TO Day /EM /TPATTERN."
    assert len({mva.run(df, command, threads=n).json() for df in (airquality, numbers, matrix, backwards)
                for n in (1, 2, 5)}) == 1
    # The first column with a problem is the one told, whichever thread met it.
    bad = airquality.assign(Wind=np.inf, Temp=-np.inf)
    messages = set()
    for n in (1, 2, 5):
        with pytest.raises(mva.MvaError) as error:
            mva.run(bad, command, threads=n)
        messages.add(str(error.value))
    assert len(messages) == 1 and 'column "Wind"' in messages.pop()
    with pytest.raises(mva.MvaError, match="threads: 0"):
        mva.run(airquality, command, threads=0)


def test_columns_measured_as_the_run_reads_them_as_before_it(tmp_path):
    # With several threads and this many cases the columns are measured as
    # the run reads them (the rest at its end): the tables, the saved file's
    # formats and the error of an infinite value are those of one thread,
    # which measures them first, whether the run reads the infinite values
    # or not.
    rng = np.random.default_rng(5)
    values = np.round(rng.normal(size=(70000, 3)) * [1, 10, 100], 2)
    values[rng.random(values.shape) < 0.1] = np.nan
    values[-1, 0] = 0.123456  # the most decimals, in the last case
    df = pd.DataFrame(values, columns=["a", "b", "c"])
    saved = {}
    for n in (1, 2):
        out = tmp_path / f"em{n}.csv"
        result = mva.run(df, f"MVA a TO c /EM (OUTFILE='{out}').", threads=n)
        saved[n] = (tables_of(json.loads(result.json())["output"]),
                    (tmp_path / f"em{n}.dict.json").read_text(), out.read_text())
    assert saved[1] == saved[2]
    values[69990, 1], values[100, 2] = np.inf, -np.inf
    bad = pd.DataFrame(values, columns=["a", "b", "c"])
    for command in (f"MVA a TO c /EM (OUTFILE='{tmp_path / 'bad.csv'}').", "MVA c.", "MVA nope."):
        errors = []
        for n in (1, 2):
            with pytest.raises(mva.MvaError) as error:
                mva.run(bad, command, threads=n)
            errors.append((str(error.value), error.value.key, error.value.location, error.value.result))
        assert errors[0] == errors[1] and errors[0][1:3] == ("data", {"column": "b", "variable": "b", "case": 69991})
    assert sorted(os.listdir(tmp_path)) == ["em1.csv", "em1.dict.json", "em2.csv", "em2.dict.json"]


def test_ctrl_c_stops_a_run_promptly():
    import signal
    import time
    rng = np.random.default_rng(3)
    values = rng.normal(size=(20000, 6))
    values[rng.random(values.shape) < 0.2] = np.nan
    df = pd.DataFrame(values, columns=[f"v{k}" for k in range(6)])
    command = "MVA v0 TO v5 /NOUNIVARIATE /EM (ITERATIONS=100000000 CONVERGENCE=1E-300)."
    timer = threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT))
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        mva.run(df, command)
    assert time.monotonic() - start < 30
    timer.join()
    # The interrupt is over: the next run runs.
    assert mva.run(df, "MVA v0 TO v5 /EM.").little is not None
