"""Writing: a north-up array and its geotransform as a DED file."""
import operator
import os
import re
import warnings

import numpy as np

from . import _ded
from ._file import DedWarning

_INT32_MAX = 2**31 - 1


def _crs_of(crs):
    """(given, EPSG code or 0, name) of "EPSG:n", an int, or an object with
    to_epsg() (pyproj's and rasterio's CRS)."""
    if crs is None:
        return False, 0, ""
    if isinstance(crs, (int, np.integer)):
        return True, int(crs), ""
    if isinstance(crs, str):
        match = re.fullmatch(r"\s*EPSG:(\d{1,9})\s*", crs, re.IGNORECASE)
        return (True, int(match[1]), "") if match else (True, 0, crs)
    code = crs.to_epsg() if hasattr(crs, "to_epsg") else None
    return True, int(code or 0), str(getattr(crs, "name", crs))


def _cell_side(cell_size):
    if cell_size is None:
        return 0
    try:
        side = operator.index(cell_size)
    except TypeError:
        side = 0
    if not 2 <= side <= _INT32_MAX:
        raise _ded.DedError(
            f"cell_size={cell_size!r}: give the samples a side of a cell, a whole number from 2")
    return side


def write(path, values, transform, crs="EPSG:4326", nodata=None, cell_size=None):
    """Writes values (2-D, north row first, any real dtype) as a DED file, as
    ``gdal_translate -of DED`` writes a raster with this geotransform, CRS
    and NoData: NaN and nodata become the void, other values are rounded and
    clamped to -32767..32767 (a ``DedWarning`` counts them). Raises
    ``DedError`` for what the format cannot hold, leaving no file."""
    values = np.asarray(values)
    if values.ndim != 2:
        raise _ded.DedError(f"the array cannot be written as DED: it has {values.ndim} "
                            "dimensions, not 2 (rows, columns)")
    if values.dtype != np.int16:
        values = values.astype(np.float64, copy=False)
    given, code, name = _crs_of(crs)
    clamped = _ded.write(os.fspath(path), values, None if transform is None else tuple(transform),
                         given, code, name, None if nodata is None else float(nodata),
                         _cell_side(cell_size))
    if clamped:
        warnings.warn(f"{path}: {clamped} values outside -32767..32767 were clamped to that range",
                      DedWarning, stacklevel=2)
