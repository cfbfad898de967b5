"""Reading: the package shows every file as the GDAL driver does, refuses
what it refuses in its words, and reads windows as the driver's RasterIO."""
import subprocess
import sys
import time
import warnings

import numpy as np
import pytest
from osgeo import gdal

import elvarin
from conftest import FILES, Told

REPLAY_SECONDS = 10  # the fuzz replays' limit per input


def driver_read(path, frame):
    """(dataset, samples or None when reading fails, messages) through the driver."""
    with Told() as told:
        dataset = gdal.OpenEx(str(path), gdal.OF_RASTER, allowed_drivers=["DED"],
                              open_options=[f"FRAME={frame.upper()}"])
        samples = None if dataset is None else dataset.ReadAsArray()
    return dataset, samples, told


@pytest.mark.parametrize("frame", ["data", "host"])
@pytest.mark.parametrize("path", FILES, ids=lambda path: path.name)
def test_reads_what_the_driver_reads(path, frame):
    assert_reads_as_the_driver(path, frame)


@pytest.mark.parametrize("cut", [161, 600, -601, -600, -1])  # in a header, a block, between
def test_a_file_cut_short_reads_as_the_driver(mosaic, tmp_path, cut):
    whole = mosaic[0].read_bytes()
    path = tmp_path / "cut.ded"
    path.write_bytes(whole[:cut])
    assert_reads_as_the_driver(path, "data")
    path.write_bytes(whole)
    with elvarin.open(path) as file:
        path.write_bytes(whole[:cut])
        with pytest.raises(OSError, match="samples the file held when it was opened are gone"):
            file.read()


def assert_reads_as_the_driver(path, frame):
    dataset, expected, told = driver_read(path, frame)
    started = time.monotonic()
    with warnings.catch_warnings(record=True) as heard:
        warnings.simplefilter("always")
        if dataset is None:
            with pytest.raises(elvarin.DedError) as refused:
                elvarin.open(path, frame)
            ours = [m for m in told.errors if m.startswith(f"{path}: ")]
            assert ours in ([], [str(refused.value)])
            return
        file = elvarin.open(path, frame)
    assert [str(w.message) for w in heard] == told.warnings
    assert file.shape == (dataset.RasterYSize, dataset.RasterXSize)
    assert file.transform == dataset.GetGeoTransform()
    srs = dataset.GetSpatialRef()
    assert file.crs == f"{srs.GetAuthorityName(None)}:{srs.GetAuthorityCode(None)}"
    if expected is None:
        with pytest.raises(OSError):
            file.read()
    else:
        samples = file.read()
        assert samples.dtype == np.int16
        np.testing.assert_array_equal(samples, expected)
    assert time.monotonic() - started < REPLAY_SECONDS


def test_windows_read_what_the_driver_reads(mosaic):
    path, expected, _ = mosaic
    rows, columns = expected.shape
    with elvarin.open(path) as file:
        for row, column, height, width in [(0, 0, 1, 1), (rows - 1, columns - 1, 1, 1),
                                           (8, 8, 3, 3), (1, 2, rows - 2, columns - 3),
                                           (rows // 2, 0, 1, columns), (0, 17, rows, 1)]:
            np.testing.assert_array_equal(file.read(window=(row, column, height, width)),
                                          expected[row:row + height, column:column + width])
        for window in [(-1, 0, 1, 1), (0, 0, rows + 1, 1), (0, columns, 1, 1), (0, 0, 0, 1)]:
            with pytest.raises(ValueError):
                file.read(window=window)
    with pytest.raises(ValueError, match="closed"):
        file.read()


def test_a_venv_reads_without_loading_osgeo(mosaic):
    assert sys.prefix != sys.base_prefix, "the tests run in the package's venv"
    script = ("import sys, elvarin, xarray\n"
              f"elvarin.open({str(mosaic[0])!r}).read()\n"
              f"xarray.open_dataset({str(mosaic[0])!r}, engine='ded').load()\n"
              "assert 'osgeo' not in sys.modules, 'osgeo loaded'\n")
    subprocess.run([sys.executable, "-c", script], check=True)
