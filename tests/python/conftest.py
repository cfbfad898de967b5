"""What the package's tests share: the files they read, and the GDAL driver
(GDAL_DRIVER_PATH names its folder) as the independent reader and writer."""
import os
import pathlib

import numpy as np
import pytest
from osgeo import gdal, osr

CRASHERS = pathlib.Path(__file__).resolve().parents[1] / "crashers"
SEEDS = pathlib.Path(os.environ.get("ELVARIN_SEEDS", "/nonexistent"))
FILES = sorted(CRASHERS.glob("*.ded")) + sorted(SEEDS.glob("*"))
NODATA = -32768


class Told:
    """GDAL's messages while it is active: failures and warnings apart."""

    def __init__(self):
        self.errors, self.warnings = [], []

    def __enter__(self):
        gdal.PushErrorHandler(self._hear)
        return self

    def __exit__(self, *exc):
        gdal.PopErrorHandler()

    def _hear(self, level, _number, message):
        (self.warnings if level == gdal.CE_Warning else self.errors).append(message)


def source(values, transform, epsg, nodata=None):
    """An in-memory GDAL raster of values (north row first)."""
    kind = gdal.GDT_Int16 if values.dtype == np.int16 else gdal.GDT_Float64
    dataset = gdal.GetDriverByName("MEM").Create("", values.shape[1], values.shape[0], 1, kind)
    dataset.SetGeoTransform(transform)
    if epsg is not None:
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(epsg)
        dataset.SetSpatialRef(srs)
    band = dataset.GetRasterBand(1)
    if nodata is not None:
        band.SetNoDataValue(nodata)
    band.WriteArray(values)
    return dataset


def translate(dataset, path, cell_size=None):
    """gdal_translate -of DED; the driver's messages."""
    options = [] if cell_size is None else [f"CELL_SIZE={cell_size}"]
    with Told() as told:
        gdal.Translate(str(path), dataset, format="DED", creationOptions=options)
    return told


@pytest.fixture(scope="session")
def mosaic(tmp_path_factory):
    """A DED file of 3 x 3 cells the driver wrote, with voids, and what the
    driver reads from it."""
    values = np.random.default_rng(5).integers(-500, 4000, (19, 23)).astype(np.int16)
    values[3:6, 10:14] = NODATA
    path = tmp_path_factory.mktemp("mosaic") / "mosaic.ded"
    translate(source(values, (7.0, 1 / 1200, 0, 47.0, 0, -1 / 1200), 4326, NODATA), path, 9)
    dataset = gdal.OpenEx(str(path), gdal.OF_RASTER, allowed_drivers=["DED"])
    return path, dataset.ReadAsArray(), dataset.GetGeoTransform()
