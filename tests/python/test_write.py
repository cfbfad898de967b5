"""Writing: the package writes the bytes gdal_translate -of DED writes from
the same grid, and refuses what it refuses, leaving no file."""
import warnings

import numpy as np
import pytest

import elvarin
from conftest import NODATA, source, translate

GEOGRAPHIC = (7.0, 1 / 1200, 0, 47.0, 0, -1 / 1200)
UTM = (500000.0, 30.0, 0, 5200000.0, 0, -30.0)
RANDOM = np.random.default_rng(11)
EDGES = np.array([[np.nan, 32767.5, 32767.49, -32768.5, -32767.5],
                  [-32768.49, 0.5, -0.5, 2.5, -9999.0],
                  [1e9, -1e9, 0.49999, 12.0, 7.25]])


@pytest.mark.parametrize("values, transform, epsg, nodata, cell_size", [
    (RANDOM.integers(-32768, 32767, (9, 7), dtype=np.int16), GEOGRAPHIC, 4326, NODATA, None),
    (EDGES, UTM, 32633, -9999.0, None),               # rounding, clamping, the void's edge
    (EDGES.astype(np.float32), UTM, 32733, None, None),
    (RANDOM.integers(-5, 5, (6, 5), dtype=np.int16), GEOGRAPHIC, 4326, 1.5, None),
    (RANDOM.normal(800, 300, (12, 10)), GEOGRAPHIC, 4326, None, 4),  # cells sharing edges
    (RANDOM.integers(0, 900, (20, 12), dtype=np.int16)[::-2, ::2], GEOGRAPHIC, 4326, None, 2),
], ids=["int16", "float64 UTM", "float32 UTM south", "fractional NoData", "cells of 4",
        "strided"])
def test_writes_the_bytes_gdal_translate_writes(tmp_path, values, transform, epsg, nodata,
                                                cell_size):
    told = translate(source(np.ascontiguousarray(values), transform, epsg, nodata),
                     tmp_path / "gdal.ded", cell_size)
    assert told.errors == []
    with warnings.catch_warnings(record=True) as heard:
        warnings.simplefilter("always")
        elvarin.write(tmp_path / "ours.ded", values, transform, f"EPSG:{epsg}", nodata, cell_size)
    assert (tmp_path / "ours.ded").read_bytes() == (tmp_path / "gdal.ded").read_bytes()
    assert [str(w.message).replace("ours.ded", "gdal.ded") for w in heard] == told.warnings


VOIDS = np.full((3, 3), np.nan)
RAMP = np.arange(9.0).reshape(3, 3)


@pytest.mark.parametrize("values, transform, epsg, cell_size, same_from", [
    (RAMP, (7, 0.1, 0.01, 47, 0, -0.1), 4326, None, "its geotransform is rotated"),
    (RAMP, (7, 0.1, 0, 47, 0, 0.1), 4326, None, "its geotransform is not north-up"),
    (RAMP, UTM, 3857, None, " is neither WGS 84"),
    (RAMP, GEOGRAPHIC, None, None, "it has no coordinate system"),
    (RAMP, GEOGRAPHIC, 4326, 1, "give the samples a side"),
    (RAMP, UTM, 32633, 2, "asks for cells smaller than the raster"),
    (VOIDS, GEOGRAPHIC, 4326, None, "every sample is NoData or NaN"),
], ids=["rotated", "south-up", "Web Mercator", "no CRS", "cells of 1", "UTM beyond a cell",
        "voids only"])
def test_refuses_what_gdal_translate_refuses_and_leaves_no_file(tmp_path, values, transform,
                                                                  epsg, cell_size, same_from):
    told = translate(source(values, transform, epsg), tmp_path / "gdal.ded", cell_size)
    crs = None if epsg is None else f"EPSG:{epsg}"
    (tmp_path / "ours.ded").write_bytes(b"kept")  # a refused write leaves what was there
    with pytest.raises(elvarin.DedError) as refused:
        elvarin.write(tmp_path / "ours.ded", values, transform, crs, cell_size=cell_size)
    ours, theirs = str(refused.value), told.errors[-1]
    assert ours[ours.index(same_from):] == theirs[theirs.index(same_from):]
    assert sorted(path.name for path in tmp_path.iterdir()) == ["ours.ded"]
    assert (tmp_path / "ours.ded").read_bytes() == b"kept"
