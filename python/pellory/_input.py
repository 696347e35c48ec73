"""What callers pass, turned into the engine's two record blocks.

The engine reads a block of discrete value codes (int32, one row per record,
-1 for missing) and a block of float values (float64, NaN for missing). This
module makes both from a 2-D numpy array, a pandas data frame, or one row
given as a dict or a 1-D sequence, and remembers at the first fit what each
column is, so later calls read the same columns the same way:

- "float" columns go to the float block as numbers;
- "code" columns hold whole numbers 0 .. 16777215 that are the value codes
  (-1 marks a missing value where NaN cannot: in integer columns);
- "coded" columns hold any values (strings, categories), coded per column in
  order of first appearance; the codes are kept in the layout.

A value the engine would read as something else is refused with ValueError
naming the column, never passed on: a negative or fractional code, a string
in a float column, a shape that does not fit.
"""
import numbers
import warnings

import numpy as np

try:
    import pandas as pd
except ImportError:  # the module needs only numpy
    pd = None

MAX_CODE = (1 << 24) - 1
FLOAT, CODE, CODED = "float", "code", "coded"


def is_frame(X):
    return pd is not None and isinstance(X, pd.DataFrame)


def _isna(values):
    if pd is not None:
        return np.asarray(pd.isna(values), dtype=bool)
    return np.fromiter((v is None or (isinstance(v, float) and v != v) for v in values), bool, len(values))


def _frame_kind(series, forced):
    dtype = series.dtype
    if pd.api.types.is_bool_dtype(dtype) or pd.api.types.is_integer_dtype(dtype):
        return CODE
    if isinstance(dtype, pd.CategoricalDtype) or pd.api.types.is_object_dtype(dtype) or \
            pd.api.types.is_string_dtype(dtype):
        return CODED
    if pd.api.types.is_float_dtype(dtype):
        return CODE if forced else FLOAT
    raise ValueError(f"column {series.name!r} has the type {dtype}, which is neither a number, a boolean, "
                     "a category nor a string")


class Layout:
    """The columns an estimator learned from: their number, their names (data
    frames only), the kind of each, and the codes of the coded columns."""

    def __init__(self, kinds, names):
        self.kinds = list(kinds)
        self.names = names
        self.codes = {j: {} for j, kind in enumerate(self.kinds) if kind == CODED}
        self.discrete = [j for j, kind in enumerate(self.kinds) if kind != FLOAT]
        self.floats = [j for j, kind in enumerate(self.kinds) if kind == FLOAT]

    @property
    def n_features(self):
        return len(self.kinds)

    @classmethod
    def of(cls, X, discrete):
        """The layout of the first data an estimator sees."""
        forced = _selected_columns(discrete, X)
        if is_frame(X):
            kinds = [_frame_kind(X.iloc[:, j], j in forced) for j in range(X.shape[1])]
            names = feature_names(X)
        else:
            X = as_2d(X)
            numeric = X.dtype.kind in "biuf"
            kinds = [(CODE if numeric else CODED) if j in forced else FLOAT for j in range(X.shape[1])]
            names = None
        return cls(kinds, names)

    @classmethod
    def of_counts(cls, discrete_count, float_count):
        """The layout of a model read from a file: its discrete attributes as
        code columns, then its float attributes."""
        return cls([CODE] * discrete_count + [FLOAT] * float_count, None)


def _selected_columns(discrete, X):
    if discrete is None:
        return set()
    if isinstance(discrete, (str, numbers.Integral)):
        discrete = [discrete]
    width = X.shape[1] if getattr(X, "ndim", 2) == 2 else 0
    columns = list(X.columns) if is_frame(X) else []
    chosen = set()
    for item in discrete:
        if isinstance(item, (numbers.Integral, np.integer)) and not isinstance(item, bool):
            if not 0 <= item < width:
                raise ValueError(f"discrete: column {item} is not one of the {width} columns")
            chosen.add(int(item))
        elif item in columns:
            chosen.add(columns.index(item))
        else:
            raise ValueError(f"discrete: {item!r} names no column of the data")
    return chosen


def feature_names(X):
    if not is_frame(X):
        return None
    names = np.asarray(X.columns, dtype=object)
    if not all(isinstance(n, str) for n in names):
        return None
    return names


