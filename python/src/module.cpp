// The package's compiled core, elvarin._ded: ded/'s reader, GIS frame and
// writer behind a small interface the Python layer (elvarin/) dresses in
// the stack's manners. No GIL is held while a file is read or written.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "python/src/raster.h"
#include "python/src/write.h"

namespace py = pybind11;

namespace {

// Raised for a file or an array the driver refuses; the Python layer names
// it elvarin.DedError, a ValueError.
struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void raiseOsError(const std::string &path, int error) {
  errno = error;
  PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
  throw py::error_already_set();
}

class Raster {
public:
  Raster(const std::string &path, bool hostFrameOnly) : path_(path) {
    std::string error;
    switch (dedOpenRaster(path.c_str(), hostFrameOnly, &raster_, &error)) {
    case DedOpenResult::Opened:
      return;
    case DedOpenResult::NotOpened:
      raiseOsError(path, errno);
    case DedOpenResult::Refused:
      throw Refusal{error};
    }
  }
  Raster(const Raster &) = delete;
  Raster &operator=(const Raster &) = delete;
  ~Raster() { dedCloseRaster(&raster_); }

  // The frame's rows [row, row + rows) of columns [column, column +
  // columns), north row first.
  py::array_t<int16_t> read(int64_t row, int64_t column, int64_t rows, int64_t columns) {
    const DedGisFrame &frame = raster_.frame;
    if (row < 0 || column < 0 || rows < 1 || columns < 1 || row > frame.height - rows ||
        column > frame.width - columns) {
      throw py::value_error("window (" + std::to_string(row) + ", " + std::to_string(column) +
                            ", " + std::to_string(rows) + ", " + std::to_string(columns) +
                            ") does not lie inside the " + std::to_string(frame.height) + " x " +
                            std::to_string(frame.width) + " raster");
    }
    py::array_t<int16_t> samples({rows, columns});
    int16_t *dest = samples.mutable_data();
    std::string error;
    bool read = false;
    {
      const py::gil_scoped_release unlocked;
      read = dedReadRasterWindow(&raster_, static_cast<int32_t>(column), static_cast<int32_t>(row),
                                 static_cast<int32_t>(columns), static_cast<int32_t>(rows), dest,
                                 &error);
    }
    if (!read && raster_.file == nullptr) {
      throw py::value_error(error);
    }
    if (!read) {
      PyErr_SetString(PyExc_OSError, (path_ + ": " + error).c_str());
      throw py::error_already_set();
    }
    return samples;
  }

  void close() {
    const py::gil_scoped_release unlocked; // a read in another thread ends first
    dedCloseRaster(&raster_);
  }
  std::array<int32_t, 2> shape() const { return {raster_.frame.height, raster_.frame.width}; }
  std::array<double, 6> transform() const {
    std::array<double, 6> t{};
    std::copy(std::begin(raster_.transform), std::end(raster_.transform), t.begin());
    return t;
  }
  int32_t epsg() const { return raster_.epsg; }
  size_t cells() const { return raster_.cells.size(); }
  const std::vector<std::string> &warnings() const { return raster_.warnings; }

private:
  std::string path_;
  DedRaster raster_;
};

// Writes values (a 2-D int16 or float64 array, north row first) to path;
// returns the count of values clamped to -32767..32767.
int64_t writeArray(const std::string &path, const py::array &values,
                   const std::optional<std::array<double, 6>> &transform, bool crsGiven,
                   int32_t epsg, const std::string &crsName, std::optional<double> noData,
                   int32_t cellSide) {
  const bool int16 = values.dtype().is(py::dtype::of<int16_t>());
  if (values.ndim() != 2 || (!int16 && !values.dtype().is(py::dtype::of<double>()))) {
    throw py::type_error("values must be a 2-D array of int16 or float64");
  }
  DedArrayCrs crs{crsGiven, epsg, crsName};
  DedLayout layout;
  std::string error;
  if (!dedPlanArray(transform ? transform->data() : nullptr, crs, values.shape(1), values.shape(0),
                    cellSide, &layout, &error)) {
    throw Refusal{"the array cannot be written as DED: " + error};
  }
  const DedValueRule rule = dedArrayRule(int16, noData.has_value(), noData.value_or(0));
  const DedArraySource source{
      values.data(), int16, values.shape(1), values.shape(0), values.strides(0), values.strides(1)};
  DedWriteReport report;
  DedWriteResult result = DedWriteResult::Written;
  int created = 0; // errno of a file not created
  {
    const py::gil_scoped_release unlocked;
    result = dedWriteArray(path.c_str(), layout, rule, source, &report, &error);
    created = errno;
  }
  switch (result) {
  case DedWriteResult::Written:
    break;
  case DedWriteResult::NotCreated:
    raiseOsError(path, created);
  case DedWriteResult::Failed:
    throw Refusal{error};
  }
  return report.clamped;
}

} // namespace

PYBIND11_MODULE(_ded, m) {
  py::register_exception<Refusal>(m, "DedError", PyExc_ValueError);
  py::class_<Raster>(m, "Raster")
      .def(py::init<const std::string &, bool>(), py::arg("path"), py::arg("host_frame"))
      .def("read", &Raster::read, py::arg("row"), py::arg("column"), py::arg("rows"),
           py::arg("columns"))
      .def("close", &Raster::close)
      .def_property_readonly("shape", &Raster::shape)
      .def_property_readonly("transform", &Raster::transform)
      .def_property_readonly("epsg", &Raster::epsg)
      .def_property_readonly("cells", &Raster::cells)
      .def_property_readonly("warnings", &Raster::warnings);
  m.def("write", &writeArray, py::arg("path"), py::arg("values"), py::arg("transform"),
        py::arg("crs_given"), py::arg("epsg"), py::arg("crs_name"), py::arg("nodata"),
        py::arg("cell_side"));
  m.attr("NODATA") = DED_PY_NODATA;
}
