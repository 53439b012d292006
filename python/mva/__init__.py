"""Missing value analysis of pandas data frames.

    import mva
    r = mva.run(df, "MVA ALL /EM /TPATTERN.", weight="w", missing={"income": [99]})
    r.table("EM Means")       # a table as a DataFrame
    r.little                  # Little's MCAR test: (chi_square, df, p)

The commands are those of the mva program; the data go to the engine
without a file. Every number in a result was computed by the engine: this
package only moves data in and results out.
"""

import collections
import json as _json
import os
import re
import tempfile

import numpy as np
import pandas as pd

from . import _mva
from ._columns import Names, columns_of, missing_specs
from ._errors import MvaError
from ._tables import frames, walk

__all__ = ["run", "Result", "Table", "MvaError", "Little", "EmResult", "little_mcar_test", "em", "patterns",
           "ttests"]

Little = collections.namedtuple("Little", ["chi_square", "df", "p"])

_MCAR_KEY = "EOUT_ MCAR CHISQ=^1, DF=^2 PROB=^3"
_DICTIONARY_KEY = "HOST_ DICTIONARY OF ^1"
_FILES_SAVED = 1


class Table:
    """One table of the output.

    number, title (its display text), key (its message key), frame (the
    numbers, NaN where none), texts (the cells as shown), footnotes (dicts
    with key, text, params, marker), split (the split group's values, a list
    of dicts with variable, value and text, or None).
    """

    def __init__(self, item, split):
        self.number = item.get("number")
        self.title = item.get("title", {}).get("text", "")
        self.key = item.get("title", {}).get("key")
        self.footnotes = item.get("footnotes", [])
        self.split = split
        self._item = item
        self._frames = None

    def _made(self):
        # The frames are made when first asked for: a run's result often
        # holds tables nobody looks at.
        if self._frames is None:
            self._frames = frames(self._item)
            self._item = None
        return self._frames

    @property
    def frame(self):
        return self._made()[0]

    @property
    def texts(self):
        return self._made()[1]

    def __repr__(self):
        return f"<mva.Table {self.number} {self.title!r} {self.frame.shape[0]}x{self.frame.shape[1]}>"


class Result:
    """What a run gave: its tables, messages, Little's test and saved files."""

    def __init__(self, document):
        self._document = document
        self._json = document.json()
        items = _json.loads(self._json)["output"]
        self.tables, self.messages, self.notes, self.files = [], [], [], {}
        self.little = None
        split = None
        for item in walk(items):
            kind = item.get("type")
            if kind == "split":
                split = item.get("values")
            elif kind == "table" and item.get("number") == _FILES_SAVED:
                self._take_files(item)
            elif kind == "table":
                self.tables.append(Table(item, split))
            elif kind == "message":
                self.messages.append({k: item.get(k) for k in
                                      ("kind", "key", "text", "source", "class", "severity", "params", "groups")})
            elif kind == "note":
                self.notes.append({k: item.get(k) for k in ("key", "text", "params")})
                if item.get("key") == _MCAR_KEY and self.little is None:
                    self.little = Little(*item["params"])

    def _take_files(self, item):
        for cell in item.get("cells", []):
            path = cell.get("text", "")
            if _DICTIONARY_KEY in cell.get("at", {}).values() or not path or path in self.files:
                continue
            self.files[path] = pd.read_csv(path) if os.path.exists(path) else None

    def table(self, title):
        """The frame of the first table with that title (display text or key)."""
        for t in self.tables:
            if title in (t.title, t.key):
                return t.frame
        raise KeyError(f"no table titled {title!r}; the tables are: {', '.join(t.title for t in self.tables)}")

    def json(self):
        """The document as the program's --format json writes it."""
        return self._json

    def html(self):
        return self._document.html()

    def text(self):
        return self._document.text()

    def _repr_html_(self):
        return self._document.html()

    def __repr__(self):
        return f"<mva.Result: {len(self.tables)} tables, {len(self.messages)} messages>"


_DATA_PLACE = re.compile(r'column "(?P<column>.*?)" \((?P<variable>[^)]*)\)(?:, case (?P<case>\d+))?')


def _data_error(error):
    text = str(error)
    for option, argument in (("--weight", "weight"), ("--split", "split"), ("--missing", "missing")):
        if text.startswith(option):
            return MvaError(argument + text[len(option):], key="argument", location={"argument": argument})
    place = _DATA_PLACE.search(text)
    location = {}
    if place:
        location = {"column": place["column"], "variable": place["variable"]}
        if place["case"]:
            location["case"] = int(place["case"])
    return MvaError(text, key="data", location=location)