def as_2d(X):
    if hasattr(X, "toarray") and hasattr(X, "nnz"):
        raise TypeError("A sparse matrix was passed, but sparse input is not supported: pass a dense array "
                        "(X.toarray()).")
    X = np.asarray(X)
    if X.ndim != 2:
        raise ValueError(f"Expected 2D array, got {X.ndim}D array instead. Reshape your data either using "
                         "X.reshape(-1, 1) if your data has a single feature or X.reshape(1, -1) if it "
                         "contains a single sample.")
    if X.dtype.kind == "c":
        raise ValueError("Complex data not supported")
    return X


def check_feature_names(estimator_name, fitted, X):
    """Refuses a data frame whose column names differ from the fitted ones
    (scikit-learn's rule and wording)."""
    given = feature_names(X)
    if fitted is None and given is None:
        return
    if fitted is None:
        warnings.warn(f"X has feature names, but {estimator_name} was fitted without feature names")
        return
    if given is None:
        warnings.warn(f"X does not have valid feature names, but {estimator_name} was fitted with feature names")
        return
    if len(fitted) == len(given) and np.all(fitted == given):
        return
    message = "The feature names should match those that were passed during fit.\n"
    unseen = [n for n in given if n not in set(fitted)]
    missing = [n for n in fitted if n not in set(given)]

    def listed(names):
        shown = "".join(f"- {n}\n" for n in names[:5])
        return shown + ("- ...\n" if len(names) > 5 else "")
    if unseen:
        message += "Feature names unseen at fit time:\n" + listed(unseen)
    if missing:
        message += "Feature names seen at fit time, yet now missing:\n" + listed(missing)
    if not unseen and not missing:
        message += "Feature names must be in the same order as they were in fit.\n"
    raise ValueError(message)


def _column(X, j):
    return X.iloc[:, j] if is_frame(X) else X[:, j]


def _column_name(X, j):
    return repr(X.columns[j]) if is_frame(X) else str(j)


