#include "ded/column_index.h"

#include <algorithm>
#include <cstddef>

namespace {

// Runs of at least this many columns, and no more than kMostRuns of them.
constexpr int64_t kLeastRunColumns = 256;
constexpr int64_t kMostRuns = int64_t{1} << 16;

// The runs [*first, *last] a placement's shown columns reach; false when
// it shows none.
bool runsOf(const DedPlacement &p, int64_t runColumns, int64_t *first, int64_t *last) {
  if (!p.shown) {
    return false;
  }
  *first = (p.imageColumn + p.firstColumn) / runColumns;
  *last = (p.imageColumn + p.endColumn - 1) / runColumns;
  return true;
}

} // namespace

DedColumnIndex dedIndexColumns(const DedGisFrame &frame) {
  DedColumnIndex index;
  const int64_t width = std::max<int64_t>(1, frame.width);
  index.runColumns = std::max(kLeastRunColumns, (width + kMostRuns - 1) / kMostRuns);
  const int64_t runs = (width + index.runColumns - 1) / index.runColumns;
  index.starts.assign(static_cast<size_t>(runs + 1), 0);
  int64_t first = 0, last = 0;
  for (const DedPlacement &p : frame.placements) {
    if (runsOf(p, index.runColumns, &first, &last)) {
      for (int64_t k = first; k <= last; ++k) {
        ++index.starts[static_cast<size_t>(k + 1)];
      }
    }
  }
  for (size_t k = 1; k < index.starts.size(); ++k) {
    index.starts[k] += index.starts[k - 1];
  }
  index.cells.resize(static_cast<size_t>(index.starts.back()));
  std::vector<int64_t> next(index.starts.begin(), index.starts.end() - 1);
  for (size_t i = 0; i < frame.placements.size(); ++i) {
    if (runsOf(frame.placements[i], index.runColumns, &first, &last)) {
      for (int64_t k = first; k <= last; ++k) {
        index.cells[static_cast<size_t>(next[static_cast<size_t>(k)]++)] = static_cast<int32_t>(i);
      }
    }
  }
  return index;
}

void dedCellsReaching(const DedColumnIndex &index, int64_t left, int64_t columns,
                      std::vector<int32_t> *out) {
  out->clear();
  const auto runs = static_cast<int64_t>(index.starts.size()) - 1;
  if (columns <= 0 || runs <= 0) {
    return;
  }
  const int64_t first = std::clamp<int64_t>(left / index.runColumns, 0, runs - 1);
  const int64_t last = std::clamp<int64_t>((left + columns - 1) / index.runColumns, 0, runs - 1);
  for (int64_t k = first; k <= last; ++k) {
    // The index is held in memory, so its offsets fit the address space.
    const auto from = static_cast<std::ptrdiff_t>(index.starts[static_cast<size_t>(k)]);
    const auto to = static_cast<std::ptrdiff_t>(index.starts[static_cast<size_t>(k + 1)]);
    out->insert(out->end(), index.cells.begin() + from, index.cells.begin() + to);
  }
  if (first != last) {
    std::sort(out->begin(), out->end());
    out->erase(std::unique(out->begin(), out->end()), out->end());
  }
}
