"""Many .ded tiles read through rioxarray by dask (a threaded scheduler, and a
LocalCluster of two worker processes on 127.0.0.1) give the sums a serial GDAL
read gives, which are the samples written; separate datasets read at once from
threads and from processes each give their own samples. GDAL_DRIVER_PATH names
the driver's folder."""
import concurrent.futures as futures
import os
import struct
import sys
import tempfile

import dask
import numpy as np
import rioxarray
from dask.distributed import Client, LocalCluster
from osgeo import gdal

NODATA, SPACING, UNITS = -32768, 300.0, 36000.0  # spacing in 1/36000 degree


def write_tile(path, west, south, values):
    """One geographic cell; values north row first, as GDAL reads them."""
    rows, columns = values.shape
    step = SPACING / UNITS
    cell = struct.pack(">8f8x", south, south + (rows - 1) * step, west,
                       west + (columns - 1) * step, SPACING, SPACING, rows, columns)
    header = struct.pack(">i4s3s", 1, b"KVTR", b"GEO").ljust(128, b"\0")
    statistics = struct.pack(">ihh", 1, -100, 3000).ljust(32, b"\0")
    samples = values[::-1].T.astype(">i2").tobytes()  # columns, south first
    with open(path, "wb") as f:
        f.write(header + statistics + cell + samples)


def gdal_sum(path):
    values = gdal.Open(path).ReadAsArray()
    return int(values[values != NODATA].sum(dtype=np.int64))


def main(folder):
    gdal.UseExceptions()
    rng = np.random.default_rng(7)
    paths, truth = [], []
    for k in range(24):
        values = rng.integers(-100, 3000, size=(48, 64), dtype=np.int16)
        values[rng.random(values.shape) < 0.05] = NODATA  # the file's own voids
        paths.append(os.path.join(folder, f"tile{k:02}.ded"))
        write_tile(paths[-1], 7 + k % 6, 46 + k // 6, values)
        truth.append(int(values[values != NODATA].sum(dtype=np.int64)))

    serial = [gdal_sum(p) for p in paths]
    assert serial == truth, (serial, truth)
    arrays = [rioxarray.open_rasterio(p, chunks=(1, 16, 32), masked=True) for p in paths]
    assert arrays[0].rio.crs.to_epsg() == 4326 and arrays[0].shape == (1, 48, 64)
    sums = [a.sum(dtype=np.int64) for a in arrays]
    threaded = [int(s) for s in dask.compute(*sums, scheduler="threads")]
    assert threaded == serial, (threaded, serial)
    with LocalCluster(n_workers=2, threads_per_worker=2, processes=True, host="127.0.0.1",
                      dashboard_address=None, local_directory=folder) as cluster, Client(cluster) as client:
        distributed = [int(s) for s in client.compute(sums, sync=True)]
    assert distributed == serial, (distributed, serial)

    with futures.ThreadPoolExecutor(8) as pool:
        assert list(pool.map(gdal_sum, paths * 4)) == serial * 4
    with futures.ProcessPoolExecutor(2) as pool:
        assert list(pool.map(gdal_sum, paths)) == serial
    print(f"{len(paths)} tiles: dask threads, a 2-process cluster, threads, processes agree")


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="elvarin-scale-out-") as work:
        sys.exit(main(work))
