"""The xarray engine "ded": ``xr.open_dataset(path, engine="ded", chunks={})``.

The elevations are a lazy array whose windows are read on demand, each
process opening the file for itself (a ``CachingFileManager``), so dask can
read tiles in parallel on a ``dask.distributed`` cluster. ``x`` and ``y`` are
the pixel centres; ``spatial_ref`` holds the coordinate system as WKT and CF
attributes, as rioxarray writes it, so ``.rio.crs`` reads it.
"""
import os

import numpy as np
import xarray as xr
from xarray.backends import BackendArray, BackendEntrypoint, CachingFileManager
from xarray.backends.locks import SerializableLock
from xarray.core import indexing

from ._file import File

# Samples a chunk holds when the caller names no chunks (chunks={}): whole
# columns, as the file stores them, about 2 MiB of them.
_CHUNK_SAMPLES = 1 << 20


def _window_of(key, size):
    """(first, count) to read for one axis's basic index, and how to pick
    the asked elements from that window."""
    if not isinstance(key, slice):
        return (key, 1), 0
    picked = range(*key.indices(size))
    if len(picked) == 0:
        return None, None
    first = min(picked[0], picked[-1])
    count = max(picked[0], picked[-1]) - first + 1
    return (first, count), slice(None) if picked.step == 1 else np.asarray(picked) - first


class DedBackendArray(BackendArray):
    """The elevations, int16, north row first; windows read when indexed."""

    def __init__(self, manager, lock, shape):
        self._manager, self._lock = manager, lock
        self.shape, self.dtype = shape, np.dtype(np.int16)

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(
            key, self.shape, indexing.IndexingSupport.BASIC, self._read)

    def _read(self, key):
        (rows, pick_rows), (columns, pick_columns) = (
            _window_of(k, n) for k, n in zip(key, self.shape))
        if rows is None or columns is None:
            shape = [len(range(*k.indices(n))) for k, n in zip(key, self.shape)
                     if isinstance(k, slice)]
            return np.empty(shape, self.dtype)
        with self._lock:
            window = self._manager.acquire().read(
                window=(rows[0], columns[0], rows[1], columns[1]))
        return window[:, pick_columns][pick_rows]


def _open(path, frame, mode=None):  # pylint: disable=unused-argument
    """The file manager's opener; it names a mode once unpickled, always reading."""
    return File(path, frame)


def _spatial_ref(crs, transform):
    """The grid-mapping variable's attributes: WKT and CF's, from pyproj."""
    attrs = {"GeoTransform": " ".join(repr(v) for v in transform)}
    try:
        from pyproj import CRS  # pylint: disable=import-outside-toplevel
    except ImportError:  # without pyproj, the code alone (rioxarray reads it)
        return {**attrs, "spatial_ref": crs}
    system = CRS.from_user_input(crs)
    return {**system.to_cf(), "spatial_ref": system.to_wkt(), **attrs}


class DedBackendEntrypoint(BackendEntrypoint):
    """xarray's engine "ded"; frame="host" opens the plug-in's frame."""

    description = "DED elevation files, read without GDAL"
    open_dataset_parameters = ("filename_or_obj", "drop_variables", "mask_and_scale", "frame")

    def guess_can_open(self, filename_or_obj):
        try:
            return os.fspath(filename_or_obj).lower().endswith(".ded")
        except TypeError:
            return False

    def open_dataset(self, filename_or_obj, *, drop_variables=None, mask_and_scale=True,
                     frame="data"):
        manager = CachingFileManager(_open, os.fspath(filename_or_obj), frame)
        file = manager.acquire()
        rows, columns = file.shape
        t = file.transform
        elevation = xr.Variable(
            ("y", "x"),
            indexing.LazilyIndexedArray(DedBackendArray(manager, SerializableLock(), file.shape)),
            attrs={"_FillValue": file.nodata, "units": "m", "grid_mapping": "spatial_ref"})
        elevation.encoding["preferred_chunks"] = {
            "y": rows, "x": max(1, min(columns, _CHUNK_SAMPLES // rows))}
        elevation = xr.conventions.decode_cf_variable(
            "elevation", elevation, mask_and_scale=mask_and_scale, decode_times=False)
        coords = {
            "x": t[0] + (np.arange(columns) + 0.5) * t[1],
            "y": t[3] + (np.arange(rows) + 0.5) * t[5],
            "spatial_ref": xr.Variable((), 0, _spatial_ref(file.crs, t)),
        }
        variables = {} if "elevation" in (drop_variables or ()) else {"elevation": elevation}
        dataset = xr.Dataset(variables, coords=coords)
        dataset.set_close(manager.close)
        return dataset
