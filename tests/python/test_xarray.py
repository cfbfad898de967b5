"""The xarray engine: lazy windows read by two dask worker processes give the
driver's samples, at the driver's pixel centres, in a CRS rioxarray reads."""
import numpy as np
import pytest
import rioxarray  # noqa: F401  (.rio)
import xarray as xr
from dask.distributed import Client, LocalCluster

from conftest import NODATA


def test_two_worker_processes_read_the_driver_samples(mosaic):
    path, expected, t = mosaic
    with LocalCluster(processes=True, n_workers=2, threads_per_worker=1, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster):
        dataset = xr.open_dataset(path, engine="ded", chunks={"y": 7, "x": 6},
                                  mask_and_scale=False)
        assert dataset.elevation.data.npartitions == 12
        samples = dataset.elevation.compute()
    np.testing.assert_array_equal(samples.values, expected)
    assert samples.attrs["_FillValue"] == NODATA
    rows, columns = expected.shape
    np.testing.assert_array_equal(dataset.x, t[0] + (np.arange(columns) + 0.5) * t[1])
    np.testing.assert_array_equal(dataset.y, t[3] + (np.arange(rows) + 0.5) * t[5])
    assert dataset.rio.crs.to_epsg() == 4326
    masked = xr.open_dataset(path, engine="ded", chunks={}).elevation.values
    np.testing.assert_array_equal(np.isnan(masked), expected == NODATA)


@pytest.mark.parametrize("key", [
    (slice(2, 9), slice(1, 5)), (3, slice(None, None, 2)), (slice(1, None, 4), 4),
    (slice(5, 5), slice(None)), (-1, -1), (slice(-4, None, 3), slice(2, 20, 5)),
])
def test_indexing_reads_the_windows_asked(mosaic, key):
    path, expected, _ = mosaic
    with xr.open_dataset(path, engine="ded", mask_and_scale=False) as dataset:
        np.testing.assert_array_equal(dataset.elevation[key].values, expected[key])