def _as_floats(values, name):
    try:
        if pd is not None and isinstance(values, pd.Series):
            return values.to_numpy(dtype=np.float64, na_value=np.nan)
        return np.asarray(values, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise type(error)(f"column {name}: {error}") from None


def _codes_of_numbers(values, names, offset):
    """Whole numbers (one column, or a block whose columns are called names)
    as value codes; offset 1 for a model numbered from 1."""
    if values.dtype.kind in "iub":
        numbers_ = values.astype(np.int64, copy=False)
        missing = numbers_ == -1
        bad = ~missing & ((numbers_ < 0) | (numbers_ > MAX_CODE))
    else:
        numbers_ = _as_floats(values, names[0] if len(names) == 1 else "of X")
        with np.errstate(invalid="ignore"):
            missing = np.isnan(numbers_) | (numbers_ == -1)
            bad = ~missing & ~((numbers_ >= 0) & (numbers_ <= MAX_CODE) & (numbers_ == np.floor(numbers_)))
    if bad.any():
        where = np.argwhere(bad)[0]
        column = names[where[1]] if bad.ndim == 2 else names[0]
        raise ValueError(f"column {column}: {float(numbers_[tuple(where)])!r} is no discrete value code (whole "
                         f"numbers 0 to {MAX_CODE}; NaN, None or -1 for a missing value)")
    with np.errstate(invalid="ignore"):  # the NaNs cast here are overwritten below
        codes = (numbers_ - offset if offset else numbers_).astype(np.int32)
    if missing.any():
        codes[missing] = -1
    return codes


def _unique_in_order(values):
    if pd is not None:
        return pd.unique(pd.Series(values, dtype=object))
    return list(dict.fromkeys(values))


def _coded(values, codes, learn, name):
    """Values coded in order of first appearance; a value not seen while
    learning gets the next free code (a value no class has)."""
    values = np.asarray(values, dtype=object)
    missing = _isna(values)
    present = values[~missing]
    try:
        if learn:
            for value in _unique_in_order(present):
                if value not in codes:
                    codes[value] = len(codes)
        if pd is not None:
            found = pd.Index(list(codes), dtype=object).get_indexer(present) if codes else \
                np.full(len(present), -1)
        else:
            found = np.fromiter((codes.get(v, -1) for v in present), np.int64, len(present))
    except TypeError as error:
        raise TypeError(f"column {name}: {error}") from None
    if len(codes) > MAX_CODE:
        raise ValueError(f"column {name}: more than {MAX_CODE + 1} different values")
    found = np.where(found < 0, len(codes), found)
    out = np.full(len(values), -1, dtype=np.int32)
    out[~missing] = found
    return out


def blocks(layout, X, learn, offset=0):
    """The discrete and the float block of X (rows x columns) as the engine
    reads them. learn=True adds new values of coded columns to the codes."""
    if not is_frame(X):
        X = as_2d(X)
    if X.shape[1] != layout.n_features:
        raise ValueError(f"X has {X.shape[1]} features, but the estimator is expecting {layout.n_features} "
                         "features as input.")
    rows = X.shape[0]
    fast = _blocks_in_place(layout, X, offset)
    if fast is not None:
        return fast
    if not is_frame(X) and X.dtype.kind in "biuf" and not layout.codes:
        # A numeric array is split in one pass in C++: column by column
        # numpy would walk its rows once per column and operation.
        from ._pellory import split_columns
        return split_columns(np.ascontiguousarray(X, dtype=np.float64), np.asarray(layout.discrete, np.int32),
                             offset)
    discrete = np.empty((rows, len(layout.discrete)), dtype=np.int32)
    for i, j in enumerate(layout.discrete):
        name = _column_name(X, j)
        if layout.kinds[j] == CODE:
            discrete[:, i] = _codes_of_numbers(_as_column_values(_column(X, j)), [name], offset)
        else:
            discrete[:, i] = _coded(_column(X, j), layout.codes[j], learn, name)
    floats = np.empty((rows, len(layout.floats)), dtype=np.float64)
    for i, j in enumerate(layout.floats):
        floats[:, i] = _as_floats(_column(X, j), _column_name(X, j))
    return discrete, floats


def _as_column_values(column):
    """A column's values as numpy holds them; nullable pandas integers and
    booleans with gaps as floats with NaN."""
    if pd is not None and isinstance(column, pd.Series):
        if column.hasnans or not (pd.api.types.is_integer_dtype(column.dtype) or
                                  pd.api.types.is_bool_dtype(column.dtype)):
            return column.to_numpy(dtype=np.float64, na_value=np.nan) if column.dtype.kind != "O" else \
                column.to_numpy()
        return column.to_numpy(dtype=np.int64)
    return np.asarray(column)


def _blocks_in_place(layout, X, offset):
    """An array that already is one of the blocks is read without a copy."""
    if is_frame(X) or not X.flags.c_contiguous:
        return None
    rows = X.shape[0]
    if not layout.discrete and X.dtype == np.float64:
        return np.empty((rows, 0), dtype=np.int32), X
    if not layout.floats and X.dtype == np.int32 and offset == 0 and all(k == CODE for k in layout.kinds):
        if X.size and (X.min() < -1 or X.max() > MAX_CODE):
            bad = X[(X < -1) | (X > MAX_CODE)][0]
            raise ValueError(f"X holds {bad}, which is no discrete value code (0 to {MAX_CODE}; -1 for a "
                             "missing value)")
        return X, np.empty((rows, 0), dtype=np.float64)
    return None


def one_row(layout, x):
    """One record given as a dict (by column name, or by position when the
    estimator has no names) or as a 1-D sequence, as a one-row table."""
    if isinstance(x, dict):
        keys = list(layout.names) if layout.names is not None else list(range(layout.n_features))
        unknown = [k for k in x if k not in set(keys)]
        if unknown:
            raise ValueError(f"the row names unknown columns: {unknown[:5]}")
        row = [x.get(k) for k in keys]
    else:
        row = list(np.asarray(x, dtype=object).ravel()) if not isinstance(x, (list, tuple)) else list(x)
    if len(row) != layout.n_features:
        raise ValueError(f"the row has {len(row)} values, but the estimator is expecting {layout.n_features}")
    return np.array([row], dtype=object)


def row_blocks(layout, x, learn, offset=0):
    """The two blocks of one row (see one_row)."""
    table = one_row(layout, x)
    if not layout.codes:
        try:
            table = table.astype(np.float64)  # the quick way for rows of numbers
        except (TypeError, ValueError):
            pass  # blocks names the column that is no number
    return blocks(layout, table, learn, offset)