def run(df, commands, weight=None, split=None, missing=None, seed=2000000, workspace=None, max_cells=0,
        threads=None):
    """Runs MVA commands over a data frame.

    df: the data; each column a variable (float and nullable int or boolean
        columns are numbers; text columns strings; a Categorical is coded
        1..k with its categories as value labels). Headers that a command
        cannot say are renamed as the program renames a CSV file's headers.
    commands: one or more MVA commands, each ending with a period.
    weight: the weight column; split: a column or a list of them;
    missing: user-missing values by column: a list of up to three values,
        a tuple (low, high) for a range, or {"range": (low, high), "value": v};
    seed: of the random numbers imputations draw; workspace: its size in
        bytes; max_cells: the largest pattern table (0, no limit); threads:
        how many threads take in the columns (default: the machine's cores;
        the result is the same for any number).

    Raises MvaError (with message, key and location) for data the engine
    cannot take, for arguments that name no column, and when a command ends
    with an error (its `result` then holds everything the run gave).
    """
    columns, headers = columns_of(df)
    names = Names(headers)
    options = {"seed": int(seed), "max_cells": int(max_cells), "missing": missing_specs(missing, names)}
    if weight is not None:
        options["weight"] = names.of(weight, "weight")
    if split is not None:
        splits = [split] if isinstance(split, str) or not hasattr(split, "__iter__") else list(split)
        options["split"] = [names.of(s, "split") for s in splits]
    if workspace is not None:
        options["workspace"] = int(workspace)
    if threads is not None:
        if isinstance(threads, bool) or not isinstance(threads, (int, np.integer)) or not 1 <= threads <= 1024:
            raise MvaError(f"threads: {threads!r} is not a number of threads (1 to 1024)", key="argument",
                           location={"argument": "threads"})
        options["threads"] = int(threads)
    try:
        document = _mva.run(columns, int(df.shape[0]), commands, options)
    except _mva.DataError as error:
        raise _data_error(error) from None
    except _mva.CommandError as error:
        raise MvaError(str(error), key="commands", location={"file": "commands"}) from None
    result = Result(document)
    if document.failed:
        errors = [m for m in result.messages if m["kind"] == "error"] or [{"text": "a command failed"}]
        first = errors[0]
        raise MvaError(first["text"], key=first.get("key"), location=first.get("source") or {}, result=result)
    return result


# ---- Convenience functions: each one command through run.

def _variables(df, columns):
    """The variable names of `columns` (default: every numeric column that is
    not a Categorical) as a command's variable list."""
    names = Names([str(c) for c in df.columns])
    if columns is None:
        columns = [c for c in df.columns
                   if (pd.api.types.is_numeric_dtype(df[c].dtype) or pd.api.types.is_bool_dtype(df[c].dtype))
                   and not isinstance(df[c].dtype, pd.CategoricalDtype)]
    if len(columns) == 0:
        raise MvaError("no numeric columns to analyse", key="argument", location={"argument": "columns"})
    return " ".join(names.of(c, "columns") for c in columns)


def little_mcar_test(df, columns=None, **options):
    """Little's MCAR test over the columns: Little(chi_square, df, p)."""
    result = run(df, f"MVA VARIABLES={_variables(df, columns)} /NOUNIVARIATE /EM.", **options)
    return result.little


EmResult = collections.namedtuple("EmResult", ["means", "covariances", "correlations", "data", "little", "result"])


def _model_text(model):
    if model == "normal":
        return ""
    if isinstance(model, tuple) and len(model) == 2 and model[0] == "t":
        return f" TDF={int(model[1])}"
    if isinstance(model, tuple) and len(model) == 3 and model[0] == "contaminated":
        return f" PROPORTION={float(model[1])!r} LAMBDA={float(model[2])!r}"
    raise MvaError(f"model: {model!r} is not \"normal\", (\"t\", df) or (\"contaminated\", proportion, lambda)",
                   key="argument", location={"argument": "model"})


def em(df, columns=None, model="normal", **options):
    """EM estimates: EmResult(means, covariances, correlations, data, little,
    result), the first three frames as the EM tables give them, `data` the
    completed data (the analysed columns with every missing value replaced by
    its conditional mean), `result` the whole Result."""
    variables = _variables(df, columns)
    with tempfile.TemporaryDirectory(prefix="mva-") as folder:
        path = os.path.join(folder, "completed.csv")
        result = run(df, f"MVA VARIABLES={variables} /NOUNIVARIATE /EM ({_model_text(model).strip()} "
                         f"OUTFILE='{path}').", **options)
        data = result.files.get(path)
        result.files = {}
    return EmResult(result.table("EOUT_ EM MEANS"), result.table("EOUT_ EM COVARIANCES"),
                    result.table("EOUT_ EM CORRELATIONS"), data, result.little, result)


def patterns(df, columns=None, **options):
    """The tabulated missing-value patterns of the columns, as a frame."""
    result = run(df, f"MVA VARIABLES={_variables(df, columns)} /NOUNIVARIATE /TPATTERN PERCENT=0.", **options)
    return result.table("POUT_ TABULATED PATTERNS")


def ttests(df, columns=None, **options):
    """Separate-variance t tests of the columns, grouped by each one's
    missingness, as a frame."""
    result = run(df, f"MVA VARIABLES={_variables(df, columns)} /NOUNIVARIATE /TTEST PERCENT=0.", **options)
    return result.table("TOUT_ MATRIX OF T STATISTICS")
