"""Tables of the JSON document as data frames.

A table's dimensions on each axis become the levels of a MultiIndex, outer
dimension first (its first placement code is higher); a dimension whose
categories are nested in groups takes one level per depth, the group above
the category. Cells hold the numbers as the document gives them (None, the
system-missing value, as NaN); the texts as shown are kept beside them.
"""

import numpy as np
import pandas as pd


def walk(items):
    """Every item of the document in order, headings opened; items of kinds
    this package does not know are passed over by the callers."""
    for item in items:
        yield item
        if isinstance(item.get("items"), list):
            yield from walk(item["items"])


def _name(entry):
    key = entry.get("key")
    if key:
        return key
    return entry.get("variable") or entry.get("text")


def _leaves(categories, path=(), texts=()):
    """(path of names, path of texts) of every category without children."""
    for category in categories:
        names = path + (_name(category),)
        shown = texts + (category.get("text", ""),)
        children = category.get("children")
        if children:
            yield from _leaves(children, names, shown)
        else:
            yield names, shown


class _Axis:
    def __init__(self, dimensions, title):
        # Outer dimensions first: a higher first placement code is outer.
        order = sorted(range(len(dimensions)), key=lambda k: -((dimensions[k].get("codes") or [0])[0]))
        self.dimensions = [dimensions[k] for k in order]
        self.depths, self.leaves, self.names = [], [], []
        for d in self.dimensions:
            leaves = list(_leaves(d.get("categories", [])))
            depth = max((len(p) for p, _ in leaves), default=1)
            self.depths.append(depth)
            self.leaves.append(leaves)
            text = d["name"].get("text", "")
            self.names += [f"{text} ({k})" if k < depth - 1 else text for k in range(depth)]
        self.title = title

    def labels(self, d, texts):
        # A shorter path stands at the innermost levels, the outer ones blank.
        depth = self.depths[d]
        return ("",) * (depth - len(texts)) + tuple(texts)

    def index(self):
        if not self.dimensions:
            return pd.Index([self.title]), {(): 0}
        tuples, position = [], {}
        combos = [()]
        for d, leaves in enumerate(self.leaves):
            combos = [c + ((names, texts),) for c in combos for names, texts in leaves]
        for combo in combos:
            key = tuple(names for names, _ in combo)
            if key in position:
                continue
            position[key] = len(tuples)
            tuples.append(sum((self.labels(d, texts) for d, (_, texts) in enumerate(combo)), ()))
        if len(self.names) == 1:
            return pd.Index([t[0] for t in tuples], name=self.names[0]), position
        return pd.MultiIndex.from_tuples(tuples, names=self.names), position


def _dimension_name(d):
    return _name(d["name"])


def frames(table):
    """(numbers, texts) of a table item: two data frames of one shape."""
    title = table.get("title", {}).get("text", "")
    dimensions = table.get("dimensions", [])
    rows = _Axis([d for d in dimensions if d.get("axis") != "column"], title)
    columns = _Axis([d for d in dimensions if d.get("axis") == "column"], title)
    row_index, row_at = rows.index()
    column_index, column_at = columns.index()
    numbers = np.full((len(row_index), len(column_index)), np.nan)
    texts = np.full((len(row_index), len(column_index)), "", dtype=object)
    row_keys = [_dimension_name(d) for d in rows.dimensions]
    column_keys = [_dimension_name(d) for d in columns.dimensions]
    for cell in table.get("cells", []):
        path = cell.get("path", {})
        r = row_at.get(tuple(tuple(path.get(k, ())) for k in row_keys))
        c = column_at.get(tuple(tuple(path.get(k, ())) for k in column_keys))
        if r is None or c is None:
            continue
        value = cell.get("value")
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            numbers[r, c] = float(value)
        texts[r, c] = cell.get("text", "")
    return (pd.DataFrame(numbers, index=row_index, columns=column_index),
            pd.DataFrame(texts, index=row_index, columns=column_index))
