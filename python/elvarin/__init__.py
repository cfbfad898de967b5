"""DED elevation files as numpy arrays, read and written without GDAL.

``open`` shows a file as the GDAL driver does (the same frame, elevations,
geotransform, coordinate system and warnings); ``write`` writes what
``gdal_translate -of DED`` writes from the same grid. ``xarray.open_dataset(
path, engine="ded")`` reads one lazily (see ``elvarin.xarray_backend``).
"""
from ._ded import NODATA, DedError
from ._file import DedWarning, File, open
from ._write import write

DedError.__module__ = __name__
__all__ = ["NODATA", "DedError", "DedWarning", "File", "open", "write"]
