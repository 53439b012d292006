"""Data frame columns as the engine takes them.

Every column becomes either float64 values (NaN is system-missing) or texts
(None where a case has no value), with value labels for a Categorical. The
engine renames headers that a command cannot say by the rule the CSV reader
follows; the options that name columns (weight, split, missing) may give a
column by its header or by its variable name.
"""

import math

import numpy as np
import pandas as pd

from . import _mva
from ._errors import MvaError


def _refuse(column, problem):
    raise MvaError(f"column {column!r}: {problem}", key="data", location={"column": str(column)})


def _numbers(series):
    """The values of a numeric column as float64, NaN for every missing value."""
    if series.dtype == np.float64:
        values = series.to_numpy()  # a view of the frame's block: NaN is already missing
    else:
        values = series.to_numpy(dtype="float64", na_value=np.nan)
    return values if values.ndim == 1 else values.reshape(-1)


def column_spec(header, series):
    """(header, values, value labels) of one column."""
    dtype = series.dtype
    if isinstance(dtype, pd.CategoricalDtype):
        codes = series.cat.codes.to_numpy()
        values = np.where(codes < 0, np.nan, codes + 1.0)
        labels = {float(k + 1): str(category) for k, category in enumerate(dtype.categories)}
        return (header, values, labels)
    if pd.api.types.is_bool_dtype(dtype) or pd.api.types.is_numeric_dtype(dtype):
        if pd.api.types.is_complex_dtype(dtype):
            _refuse(header, "complex numbers cannot be analysed")
        return (header, _numbers(series), None)
    if pd.api.types.is_string_dtype(dtype) or dtype == object:
        texts = series.to_numpy(dtype=object, na_value=None).tolist()
        return (header, texts, None)
    _refuse(header, f"a column of type {dtype} cannot be analysed; convert it to numbers or text")
    return None


def columns_of(df):
    """The engine's columns of a data frame, and its headers in order."""
    if not isinstance(df, pd.DataFrame):
        raise MvaError(f"the data must be a pandas DataFrame, not {type(df).__name__}", key="data",
                       location={})
    if df.shape[1] == 0:
        raise MvaError("the data frame has no columns", key="data", location={})
    if df.shape[0] == 0:
        raise MvaError("the data frame has no rows; no command was run", key="data", location={})
    headers = [str(name) for name in df.columns]
    columns = [column_spec(header, df.iloc[:, k]) for k, header in enumerate(headers)]
    return columns, headers


class Names:
    """Variable names of the headers, by the CSV reader's rule."""

    def __init__(self, headers):
        self.headers = headers
        self.names = _mva.variable_names(headers)
        self._by_header = dict(zip(headers, self.names))
        self._folded = {name.lower(): name for name in self.names}

    def of(self, column, argument):
        """The variable name of `column` (a header or a variable name)."""
        column = str(column)
        if column in self._by_header:
            return self._by_header[column]
        if column.lower() in self._folded:
            return self._folded[column.lower()]
        raise MvaError(f"{argument}: there is no column {column!r} in the data frame", key="argument",
                       location={"argument": argument, "column": column})


def _number_text(value, argument):
    if isinstance(value, str):
        text = value.strip()
        if text.upper() in ("LO", "LOWEST", "HI", "HIGHEST"):
            return text.upper()
        return text
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, float, np.integer, np.floating)):
        raise MvaError(f"{argument}: {value!r} is not a missing value (a number or a text)", key="argument",
                       location={"argument": argument})
    if not math.isfinite(float(value)):
        raise MvaError(f"{argument}: {value!r} is not a finite number", key="argument",
                       location={"argument": argument})
    return repr(float(value)) if isinstance(value, (float, np.floating)) else str(int(value))


def missing_specs(missing, names):
    """The engine's "VAR=..." specifications of user-missing values.

    A list gives up to three values; a tuple (low, high) a range; a dict
    {"range": (low, high), "value": v} a range and one value.
    """
    specs = []
    for column, spec in (missing or {}).items():
        argument = f"missing[{column!r}]"
        name = names.of(column, argument)
        if isinstance(spec, dict):
            if set(spec) - {"range", "value"} or "range" not in spec:
                raise MvaError(f"{argument}: give {{'range': (low, high)}} and optionally 'value'",
                               key="argument", location={"argument": argument})
            text = _range_text(spec["range"], argument)
            if "value" in spec:
                text += "," + _number_text(spec["value"], argument)
        elif isinstance(spec, tuple):
            text = _range_text(spec, argument)
        elif isinstance(spec, (list, set, frozenset)):
            text = ",".join(_number_text(v, argument) for v in spec)
        else:
            text = _number_text(spec, argument)
        specs.append(f"{name}={text}")
    return specs


def _range_text(bounds, argument):
    if not isinstance(bounds, (tuple, list)) or len(bounds) != 2:
        raise MvaError(f"{argument}: a range is a pair (low, high)", key="argument",
                       location={"argument": argument})
    return f"{_number_text(bounds[0], argument)}:{_number_text(bounds[1], argument)}"
