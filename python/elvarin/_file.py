"""Reading: a DED file in the GIS frame, north row first."""
import os
import warnings

from . import _ded


class DedWarning(UserWarning):
    """What the file holds that its frame shows in its own way (the driver's
    warnings, word for word)."""


class File:
    """An open DED file: ``frame="data"`` (every sample the file holds) or
    ``"host"`` (the plug-in's image), as the driver's FRAME option. Raises
    ``DedError`` for a file the driver refuses, ``OSError`` for one that does
    not open."""

    def __init__(self, path, frame="data"):
        self.path = os.fspath(path)
        if not isinstance(frame, str) or frame.lower() not in ("data", "host"):
            raise ValueError(f"{self.path}: frame must be data or host, not {frame!r}")
        self._raster = _ded.Raster(self.path, frame.lower() == "host")
        self.frame = frame.lower()
        self.shape = tuple(self._raster.shape)  # rows, columns
        self.transform = tuple(self._raster.transform)
        self.crs = f"EPSG:{self._raster.epsg}"
        self.nodata = _ded.NODATA
        self.cells = self._raster.cells
        self.warnings = tuple(self._raster.warnings)
        for line in self.warnings:
            warnings.warn(f"{self.path}: {line}", DedWarning, stacklevel=3)

    def read(self, window=None):
        """The elevations as an int16 array, north row first, NoData where no
        sample is; ``window=(row, col, rows, cols)`` reads only those."""
        row, column, rows, columns = (0, 0) + self.shape if window is None else window
        return self._raster.read(row, column, rows, columns)

    def close(self):
        self._raster.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        return f"<elvarin.File {self.path!r} {self.shape[0]} x {self.shape[1]} {self.crs}>"


def open(path, frame="data"):  # pylint: disable=redefined-builtin
    """Opens a DED file for reading (see ``File``)."""
    return File(path, frame)


